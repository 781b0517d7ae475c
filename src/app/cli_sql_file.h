// to-mysql --sql-file: the whole conversion written as SQL statements to a
// file instead of sent to a server, for `mariadb < FILE` later or elsewhere.
#pragma once

#include <string>

#include "common/conversion_session.h"
#include "to_mysql/access_source.h"

namespace veltrano::cli {

struct SqlFileTarget {
    std::string path;         // "-" for standard output
    std::string database;     // the database the statements fill
    bool append = false;      // use an existing database instead of creating it
    bool replaceDatabase = false;  // drop a database of that name first
    bool replaceTables = false;    // drop a table of the same name first
    bool quiet = false;
};

// Writes the statements for the tables of session.tables (built by
// buildDefinitions): the database, then per table its CREATE TABLE and its
// rows as multi-row INSERTs inside one transaction. The file appears only
// when complete. Returns an exit code; failures are reported.
int writeSqlFile(ConversionSession& session, tomysql::AccessSource& source, const SqlFileTarget& target);

}  // namespace veltrano::cli
