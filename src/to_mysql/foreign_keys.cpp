// Relationships with referential integrity as FOREIGN KEY constraints, added
// once every row is in, so that the order of the tables never matters.
#include "access/format/text.h"
#include "mysql/sql_text.h"
#include "to_mysql/schema_extras_internal.h"

namespace veltrano::tomysql::extras {

namespace {

std::string columnList(Target& target, const access::Relationship& r, bool referencing) {
    std::string out;
    for (const auto& [from, to] : r.columns) out += (out.empty() ? "" : ", ") + Target::quoted(target.name(referencing ? from : to));
    return out;
}

std::string describe(const access::Relationship& r) {
    std::string from, to;
    for (const auto& [a, b] : r.columns) {
        from += (from.empty() ? "" : ", ") + a;
        to += (to.empty() ? "" : ", ") + b;
    }
    return "foreign key " + r.name + " (" + from + ") to " + r.referencedTable + " (" + to + ")";
}

// Rows of the referencing table whose key (all parts set) has no match.
std::string orphanCount(Target& target, const access::Relationship& r) {
    std::string set, match;
    for (const auto& [from, to] : r.columns) {
        const std::string c = "c." + Target::quoted(target.name(from));
        set += std::string(set.empty() ? "" : " AND ") + c + " IS NOT NULL";
        match += std::string(match.empty() ? "" : " AND ") + "p." + Target::quoted(target.name(to)) + " = " + c;
    }
    auto n = target.rows("SELECT COUNT(*) FROM " + Target::quoted(target.name(r.referencingTable)) + " c WHERE " + set +
                         " AND NOT EXISTS (SELECT 1 FROM " + Target::quoted(target.name(r.referencedTable)) +
                         " p WHERE " + match + ")");
    return n && !n->empty() && (*n)[0][0] ? *(*n)[0][0] : std::string();
}

}  // namespace

void carryForeignKeys(Target& target, access::Connection& source) {
    auto relationships = source.relationships();
    if (!relationships.isOk()) {
        target.notCarried("", "relationships", "they could not be read: " + relationships.status().description());
        return;
    }
    for (const auto& r : *relationships) {
        const bool fromNow = target.convertedNow(r.referencingTable), toNow = target.convertedNow(r.referencedTable);
        if (!fromNow && !toNow) continue;  // neither side is part of this run
        const std::string what = describe(r);
        if (!r.defect.empty()) {
            target.notCarried(r.referencingTable, "relationship " + r.name, "it is damaged in the file: " + r.defect);
            continue;
        }
        if (!r.enforced()) {
            target.notCarried(r.referencingTable, what,
                              "Access does not enforce it (no referential integrity), and MySQL has no foreign key "
                              "that is not enforced");
            continue;
        }
        const std::string& missing = !target.inTarget(r.referencingTable) ? r.referencingTable
                                   : !target.inTarget(r.referencedTable)  ? r.referencedTable
                                                                          : std::string();
        if (!missing.empty()) {
            target.notCarried(r.referencingTable, what, "the table " + missing + " is not in the MySQL database");
            continue;
        }
        std::string actions;
        if (r.cascadeDelete()) actions += " ON DELETE CASCADE";
        else if (r.cascadeSetNull()) actions += " ON DELETE SET NULL";
        if (r.cascadeUpdate()) actions += " ON UPDATE CASCADE";
        const std::string tail = " FOREIGN KEY (" + columnList(target, r, true) + ") REFERENCES " +
                                 Target::quoted(target.name(r.referencedTable)) + " (" + columnList(target, r, false) +
                                 ")" + actions;
        std::string error;
        for (int attempt = 0; attempt < 5; ++attempt) {
            error = target.run("ALTER TABLE " + Target::quoted(target.name(r.referencingTable)) + " ADD CONSTRAINT " +
                               Target::quoted(constraintName(r.name, attempt)) + tail);
            // 1826 duplicate name; 121 and 1022 the duplicate name as older servers say it.
            const int32_t e = target.lastError();
            if (error.empty() || (e != 1826 && e != 121 && e != 1022)) break;
        }
        if (error.empty()) {
            target.carried(r.referencingTable, what + actions);
            continue;
        }
        if (target.lastError() == 1452) {
            const std::string n = orphanCount(target, r);
            error = (n.empty() ? std::string("some rows") : n + " row(s)") + " of " + r.referencingTable +
                    " have no matching row in " + r.referencedTable + " (" + error + ")";
            target.notCarried(r.referencingTable, what, "its rows break it: " + error);
        } else {
            target.notCarried(r.referencingTable, what, "MySQL refused it: " + error);
        }
    }
}

}  // namespace veltrano::tomysql::extras
