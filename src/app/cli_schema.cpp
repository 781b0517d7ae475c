// veltrano-cli schema FILE [--db-password PW]: each user table's columns (name,
// Access type, size, nullability, default, auto-number) and indexes, for a
// person to read. With --mysql: the CREATE TABLE statements a conversion to
// MySQL would send, built by the same code as the run, and nothing sent.
#include <algorithm>
#include <iostream>
#include <sstream>

#include "app/cli_access_file.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"
#include "to_mysql/table_definitions.h"

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

int printMysqlDefinitions(const Options& o) {
    const std::string& path = o.positional()[0];
    access::Connection cnn;
    int code = kExitOk;
    if (!openAccessConnection(o, path, cnn, code)) return code;
    tomysql::ProviderSource source(cnn);
    auto names = source.tableNames();
    if (!names.isOk()) return fail(kExitFailure, fileError(path, names.status().description()));
    ConversionSession s;
    s.convertSpaces = o.has("spaces-to-underscores");
    s.typeNames = source.typeNames();
    // A table that cannot be read is refused below by its empty columns.
    (void)tomysql::buildDefinitions(s, source, *names);
    std::ostringstream out;
    for (TableDefinition& t : s.tables) {
        if (t.columns.empty()) return fail(kExitFailure, fileError(path, t.name + ": its columns could not be read"));
        std::string statement = tomysql::createTableStatement(t, s.convertSpaces);
        if (statement.empty() || statement.back() != ';') statement += ';';
        out << statement << "\n";
    }
    std::cout << out.str();
    std::cout.flush();
    if (!std::cout) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

int runSchema(const std::vector<std::string>& args) {
    Options o = withAccessPassword(args, {}, {"mysql", "spaces-to-underscores"}, true);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 1) return fail(kExitUsage, "usage: schema FILE [--mysql] [--db-password PW]");
    if (o.has("spaces-to-underscores") && !o.has("mysql"))
        return fail(kExitUsage, "--spaces-to-underscores goes with --mysql");
    if (o.has("mysql")) return printMysqlDefinitions(o);
    int code = kExitOk;
    auto db = openAccessFile(o, o.positional()[0], code);
    if (!db) return code;
    access::Database& d = *db;

    std::ostringstream out;
    out << formatName(d.pager().header()) << " database, " << d.userTables().size() << " table(s)\n";
    for (const auto* entry : d.userTables()) {
        auto def = d.tableDef(entry->name);
        if (!def.isOk()) return fail(kExitFailure, fileError(o.positional()[0], entry->name + ": " + def.status().toString()));
        auto rows = d.countRows(entry->name);
        if (!rows.isOk()) return fail(kExitFailure, fileError(o.positional()[0], entry->name + ": " + rows.status().toString()));
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

const Registrar kRegistrar{
    {"schema",
     "schema FILE [--mysql [--spaces-to-underscores]] [PASSWORD OPTION]   show the tables, columns and indexes "
     "of an Access file",
     &runSchema,
     "Options:\n"
     "  --mysql                print the CREATE TABLE statements a conversion to MySQL (to-mysql)\n"
     "                         would send, without connecting to a server\n"
     "  --spaces-to-underscores  with --mysql: blanks in names become \"_\", as to-mysql's option does\n"
     VELTRANO_CLI_ACCESS_PASSWORD_HELP "  --password PW          older spelling of --db-password\n"}};

}  // namespace

}  // namespace veltrano::cli
