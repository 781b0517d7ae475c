// Test support for the MySQL-to-Access direction: a scratch MySQL database
// on the server scripts/test starts, a scratch folder, a RunHost that answers
// from a script, and readers of the written .mdb (ours, mdb-reader, mdbtools).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/conversion_session.h"
#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "to_access/conversion_run.h"

namespace veltrano::tatest {

struct Login {
    std::string host, user, password;
    int port = 0;
};

// Null when the test server's environment is not set.
const Login* testLogin();

// Opens `c` on the test server (no database selected); false on failure.
bool openConnection(MYSQL_CONNECTION& c);

// A database of its own ("vt_ta_" + suffix), created empty and dropped again.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const std::string& suffix);
    ~ScratchDatabase();
    const std::string& name() const { return name_; }
    MYSQL_CONNECTION& connection() { return conn_; }
    // Runs a statement that must succeed.
    void exec(const std::string& sql);

private:
    std::string name_;
    MYSQL_CONNECTION conn_;
};

// A fresh folder under the build tree, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Answers the run's questions from a queue (kOk for plain messages when the
// queue is empty); records every text it was shown.
class ScriptedHost : public RunHost {
public:
    std::deque<int> answers;
    std::vector<std::string> asked;
    std::function<void(int64_t)> onKeepAlive;  // called with the number of keepAlive calls so far
    int64_t cancelAfterKeepAlives = -1;       // cancelRequested() once this many calls happened
    std::vector<int> progressSeen;

    int ask(const std::string& text, int buttonSet, int picture) override;
    void keepAlive() override;
    bool cancelRequested() const override;
    void progress(int percent) override { progressSeen.push_back(percent); }

    int64_t keepAlives() const { return keepAlives_; }

private:
    int64_t keepAlives_ = 0;
};

// Fills the session for a run over `tables` of `database` into `path`, as
// pages 1 and 2 do.
void prepareSession(const std::string& database, const std::vector<std::string>& tables,
                    const std::string& path);

// Runs a shell command; returns its standard output and sets `status` to its exit code.
std::string shell(const std::string& command, int* status = nullptr);
std::string quoted(const std::string& text);

// One table as read by our own engine, in the oracles' canonical CSV.
std::string ourExport(const std::string& file, const std::string& table, const std::string& password = {});
// The same through mdb-reader (tests/oracle/dump.mjs); "" when node or mdb-reader is missing.
std::string readerExport(const std::string& file, const std::string& table, const std::string& password = {});
bool oraclesAvailable();

// Runs tests/oracle/compare.mjs --written on `file` against the canonical
// CSV files in `expectDir` (mdbtools, mdb-reader and, when it can export,
// veltrano-cli). Returns the exit status; `output` gets what it printed.
// `known` names a known-differences file for compare.mjs ("" for its own).
int compareWritten(const std::string& file, const std::string& expectDir, std::string& output,
                   const std::string& known = {}, const std::string& password = {});

// Column types and indexes of one table as our engine reports them:
// "name:type" per column (adox type codes, "+auto" for auto-numbers) and
// "P|U|I name(col,col)" per index.
struct TableShape {
    std::vector<std::string> columns;
    std::vector<std::string> indexes;
};
TableShape shapeOf(const std::string& file, const std::string& table, const std::string& password = {});
std::vector<std::string> tablesOf(const std::string& file, const std::string& password = {});

// A run of the MySQL-to-Access conversion against the test server, its
// questions answered by `host_`, into files under `folder_`.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
        resetSession();
        ASSERT_TRUE(openConnection(source_)) << source_.Error().Description();
    }
    void TearDown() override { resetSession(); }

    toaccess::RunOutcome run(const std::string& db, const std::vector<std::string>& tables, const std::string& file,
                       toaccess::RunOptions options = {}) {
        prepareSession(db, tables, file);
        options.keepAliveInterval = std::chrono::milliseconds(0);  // a call every few rows, whatever the speed
        toaccess::ConversionRun r(session(), source_, host_);
        return r.run(options);
    }

    int64_t rowsIn(const std::string& file, const std::string& table) {
        std::string csv = ourExport(file, table);
        return static_cast<int64_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;
    }

    MYSQL_CONNECTION source_;
    ScriptedHost host_;
    ScratchFolder folder_;
};

}  // namespace veltrano::tatest
