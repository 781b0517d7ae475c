// veltrano-cli copy SRC.mdb DEST.mdb [--db-password PW] [--dest-password PW]
//                  [--overwrite-file] [--quiet]
//
// Makes DEST a new Access 2000 (Jet 4) database and copies every user table
// of SRC (Access 97 or 2000-2003) into it: columns and types, primary key,
// other indexes, auto-numbers, the properties of tables and columns
// (Required, DefaultValue, Description, Format, Caption...) and every row,
// through the same engine calls the wizard makes (Jet SQL statements, then
// one appender per table).
// Exit status 1 when a table or a row could not be copied (the rest is).
#include <filesystem>
#include <iostream>

#include "access/read/database.h"
#include "access/read/table.h"
#include "access/storage/lock_file.h"
#include "access/write/writer.h"
#include "app/cli_access_file.h"
#include "app/cli_command.h"
#include "common/names.h"

namespace veltrano::cli {

namespace {

std::string bracket(const std::string& name) { return "[" + name + "]"; }

// The Jet SQL type word for a column the reader found.
std::string typeWord(const access::ColumnDef& c, bool jet3) {
    using access::ColumnType;
    switch (c.type) {
        case ColumnType::Boolean: return "bit";
        case ColumnType::Byte: return "byte";
        case ColumnType::Integer: return "short";
        case ColumnType::Long: return c.isAutoLong() ? "identity" : "long";
        case ColumnType::Currency: return "currency";
        case ColumnType::Single: return "single";
        case ColumnType::Double: return "double";
        case ColumnType::DateTime: return "datetime";
        case ColumnType::Binary: return "binary(" + std::to_string(std::max<int>(1, std::min<int>(255, c.length))) + ")";
        case ColumnType::Text: {
            int chars = jet3 ? c.length : c.length / 2;
            return "varchar(" + std::to_string(std::max(1, std::min(255, chars))) + ")";
        }
        case ColumnType::Memo: return "memo";
        case ColumnType::Guid: return c.isAutoGuid() ? "autoguid" : "guid";
        // Types Jet 4 lacks, from .accdb files, kept exactly: a 64-bit integer
        // as a 19-digit decimal, an extended date and a complex column's
        // values as text, a calculated decimal (its scale varies per value) as text.
        case ColumnType::BigInt: return "decimal(19,0)";
        case ColumnType::ExtDateTime: return "varchar(27)";
        case ColumnType::Complex: return "memo";
        case ColumnType::Numeric:
            if (c.calculated) return "varchar(64)";
            return "decimal(" + std::to_string(std::max(1, std::min<int>(28, c.precision))) + "," +
                   std::to_string(std::min<int>(c.scale, std::max(1, std::min<int>(28, c.precision)))) + ")";
        default: return "longbinary";  // opaque types keep their bytes
    }
}

FieldValue copiedValue(const access::Value& v) {
    using access::ValueKind;
    switch (v.kind) {
        case ValueKind::Null: return FieldValue::null();
        case ValueKind::Boolean: return FieldValue::boolean(v.integer != 0);
        case ValueKind::Byte:
        case ValueKind::Integer:
        case ValueKind::Long: return FieldValue(static_cast<long long>(v.integer));
        case ValueKind::Single:
        case ValueKind::Double: return FieldValue(v.real);
        case ValueKind::DateTime: return FieldValue::dateTime(v.real);
        case ValueKind::Text:
        case ValueKind::Binary: return FieldValue(v.bytes);
        default: return FieldValue(access::canonicalText(v));  // currency, decimal, GUID: exact text
    }
}

// The source's table and column properties (Description, Format, Caption,
// DefaultValue, ValidationRule...), for the new table. Binary ones (GUID,
// NameMap) name objects of the source file and stay behind, as do values of
// kinds a property cannot hold and blocks of columns the table no longer has.
std::vector<access::ObjectProperties> copiedProperties(access::Database& src, const access::TableDef& t,
                                                       const std::string& name) {
    std::vector<access::ObjectProperties> out;
    auto sets = src.tableProperties(name);
    if (!sets.isOk()) return out;
    for (const auto& set : *sets) {
        access::ObjectProperties o;
        if (!set.objectName.empty() && !namesEqual(set.objectName, name)) {
            const access::ColumnDef* c = t.columnByName(set.objectName);
            if (!c) continue;
            o.object = c->name;
        }
        for (size_t i = 0; i < set.values.size(); ++i) {
            const auto& [pname, v] = set.values[i];
            using access::ValueKind;
            if (v.kind == ValueKind::Null || v.kind == ValueKind::Binary || v.kind == ValueKind::Guid ||
                v.kind == ValueKind::Decimal)
                continue;
            o.values.push_back({pname, v, i < set.flags.size() ? set.flags[i] : uint8_t{0}});
        }
        if (!o.values.empty()) out.push_back(std::move(o));
    }
    return out;
}

struct TableResult {
    long long rows = 0, refused = 0;
    std::string error;
};

TableResult copyTable(access::Database& src, access::WriteConnection& dest, const std::string& name) {
    TableResult r;
    auto def = src.tableDef(name);
    if (!def.isOk()) {
        r.error = def.status().toString();
        return r;
    }
    const access::TableDef& t = *def.value();
    const bool jet3 = src.format().isJet3();
    for (const auto& c : t.columns)
        if (c.name.find(']') != std::string::npos) {
            r.error = "the column name '" + c.name + "' holds ']' and cannot be written in a statement";
            return r;
        }
    std::string sql = "CREATE TABLE " + bracket(name) + "(";
    for (size_t i = 0; i < t.columns.size(); ++i)
        sql += (i ? "," : "") + bracket(t.columns[i].name) + " " + typeWord(t.columns[i], jet3) +
               ((t.columns[i].flags & access::column_flag::kNullable && !t.columns[i].required) ||
                        t.columns[i].type == access::ColumnType::Boolean
                    ? ""
                    : " NOT NULL");
    auto columnName = [&](uint16_t number) -> std::string {
        for (const auto& c : t.columns)
            if (c.number == number) return c.name;
        return "?";
    };
    for (const auto& li : t.logicalIndexes) {
        if (!li.isPrimaryKey() || li.realIndex >= t.realIndexes.size()) continue;
        sql += ",CONSTRAINT " + bracket(li.name) + " primary key(";
        const auto& cols = t.realIndexes[li.realIndex].columns;
        for (size_t k = 0; k < cols.size(); ++k) sql += (k ? "," : "") + bracket(columnName(cols[k].column));
        sql += ")";
        break;
    }
    sql += ");";
    access::Status s = dest.execute(sql, copiedProperties(src, t, name));
    if (!s.isOk()) {
        r.error = s.description();
        return r;
    }
    for (const auto& li : t.logicalIndexes) {
        if (li.isPrimaryKey() || li.isForeignKey() || li.realIndex >= t.realIndexes.size()) continue;
        const auto& ri = t.realIndexes[li.realIndex];
        std::string ix = "CREATE ";
        if (ri.flags & access::index_flag::kUnique) ix += "UNIQUE ";
        ix += "INDEX " + bracket(li.name) + " ON " + bracket(name) + " (";
        for (size_t k = 0; k < ri.columns.size(); ++k)
            ix += std::string(k ? ", " : " ") + bracket(columnName(ri.columns[k].column)) + (ri.columns[k].ascending ? "" : " DESC");
        ix += ")";
        if (ri.flags & access::index_flag::kIgnoreNulls) ix += " WITH IGNORE NULL";
        else if (ri.flags & access::index_flag::kRequired) ix += " WITH DISALLOW NULL";
        s = dest.execute(ix + ";");
        if (!s.isOk()) std::cerr << "veltrano-cli: " << name << ": index " << li.name << " not copied: " << s.description() << "\n";
    }
    auto cursor = src.openCursor(name);
    if (!cursor.isOk()) {
        r.error = cursor.status().toString();
        return r;
    }
    auto app = dest.openTableForAppend(name);
    if (!app.isOk()) {
        r.error = app.status().description();
        return r;
    }
    app->raiseAutoNumber(t.lastAutoNumber);
    app->acceptNullsInRequiredColumns();
    while ((*cursor)->next()) {
        ++r.rows;
        access::Status st = app->addNew();
        for (size_t i = 0; st.isOk() && i < t.columns.size(); ++i) st = app->setField(static_cast<int>(i), copiedValue((*cursor)->value(i)));
        if (st.isOk()) st = app->update();
        if (!st.isOk() && !app->isOpen()) {
            // A failed write undid the whole session: none of the table's
            // rows were stored.
            r.error = st.description();
            r.refused = r.rows;
            break;
        }
        if (!st.isOk()) {
            ++r.refused;
            if (r.refused <= 5) std::cerr << "veltrano-cli: " << name << ": row " << r.rows << " refused: " << st.description() << "\n";
        }
    }
    if (!(*cursor)->status().isOk()) r.error = (*cursor)->status().toString();
    access::Status closed = app->close();
    if (!closed.isOk()) {
        // The rows are stored together at close, or none of them.
        r.refused = r.rows;
        if (r.error.empty()) r.error = closed.description();
    }
    return r;
}

int runCopy(const std::vector<std::string>& args) {
    SecretOptions dest = secretOptions("dest-password");
    dest.flags.push_back("overwrite-file");
    dest.flags.push_back("quiet");
    Options o = withAccessPassword(args, dest.values, dest.flags, true);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 2)
        return fail(kExitUsage, "usage: copy SRC.mdb DEST.mdb [--db-password PW] [--dest-password PW] [--overwrite-file]");
    const std::string srcPath = o.positional()[0], destPath = o.positional()[1];
    std::string destPassword;
    bool destPasswordGiven = false;
    if (std::string problem = readSecret(o, "dest-password", destPassword, destPasswordGiven); !problem.empty())
        return fail(kExitUsage, problem);
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(destPath, ec)) {
        if (fs::equivalent(srcPath, destPath, ec)) return fail(kExitUsage, "SRC and DEST are the same file");
        if (!o.has("overwrite-file")) return fail(kExitFailure, destPath + " already exists (use --overwrite-file to replace it)");
    }
    int code = kExitOk;
    auto src = openAccessFile(o, srcPath, code);
    if (!src) return code;
    if (fs::exists(destPath, ec)) {
        access::Status busy = access::checkNotInUse(destPath);
        if (!busy.isOk()) return fail(kExitFailure, fileError(destPath, busy.description()));
        fs::remove(destPath, ec);
        if (ec) return fail(kExitFailure, "cannot replace " + destPath + ": " + ec.message());
    }
    access::Status s = access::createDatabase(destPath, destPassword);
    if (!s.isOk()) return fail(kExitFailure, fileError(destPath, s.toString()));
    access::WriteConnection destination;
    s = destination.open(destPath, destPassword);
    if (!s.isOk()) return fail(kExitFailure, fileError(destPath, s.toString()));
    bool clean = true;
    for (const access::CatalogEntry* e : src->userTables()) {
        TableResult r = copyTable(*src, destination, e->name);
        if (!r.error.empty() || r.refused) clean = false;
        if (o.has("quiet") && r.error.empty()) continue;
        // Quiet, a table that failed is still reported, as an error.
        std::ostream& out = o.has("quiet") ? std::cerr : std::cout;
        if (o.has("quiet")) out << "veltrano-cli: ";
        out << e->name << ": " << (r.rows - r.refused) << " of " << r.rows << " rows";
        if (!r.error.empty()) out << " (" << r.error << ")";
        out << "\n";
        // What an .accdb holds that a Jet 4 file cannot: named, not dropped silently.
        if (auto def = src->tableDef(e->name); def.isOk())
            for (const auto& c : (*def)->columns)
                if (c.type == access::ColumnType::Complex)
                    std::cout << e->name << "." << c.name
                              << ": not carried: the values of this attachment or multi-value column are copied as "
                                 "text (attachments by file name; their files are not copied)\n";
        for (const auto& memo : src->versionedMemos(e->name))
            std::cout << e->name << "." << memo << ": not carried: the saved earlier versions of this append-only memo\n";
    }
    s = destination.close();
    if (!s.isOk()) return fail(kExitFailure, fileError(destPath, s.toString()));
    return clean ? kExitOk : fail(kExitFailure, "some tables or rows could not be copied");
}

const Registrar kRegistrar{
    {"copy",
     "copy SRC.mdb DEST.mdb [PASSWORD OPTIONS] [--overwrite-file] [--quiet]   new Access 2000 file with every "
     "table of SRC",
     &runCopy,
     "Options:\n"
     "  --overwrite-file       replace DEST when it exists\n"
     "  --quiet                print only errors (no line per copied table)\n"
     VELTRANO_CLI_ACCESS_PASSWORD_HELP
     "                         (the password of SRC; --password is its older spelling)\n"
     "  --dest-password PW     give DEST a database password\n"
     "  --dest-password-env VAR, --dest-password-stdin\n"
     "                         the same, from an environment variable or standard input\n"}};

}  // namespace

}  // namespace veltrano::cli
