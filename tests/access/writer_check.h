// Test helpers of the writer's tests: an index checker that re-derives every
// index entry from the table rows and compares it with the index pages, and
// small file and process helpers.
#pragma once

#include <string>
#include <vector>

#include "access/write/database_writer.h"

namespace writer_test {

// While alive, append sessions keep at most `bytes` of index entries in
// memory before spilling them to their scratch file.
class AppendMemoryBudget {
public:
    explicit AppendMemoryBudget(size_t bytes) { veltrano::access::AppendSession::setMemoryBudgetForTests(bytes); }
    ~AppendMemoryBudget() { veltrano::access::AppendSession::setMemoryBudgetForTests(0); }
};

struct IndexReport {
    int indexesChecked = 0;
    int indexesSkipped = 0;  // a key could not be derived from a row
    std::vector<std::string> problems;
};

// Checks every real index of every table (system tables included).
// `rowCounts` also compares the row count in each definition with the rows
// found (Access itself leaves stale counts in some system tables).
IndexReport checkIndexes(const std::string& path, const std::string& password = {}, bool rowCounts = true);

// Runs a shell command; returns its exit status and fills `out` with stdout.
int run(const std::string& command, std::string* out = nullptr);
std::string shellQuote(const std::string& s);
// A fresh empty directory under the build tree.
std::string tempDir(const std::string& name);
bool copyFile(const std::string& from, const std::string& to);
std::string oracleDir();  // tests/oracle
bool haveNodeOracle();
// `node dump.mjs FILE export TABLE` (canonical CSV) and the mdbtools export.
std::string dumpExport(const std::string& file, const std::string& table, const std::string& password = {});
std::string dumpTables(const std::string& file, const std::string& password = {});
// Every user table through mdb-reader in one node process, then through mdb-export.
std::string dumpAll(const std::string& file, const std::string& password = {});

// Column `column` of the `row`-th row (0-based, file order) of `table`, read
// with our own reader (text as UTF-8, binary as bytes); "<error ...>" on failure.
std::string readLongValue(const std::string& file, const std::string& table, int row, int column);
// Every row of `table` through our reader, one line per row, cells as text.
std::string readTable(const std::string& file, const std::string& table, const std::string& password = {});

}  // namespace writer_test
