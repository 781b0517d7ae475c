// Test support for the Access-to-MySQL run: the throwaway server, a
// scripted RunHost, and an in-memory Access source.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "to_mysql/access_source.h"

namespace veltrano::tomysql::test {

struct Login {
    std::string host, user, password;
    int port = 0;
};
// Null when VELTRANO_TEST_MYSQL_HOST / _PORT are not set.
const Login* testServer();
bool openTestConnection(MYSQL_CONNECTION& conn);
// First value of the first row ("<NULL>", "<NONE>" when no row); fails the test on error.
std::string scalar(MYSQL_CONNECTION& conn, const std::string& sql);
// All rows, each value as text ("<NULL>" for NULL), columns joined by '|'.
std::vector<std::string> rows(MYSQL_CONNECTION& conn, const std::string& sql);
// A fresh database name "vt_tm_<pid>_<n>_<tag>".
std::string uniqueName(const std::string& tag);
void dropDatabase(const std::string& name);

// Answers questions from a script and records everything it was told.
class ScriptedHost : public RunHost {
public:
    struct Told {
        std::string text;
        int buttonSet;
    };
    std::vector<Told> told;
    std::deque<int> answers;  // for every question that is not OK-only
    std::function<void()> onKeepAlive;
    std::vector<int> percents;
    bool cancel = false;

    int ask(const std::string& text, int buttonSet, int) override;
    void keepAlive() override {
        if (onKeepAlive) onKeepAlive();
    }
    bool cancelRequested() const override { return cancel; }
    void progress(int percent) override { percents.push_back(percent); }
    std::vector<std::string> texts() const;
};

// An Access source held in memory.
class FakeSource : public AccessSource {
public:
    struct Table {
        TableSchema schema;
        std::vector<std::string> columns;
        std::vector<std::vector<FieldValue>> rows;
        // Rows generated on the fly instead (big tables): row r (0-based).
        int64_t generatedRows = 0;
        std::function<void(int64_t, std::vector<FieldValue>&)> generate;
    };
    std::vector<Table> tables;
    TypeNames types;

    FakeSource();
    Table& add(const std::string& name);

    access::Result<std::vector<std::string>> tableNames() override;
    TypeNames typeNames() override { return types; }
    access::Status readSchema(const std::string& table, TableSchema& schema) override;
    access::Result<int64_t> countRows(const std::string& table) override;
    access::Result<std::unique_ptr<SourceRows>> openRows(const std::string& table) override;

private:
    Table* find(const std::string& name);
};

// Adds a column to a fake table: schema row, catalog column and row slot.
void addColumn(FakeSource::Table& t, const std::string& name, int dataType, std::optional<int64_t> length = {},
               bool autoIncrement = false);

}  // namespace veltrano::tomysql::test

namespace veltrano::tomysql::test {

// Checks that database `db` holds every user table of the .mdb file as the
// conversion should leave it: the columns, the primary key, the number of
// other indexes, and every row (rows compared as multisets, cells in a
// canonical text per column type). `refused` rows of each table may be
// missing, as the target refused them.
void expectSameAsSource(MYSQL_CONNECTION& conn, const std::string& db, const std::string& mdbPath,
                        const std::string& password, bool convertSpaces, size_t refused = 0);

// The sample files: path and database password ("" for none).
struct SampleFile {
    std::string path;
    std::string password;
};
std::vector<SampleFile> sampleFiles();

}  // namespace veltrano::tomysql::test
