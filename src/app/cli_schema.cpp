// veltrano-cli schema FILE [--password PW]: each user table's columns (name,
// Access type, size, nullability, default, auto-number) and indexes, for a
// person to read.
#include <algorithm>
#include <iostream>
#include <sstream>

#include "access/read/database.h"
#include "app/cli_command.h"

namespace veltrano::cli {

namespace {

std::string formatName(const access::DatabaseHeader& h) {
    if (!h.ace) return h.format->isJet3() ? "Access 97 (Jet 3)" : "Access 2000-2003 (Jet 4)";
    static const char* const kAce[] = {"Access 2007 (ACE 12)", "Access 2010 (ACE 14)", "Access 2013 (ACE 15)",
                                       "Access 2016 (ACE 16)", "Access 2019 (ACE 17)"};
    return kAce[std::clamp(h.fileVersion, uint8_t{2}, uint8_t{6}) - 2];
}

std::string typeText(const access::ColumnDef& c, const access::Format& f) {
    using access::ColumnType;
    std::string t = access::columnTypeName(c.type);
    switch (c.type) {
        case ColumnType::Text: return t + "(" + std::to_string(f.isJet4() ? c.length / 2 : c.length) + ")";
        case ColumnType::Binary: return t + "(" + std::to_string(c.length) + ")";
        case ColumnType::Numeric:
            return t + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        case ColumnType::Memo: return c.isHyperlink() ? "Hyperlink" : t;
        default: return t;
    }
}

int runSchema(const std::vector<std::string>& args) {
    Options o(args, {"password"}, {});
    if (!o.ok()) return fail(kExitUsage, o.error());
    if (o.positional().size() != 1) return fail(kExitUsage, "usage: schema FILE [--password PW]");
    access::OpenOptions opts;
    if (o.has("password")) opts.password = o.value("password");
    auto db = access::Database::open(o.positional()[0], opts);
    if (!db.isOk()) return fail(kExitFailure, db.status().toString());
    access::Database& d = **db;

    std::ostringstream out;
    out << formatName(d.pager().header()) << " database, " << d.userTables().size() << " table(s)\n";
    for (const auto* entry : d.userTables()) {
        auto def = d.tableDef(entry->name);
        if (!def.isOk()) return fail(kExitFailure, entry->name + ": " + def.status().toString());
        auto rows = d.countRows(entry->name);
        if (!rows.isOk()) return fail(kExitFailure, entry->name + ": " + rows.status().toString());
        out << "\nTABLE " << entry->name << " (" << *rows << " row" << (*rows == 1 ? "" : "s") << ")\n";
        for (const auto& c : (*def)->columns) {
            bool nullable = !c.required && c.type != access::ColumnType::Boolean && !c.isAutoLong();
            out << "  " << c.name << "  " << typeText(c, d.format()) << (nullable ? "  NULL" : "  NOT NULL");
            if (c.hasDefault) out << "  DEFAULT " << c.defaultValue;
            if (c.isAutoLong()) out << "  AUTO-NUMBER";
            if (c.isAutoGuid()) out << "  AUTO-GUID";
            out << "\n";
        }
        for (const auto& li : (*def)->logicalIndexes) {
            out << "  INDEX " << li.name;
            if (li.realIndex >= (*def)->realIndexes.size()) {
                out << " (damaged)\n";
                continue;
            }
            const auto& ri = (*def)->realIndexes[li.realIndex];
            if (li.isPrimaryKey()) out << "  PRIMARY KEY";
            else if (ri.flags & access::index_flag::kUnique) out << "  UNIQUE";
            if (li.isForeignKey()) out << "  FOREIGN KEY";
            out << "  (";
            for (size_t k = 0; k < ri.columns.size(); ++k) {
                const auto* c = (*def)->columnByNumber(ri.columns[k].column);
                out << (k ? ", " : "") << (c ? c->name : "?") << (ri.columns[k].ascending ? "" : " DESC");
            }
            out << ")\n";
        }
    }
    for (const auto* link : d.linkedTables()) out << "\nLINKED TABLE " << link->name << "  " << link->linkDescription() << "  (not read)\n";
    std::cout << out.str();
    std::cout.flush();
    if (!std::cout) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"schema", "schema FILE [--password PW]   show the tables, columns and indexes of an Access file",
                            &runSchema}};

}  // namespace

}  // namespace veltrano::cli
