// Saved select queries as views. A view is created only when its Jet SQL
// translates and MySQL accepts it, after the views it reads, and it is kept
// only if selecting from it runs; every other query is named with its SQL
// and the reason.
#include <map>
#include <set>

#include "access/read/database.h"
#include "access/format/text.h"
#include "common/names.h"
#include "mysql/sql_text.h"
#include "to_mysql/jet_sql_translation.h"
#include "to_mysql/schema_extras_internal.h"

namespace veltrano::tomysql::extras {

namespace {

std::string oneLine(const std::string& sql) {
    std::string out;
    for (char c : sql) {
        if (c == '\r') continue;
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

// Yes/No columns by table, for Access's True (-1) in comparisons.
class YesNoColumns {
public:
    explicit YesNoColumns(access::Database* db) {
        if (!db) return;
        for (const auto* e : db->userTables()) {
            auto def = db->tableDef(e->name);
            if (!def.isOk()) continue;
            for (const auto& c : (*def)->columns) {
                auto& kind = byColumn_[foldedName(c.name)];
                const int yesNo = c.type == access::ColumnType::Boolean ? 1 : 2;
                kind = kind == 0 || kind == yesNo ? yesNo : 3;
                if (yesNo == 1) byTable_.insert(foldedName(e->name) + "." + foldedName(c.name));
            }
        }
    }
    bool operator()(std::string_view qualifier, std::string_view column) const {
        const std::string c = foldedName(column);
        if (byTable_.count(foldedName(qualifier) + "." + c)) return true;
        // An alias or no qualifier: the name must be Yes/No wherever it occurs.
        auto it = byColumn_.find(c);
        return it != byColumn_.end() && it->second == 1;
    }

private:
    std::set<std::string> byTable_;
    std::map<std::string, int> byColumn_;  // 1 always Yes/No, 2 never, 3 both
};

}  // namespace

void carryViews(Target& target, access::Connection& source) {
    auto queries = source.savedQueries();
    if (!queries.isOk()) {
        target.notCarried("", "saved queries", "they could not be read: " + queries.status().description());
        return;
    }
    YesNoColumns yesNo(source.database());
    JetTranslationOptions options;
    options.mapName = [&target](std::string_view n) { return target.name(std::string(n)); };
    options.isYesNo = [&yesNo](std::string_view q, std::string_view c) { return yesNo(q, c); };
    access::Database* db = source.database();
    options.columnsOf = [&target, db](std::string_view name) -> std::optional<std::vector<std::string>> {
        std::vector<std::string> names;
        if (db && db->findTable(name)) {
            auto def = db->tableDef(name);
            if (!def.isOk()) return std::nullopt;
            for (const auto& c : (*def)->columns) names.push_back(c.name);
            return names;
        }
        // A query read as a table: the columns of its view, once made.
        auto rows = target.rows("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                                "AND TABLE_NAME = " + sqlTextLiteral(target.name(std::string(name))) +
                                " ORDER BY ORDINAL_POSITION");
        if (!rows || rows->empty()) return std::nullopt;
        for (const auto& r : *rows)
            if (r[0]) names.push_back(*r[0]);
        return names;
    };

    struct Pending {
        const access::SavedQuery* query;
        JetTranslation translation;
        std::vector<std::string> needs;  // lower-cased names of queries it reads
    };
    std::map<std::string, const access::SavedQuery*> byName;
    for (const auto& q : *queries) byName[foldedName(q.name)] = &q;

    std::vector<Pending> pending;
    auto refuse = [&target](const access::SavedQuery& q, const std::string& reason) {
        target.notCarried("", "query " + q.name + " [" + oneLine(q.sql) + "]", reason);
    };
    for (const auto& q : *queries) {
        if (q.kind != access::QueryKind::Select && q.kind != access::QueryKind::Union) {
            const std::string kind = access::queryKindName(q.kind);
            const bool vowel = std::string("aeiou").find(kind[0]) != std::string::npos;
            refuse(q, "only select queries become views, and this is " + std::string(vowel ? "an " : "a ") + kind + " query");
            continue;
        }
        Pending p{&q, translateJetSelect(q.sql, options), {}};
        if (!p.translation.ok) {
            refuse(q, "it does not translate to MySQL: " + p.translation.reason);
            continue;
        }
        for (const auto& s : p.translation.sources)
            if (byName.count(foldedName(s)) && !namesEqual(s, q.name)) p.needs.push_back(foldedName(s));
        pending.push_back(std::move(p));
    }

    // Views in dependency order: each round creates those whose queries are in.
    std::set<std::string> created, failed;
    for (const auto& q : *queries) {
        bool inPending = false;
        for (const auto& p : pending) inPending = inPending || p.query == &q;
        if (!inPending) failed.insert(foldedName(q.name));
    }

    bool progress = true;
    while (progress && !pending.empty()) {
        progress = false;
        for (size_t i = 0; i < pending.size();) {
            Pending& p = pending[i];
            const access::SavedQuery& q = *p.query;
            std::string blocker;
            bool waiting = false;
            for (const auto& n : p.needs) {
                if (failed.count(n)) blocker = byName[n]->name;
                else if (!created.count(n)) waiting = true;
            }
            if (blocker.empty() && waiting) {
                ++i;
                continue;
            }
            progress = true;
            const std::string key = foldedName(q.name);
            const std::string view = Target::quoted(target.name(q.name));
            if (!blocker.empty()) {
                refuse(q, "it reads the query " + blocker + ", which did not become a view");
                failed.insert(key);
            } else if (p.translation = translateJetSelect(q.sql, options); !p.translation.ok) {
                // Translated again now that the views it reads exist (their columns spell out a *).
                refuse(q, "it does not translate to MySQL: " + p.translation.reason);
                failed.insert(key);
            } else if (std::string error = target.run("CREATE VIEW " + view + " AS " + p.translation.sql); !error.empty()) {
                refuse(q, "MySQL refused the view [" + p.translation.sql + "]: " + error);
                failed.insert(key);
            } else if (std::string runError = target.run("SELECT COUNT(*) FROM " + view); !runError.empty()) {
                target.run("DROP VIEW " + view);
                refuse(q, "the view MySQL accepted does not run: " + runError);
                failed.insert(key);
            } else {
                target.carried("", "query " + q.name + " as view " + target.name(q.name));
                created.insert(key);
            }
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    for (const auto& p : pending) refuse(*p.query, "it reads itself through other queries (a cycle)");
}

}  // namespace veltrano::tomysql::extras
