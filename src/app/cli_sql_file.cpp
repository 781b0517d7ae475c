#include "app/cli_sql_file.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "access/provider/provider.h"
#include "access/read/database.h"
#include "app/cli_command.h"
#include "common/conversion_report.h"
#include "mysql/sql_text.h"
#include "to_mysql/table_definitions.h"
#include "to_mysql/value_text.h"
#include "common/names.h"

namespace veltrano::cli {

namespace {

// Statements stay well under the client's and server's packet limits.
constexpr size_t kInsertBytes = 1 << 20;

// The attachment and multi-value columns of an .accdb table.
std::vector<std::string> complexColumns(tomysql::AccessSource& source, const std::string& table) {
    std::vector<std::string> out;
    access::Database* db = source.engine() ? source.engine()->database() : nullptr;
    auto def = db ? db->tableDef(table) : access::Result<std::shared_ptr<const access::TableDef>>(
                                              access::Status::notFound("no file"));
    if (def.isOk())
        for (const auto& c : (*def)->columns)
            if (c.type == access::ColumnType::Complex) out.push_back(c.name);
    return out;
}

// One table's rows as INSERT statements; false (with error set) when the
// source could not be read to its end.
bool writeRows(std::ostream& out, tomysql::AccessSource& source, const TableDefinition& table,
               const std::string& mysqlTable, int64_t& written, std::string& error) {
    auto opened = source.openRows(table.name);
    if (!opened.isOk()) {
        error = opened.status().description();
        return false;
    }
    std::unique_ptr<tomysql::SourceRows> rows = std::move(*opened);
    // Each column's source field, found by name as the run finds it.
    const auto& names = rows->columnNames();
    const size_t columns = table.columns.size();
    std::vector<size_t> fieldOf(columns, SIZE_MAX);
    std::vector<tomysql::ValueForm> forms(columns);
    for (size_t k = 0; k < columns; ++k) {
        forms[k] = tomysql::valueFormFor(table.columns[k].typeName);
        for (size_t f = 0; f < names.size() && fieldOf[k] == SIZE_MAX; ++f)
            if (names[f] == table.columns[k].name) fieldOf[k] = f;
        for (size_t f = 0; f < names.size() && fieldOf[k] == SIZE_MAX; ++f)
            if (namesEqual(names[f], table.columns[k].name)) fieldOf[k] = f;
    }
    const std::string prefix = "INSERT INTO " + sqlIdentifier(mysqlTable) + " VALUES ( ";
    std::string sql;
    while (rows->next()) {
        sql += sql.empty() ? prefix : " ),( ";
        for (size_t k = 0; k < columns; ++k) {
            if (k > 0) sql += ", ";
            if (fieldOf[k] == SIZE_MAX) sql += "NULL";
            else tomysql::appendValueText(sql, rows->value(fieldOf[k]), forms[k]);
        }
        ++written;
        if (sql.size() >= kInsertBytes) {
            out << sql << " );\n";
            sql.clear();
        }
    }
    if (!sql.empty()) out << sql << " );\n";
    if (access::Status read = rows->status(); !read) {
        error = read.description();
        return false;
    }
    return true;
}

}  // namespace

int writeSqlFile(ConversionSession& s, tomysql::AccessSource& source, const SqlFileTarget& target) {
    namespace fs = std::filesystem;
    const bool toStdout = target.path == "-";
    // Written beside the target and renamed at the end: a run that fails
    // leaves no half file that could be loaded by mistake.
    const std::string partial = target.path + ".partial";
    std::ofstream file;
    if (!toStdout) {
        file.open(partial, std::ios::binary | std::ios::trunc);
        if (!file) return fail(kExitFailure, "cannot write " + partial);
    }
    std::ostream& out = toStdout ? std::cout : file;
    auto abandon = [&](const std::string& message) {
        if (!toStdout) {
            file.close();
            std::error_code ec;
            fs::remove(partial, ec);
        }
        return fail(kExitFailure, message);
    };

    const std::string database = s.convertSpaces ? tomysql::cleanName(target.database) : target.database;
    out << "-- Access file " << s.sourcePath << " as MySQL statements (veltrano-cli to-mysql)\n"
        << "SET NAMES utf8mb4;\n"
        // A table whose text columns could exceed InnoDB's worst-case row
        // size is created all the same, as a direct run does.
        << "SET SESSION innodb_strict_mode = 0;\n";
    if (!target.append) {
        if (target.replaceDatabase) out << "DROP DATABASE IF EXISTS " << sqlIdentifier(database) << ";\n";
        out << "CREATE DATABASE " << sqlIdentifier(database) << " DEFAULT CHARACTER SET utf8mb4;\n";
    }
    out << "USE " << sqlIdentifier(database) << ";\n";

    int64_t rowsWritten = 0;
    for (TableDefinition& table : s.tables) {
        if (table.columns.empty()) return abandon(s.sourcePath + ": " + table.name + ": its columns could not be read");
        const std::string mysqlTable = tomysql::mysqlName(table.name, s.convertSpaces);
        std::vector<NotCarriedItem> notes = table.changes;
        std::string create = tomysql::createTableStatement(table, s.convertSpaces, &notes);
        if (create.empty() || create.back() != ';') create += ';';
        out << "\n";
        if (target.replaceTables) out << "DROP TABLE IF EXISTS " << sqlIdentifier(mysqlTable) << ";\n";
        out << create << "\n";
        // What the file holds differently from Access, named as a direct run names it.
        for (const auto& n : notes) std::cerr << "veltrano-cli: not carried: " << report::notCarriedLine(n) << "\n";
        for (const std::string& column : complexColumns(source, table.name))
            std::cerr << "veltrano-cli: not carried: " << table.name << ": values of column " << column
                      << ": the SQL file holds them as text only; a direct run carries each file or value in a "
                         "table of its own\n";
        if (s.definitionOnly) continue;
        if (!target.quiet) std::cerr << "Converting Table: " << table.name << "\n";
        out << "START TRANSACTION;\n";
        std::string error;
        if (!writeRows(out, source, table, mysqlTable, rowsWritten, error))
            return abandon(s.sourcePath + ": " + table.name + ": " + error);
        out << "COMMIT;\n";
    }
    out.flush();
    if (!out) return abandon("cannot write " + (toStdout ? std::string("the output") : partial));
    if (!toStdout) {
        file.close();
        std::error_code ec;
        fs::rename(partial, target.path, ec);
        if (ec) return abandon("cannot write " + target.path + ": " + ec.message());
    }
    if (!target.quiet)
        std::cerr << "veltrano-cli: " << s.tables.size() << " table(s), " << rowsWritten << " row(s) written to "
                  << (toStdout ? std::string("standard output") : target.path) << "\n";
    return kExitOk;
}

}  // namespace veltrano::cli
