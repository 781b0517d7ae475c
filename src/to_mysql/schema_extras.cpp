// Carrying relationships, views and column rules; see schema_extras.h. This
// file holds the shared target helpers and the column rules.
#include "to_mysql/schema_extras.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "access/read/database.h"
#include "access/format/text.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_mysql/jet_sql_format.h"
#include "to_mysql/jet_sql_translation.h"
#include "to_mysql/schema_extras_internal.h"
#include "to_mysql/table_definitions.h"
#include "common/names.h"

namespace veltrano::tomysql {

namespace extras {

std::string Target::name(const std::string& accessName) const { return mysqlName(accessName, s_.convertSpaces); }

std::string Target::quoted(const std::string& mysqlName) {
    std::string out = "`";
    for (char c : mysqlName) {
        if (c == '`') out += '`';
        out += c;
    }
    return out + "`";
}

std::string Target::run(const std::string& sql) {
    mysql_.Execute(sql);
    lastError_ = mysql_.Error().Number();
    if (lastError_ == 0) return {};
    std::string text = mysql_.Error().Description();
    mysql_.Error().Clear();
    return text.empty() ? "error " + std::to_string(lastError_) : text;
}

std::optional<std::vector<std::vector<std::optional<std::string>>>> Target::rows(const std::string& sql) {
    auto rs = mysql_.Execute(sql);
    lastError_ = mysql_.Error().Number();
    if (lastError_ != 0 || !rs || rs->State() != 0) {
        mysql_.Error().Clear();
        return std::nullopt;
    }
    std::vector<std::vector<std::optional<std::string>>> out;
    if (rs->RecordCount() < 1) return out;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        std::vector<std::optional<std::string>> row;
        for (int32_t i = 0; i < rs->FieldCount(); ++i) {
            FieldValue v = rs->Fields(i).Value();
            row.push_back(v.isText() ? std::optional<std::string>(v.asText()) : std::nullopt);
        }
        out.push_back(std::move(row));
    }
    return out;
}

bool Target::convertedNow(const std::string& accessTable) const {
    for (const auto& t : s_.tables)
        if (t.converted && namesEqual(t.name, accessTable)) return true;
    return false;
}

bool Target::inTarget(const std::string& accessTable) {
    if (convertedNow(accessTable)) return true;
    if (!s_.appending) return false;
    auto found = rows("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
                      sqlTextLiteral(name(accessTable)));
    return found && !found->empty() && (*found)[0][0] && *(*found)[0][0] != "0";
}

std::string constraintName(const std::string& base, int attempt) {
    if (attempt == 0) return firstCharacters(base, 64);
    const std::string suffix = "_" + std::to_string(attempt + 1);
    return firstCharacters(base, 64 - suffix.size()) + suffix;
}

namespace {

// The column's definition as SHOW CREATE TABLE states it, without the
// trailing comma; "" when the column is not found.
std::string columnDefinition(const std::string& createText, const std::string& column) {
    const std::string head = "\n  " + Target::quoted(column) + " ";
    size_t at = createText.find(head);
    if (at == std::string::npos) return {};
    size_t end = createText.find('\n', at + 1);
    std::string line = createText.substr(at + 3, (end == std::string::npos ? createText.size() : end) - at - 3);
    if (!line.empty() && line.back() == ',') line.pop_back();
    return line;
}

// MariaDB enforces CHECK from 10.2, MySQL from 8.0.16; older servers parse
// and ignore it.
bool serverEnforcesCheck(Target& target) {
    auto v = target.rows("SELECT VERSION()");
    if (!v || v->empty() || !(*v)[0][0]) return false;
    const std::string& text = *(*v)[0][0];
    int major = 0, minor = 0, patch = 0;
    std::sscanf(text.c_str(), "%d.%d.%d", &major, &minor, &patch);
    if (text.find("MariaDB") != std::string::npos) return major > 10 || (major == 10 && minor >= 2);
    return major > 8 || (major == 8 && (minor > 0 || patch >= 16));
}

// Required columns the table was created without NOT NULL (see
// ProviderSource::readSchema) get it now where every row has a value.
void carryRequired(Target& target, const TableDefinition& table, const access::TableDef& def) {
    const std::string mysqlTable = target.name(table.name);
    std::string createText, alter;
    std::vector<std::string> made;
    for (const auto& c : def.columns) {
        if (!c.required || c.type == access::ColumnType::Boolean || c.isAutoLong()) continue;
        const std::string column = target.name(c.name);
        auto nulls = target.rows("SELECT COUNT(*) FROM " + Target::quoted(mysqlTable) + " WHERE " + Target::quoted(column) +
                                 " IS NULL");
        if (!nulls || nulls->empty() || !(*nulls)[0][0]) continue;
        if (*(*nulls)[0][0] != "0") {
            target.notCarried(table.name, "rule Required of column " + c.name,
                              *(*nulls)[0][0] + " row(s) have no value there (they predate the rule), so the column "
                                                "stays without NOT NULL");
            continue;
        }
        if (createText.empty()) {
            auto create = target.rows("SHOW CREATE TABLE " + Target::quoted(mysqlTable));
            if (create && !create->empty() && (*create)[0].size() > 1 && (*create)[0][1]) createText = *(*create)[0][1];
        }
        std::string definition = columnDefinition(createText, column);
        if (definition.empty() || definition.find(" NOT NULL") != std::string::npos) continue;
        for (const char* drop : {" DEFAULT NULL", " NULL"})
            if (size_t at = definition.find(drop); at != std::string::npos &&
                (at + std::strlen(drop) == definition.size() || definition[at + std::strlen(drop)] == ' '))
                definition.erase(at, std::strlen(drop));
        alter += (alter.empty() ? " MODIFY COLUMN " : ", MODIFY COLUMN ") + definition + " NOT NULL";
        made.push_back(c.name);
    }
    if (alter.empty()) return;
    std::string error = target.run("ALTER TABLE " + Target::quoted(mysqlTable) + alter);
    for (const auto& c : made)
        if (!error.empty()) target.notCarried(table.name, "rule Required of column " + c, "MySQL refused NOT NULL: " + error);
}

}  // namespace

void carryColumnRules(Target& target, access::Connection& source) {
    access::Database* db = source.database();
    if (!db) return;
    std::optional<bool> enforcesCheck;
    JetTranslationOptions options;
    options.mapName = [&target](std::string_view n) { return target.name(std::string(n)); };

    for (const auto& table : target.session().tables) {
        if (!table.converted) continue;
        auto def = db->tableDef(table.name);
        auto sets = db->tableProperties(table.name);
        if (!def.isOk() || !sets.isOk()) continue;
        const std::string mysqlTable = target.name(table.name);

        struct Rule {
            std::string column, text;
        };
        std::vector<Rule> rules;
        std::vector<std::pair<std::string, std::string>> comments;  // MySQL column, description
        std::vector<std::string> calculated;  // MySQL columns made with a comment of their own
        std::string zeroLengthRefused;  // columns with AllowZeroLength = No
        for (size_t i = 0; i < sets->size(); ++i) {
            const access::PropertySet& set = (*sets)[i];
            const bool tableSet = i == 0 && (set.objectName.empty() || namesEqual(set.objectName, table.name));
            const access::ColumnDef* column = tableSet ? nullptr : (*def)->columnByName(set.objectName);
            if (!tableSet && !column) continue;
            const std::string columnName = column ? column->name : std::string();
            if (const auto* r = set.find("ValidationRule"); r && r->kind == access::ValueKind::Text && !r->bytes.empty())
                rules.push_back({columnName, r->bytes});
            if (!column) continue;
            if (const auto* d = set.find("Description"); d && d->kind == access::ValueKind::Text && !d->bytes.empty()) {
                // A calculated column was made with its expression as the
                // comment: the description comes first, the expression stays.
                std::string text = d->bytes;
                if (column->calculated && !column->expression.empty()) {
                    text += " (" + column->expression + ")";
                    calculated.push_back(target.name(column->name));
                }
                comments.emplace_back(target.name(column->name), firstCharacters(text, 1024));
            }
            const bool text = column->type == access::ColumnType::Text || column->type == access::ColumnType::Memo;
            if (const auto* z = set.find("AllowZeroLength"); text && z && z->kind == access::ValueKind::Boolean && z->integer == 0)
                zeroLengthRefused += (zeroLengthRefused.empty() ? "" : ", ") + column->name;
        }
        if (!zeroLengthRefused.empty())
            target.notCarried(table.name, "rule AllowZeroLength = No of column(s) " + zeroLengthRefused,
                              "MySQL has no such rule; it accepts empty texts there");

        carryRequired(target, table, **def);
        if (!comments.empty()) {
            auto create = target.rows("SHOW CREATE TABLE " + Target::quoted(mysqlTable));
            std::string createText = create && !create->empty() && (*create)[0].size() > 1 && (*create)[0][1]
                                         ? *(*create)[0][1] : std::string();
            std::string alter;
            std::vector<std::string> included;
            for (const auto& [column, description] : comments) {
                std::string definition = columnDefinition(createText, column);
                const size_t ownComment = definition.find(" COMMENT '");
                if (ownComment != std::string::npos &&
                    std::find(calculated.begin(), calculated.end(), column) != calculated.end())
                    definition.resize(ownComment);
                if (definition.empty() || definition.find(" COMMENT ") != std::string::npos) {
                    target.notCarried(table.name, "description of column " + column,
                                      "the column's definition could not be read back from MySQL");
                    continue;
                }
                alter += (alter.empty() ? " MODIFY COLUMN " : ", MODIFY COLUMN ") + definition + " COMMENT " +
                         textLiteral(description);
                included.push_back(column);
            }
            if (!alter.empty()) {
                std::string error = target.run("ALTER TABLE " + Target::quoted(mysqlTable) + alter);
                for (const auto& column : included) {
                    if (error.empty()) target.carried(table.name, "description of column " + column + " as COMMENT");
                    else target.notCarried(table.name, "description of column " + column, "MySQL refused it: " + error);
                }
            }
        }

        for (const auto& rule : rules) {
            const std::string what = rule.column.empty() ? "validation rule " + rule.text
                                                         : "validation rule " + rule.text + " of column " + rule.column;
            JetTranslation t = translateValidationRule(rule.text, rule.column, options);
            if (!t.ok) {
                target.notCarried(table.name, what, "it has no MySQL form: " + t.reason);
                continue;
            }
            if (!enforcesCheck) enforcesCheck = serverEnforcesCheck(target);
            if (!*enforcesCheck) {
                target.notCarried(table.name, what, "this MySQL server does not enforce CHECK constraints");
                continue;
            }
            const std::string base = mysqlTable + (rule.column.empty() ? "" : "_" + target.name(rule.column)) + "_rule";
            std::string error;
            for (int attempt = 0; attempt < 5; ++attempt) {
                error = target.run("ALTER TABLE " + Target::quoted(mysqlTable) + " ADD CONSTRAINT " +
                                   Target::quoted(constraintName(base, attempt)) + " CHECK (" + t.sql + ")");
                // 1826 and 3822: the name is taken (by a rule of a table there before).
                if (error.empty() || (target.lastError() != 1826 && target.lastError() != 3822)) break;
            }
            if (error.empty()) target.carried(table.name, what + " as CHECK (" + t.sql + ")");
            else target.notCarried(table.name, what, "MySQL refused CHECK (" + t.sql + "): " + error);
        }
    }
}

}  // namespace extras

void carrySchemaExtras(ConversionSession& session, MYSQL_CONNECTION& mysql, AccessSource& source,
                       const ExtrasSettings& settings) {
    access::Connection* engine = source.engine();
    if (!engine || !engine->isOpen()) return;
    extras::Target target(session, mysql);
    extras::carryColumnRules(target, *engine);
    if (settings.foreignKeys) extras::carryForeignKeys(target, *engine);
    if (settings.views) extras::carryViews(target, *engine);
}

}  // namespace veltrano::tomysql
