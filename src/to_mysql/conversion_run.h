// The Access-to-MySQL run: settles the target database, creates each
// selected table and copies its rows. It touches no widget: questions and
// messages go through RunHost::ask, the page's progress bar and status label
// through RunHost::progress and the status callback.
//
// Rows are sent in batches of about batchBytes (a table's first ones
// smaller, doubling up to it): where the table can roll back, with LOAD DATA
// LOCAL INFILE in one transaction per table (a savepoint per batch, the next
// batch built while the server loads one), otherwise as multi-row INSERT
// statements. When the server refuses a batch (or, for LOAD
// DATA, warns about any row of it), the batch is undone and sent again one
// row per statement, so that exactly the rows a one-row-at-a-time copy would
// store are stored and every refused row is reported with its record number.
// Rows count as stored once their table's transaction is committed. Window
// events run every keepAliveInterval, not per row, and a cancel is honoured
// between rows: the rows read before it are sent, nothing after it. A host
// must therefore show the outcome of a cancel (the report) only after
// convert() has returned.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/conversion_session.h"
#include "common/run_host.h"
#include "to_mysql/access_source.h"
#include "to_mysql/row_batch.h"

namespace veltrano {
class MYSQL_CONNECTION;
}

namespace veltrano::tomysql {

// The text of the combo box before the user picked or typed a database.
inline constexpr const char* kSelectDatabasePrompt = "< Select Mysql DB or type its name >";

// What page 4 says about the target database.
struct TargetChoice {
    bool append = false;        // "Append to an existing database"
    std::string existingName;   // text of the databases combo box
    std::string newName;        // text of the database name box
};

enum class RunOutcome {
    NotStarted,       // the target database was not settled; the page stays
    SourceEmpty,      // the file has no tables: nothing to do
    Completed,        // every table handled
    CancelledAtQuestion,  // Cancel answered when a table existed
    Cancelled,        // the user stopped the run
    Failed,           // a table could not be created or the server went away
};

// Page 2's Next: one TableDefinition per selected name, in order, with its
// row count; totalRecords is their sum. Read failures leave the table's
// parts empty (and its count 0) and the build goes on; the first of them is
// returned. keepAlive, when given, runs between tables.
access::Status buildDefinitions(ConversionSession& session, AccessSource& source,
                                const std::vector<std::string>& selected,
                                const std::function<void()>& keepAlive = {});

// What a server of the given VERSION() takes.
ServerFeatures serverFeatures(const std::string& version);
// MySQL error numbers of a CREATE TABLE refused for a column default.
bool isDefaultRefusal(int32_t errorNumber);

// MySQL error numbers that mean the connection is gone.
bool isConnectionLost(int32_t errorNumber);

// The run's MySQL connection as the batches see it.
class ConnectionServer : public BatchServer {
public:
    explicit ConnectionServer(MYSQL_CONNECTION& mysql) : mysql_(mysql) {}
    int32_t execute(const std::string& sql) override;
    int32_t loadLocal(const std::string& tail, const std::string& data, int64_t& loaded, std::string& info) override;
    std::string errorText() const override;
    bool connectionLost() const override;
    int64_t countRows(const std::string& quotedTable) override;
    bool inTransaction() const override;

private:
    MYSQL_CONNECTION& mysql_;
};

class ConversionRun : private BatchListener {
public:
    ConversionRun(ConversionSession& session, MYSQL_CONNECTION& mysql, AccessSource& source,
                  RunHost& host);

    // Called with "Converting Table: <name>" as each table starts.
    std::function<void(const std::string&)> onStatus;
    // Called once the target database is settled and the run begins (the
    // page disables its navigation then).
    std::function<void()> onStarted;

    size_t batchBytes = 4 << 20;
    // Send rows with LOAD DATA LOCAL INFILE where the table can roll a
    // batch back; off, or when the server refuses it, multi-row INSERTs.
    bool useLoadData = true;
    std::chrono::milliseconds keepAliveInterval{50};
    // Once every table's rows are in: relationships as foreign keys, saved
    // select queries as views (column rules are always carried).
    bool carryForeignKeys = true;
    bool carryViews = true;

    // The whole run.
    RunOutcome convert(const TargetChoice& target);

    // Creates or picks the target database and selects it; false when the
    // run may not start (the reason was shown).
    bool prepareTargetDatabase(const TargetChoice& target);

    int64_t refusedRows() const { return refusedRows_; }
    const std::string& failure() const { return failure_; }  // why a Failed run stopped

private:
    enum class Step { Next, Stop, Cancelled, CancelledAtQuestion };
    bool checkError();  // shows the error description; true when there was one
    Step convertTable(size_t i);
    Step copyRows(TableDefinition& table);
    BatchTarget batchTarget(const TableDefinition& table, const SourceRows& rows);
    // The table's copy stopped part-way: not listed as converted, named apart.
    void cutShort(TableDefinition& table, const std::string& reason);
    // The table's transaction is gone with its rows: none of them count.
    void forgetStoredRows();
    // Commits the table's transaction, making sure the server kept it open.
    void commitTable(BatchServer& server);
    // What the batches of the table being copied report.
    void stored(int64_t rows) override;
    void refused(int64_t record, const std::string& reason) override;
    int64_t storedSoFar() const override { return storedInTable_; }
    void rolledBack(const std::string& reason) override;
    void tick(bool force = false);
    void setProgress(int64_t done, int64_t total);
    void say(const std::string& text);
    bool tableIsTransactional(const std::string& mysqlTable);
    size_t packetLimit();  // the server's max_allowed_packet; 0 when unknown
    // Each attachment or multi-value column of a table just made becomes a
    // child table named after table and column: the parent's primary key
    // (or, without one, the parent row's place in the Access table as
    // RowNumber), then the file's FileName, FileType and FileData (its bytes
    // as LONGBLOB), or the one Value; a row per file or value. Each is listed
    // with the things carried beside the tables; what fails is named.
    void carryComplexColumns(const TableDefinition& table);
    void createTable(const std::string& sql);
    // The table's CREATE TABLE from its definition as read (asRead), without
    // defaults when the server refuses one; what it changed goes to notes.
    void createTableOf(TableDefinition& table, const TableDefinition& asRead, std::vector<NotCarriedItem>& notes);

    ConversionSession& s_;
    MYSQL_CONNECTION& mysql_;
    AccessSource& source_;
    RunHost& host_;
    int64_t progressCount_ = 0;
    int64_t refusedRows_ = 0;
    int lastPercent_ = -1;
    bool loadData_ = true;
    std::string failure_;
    ServerFeatures server_;
    TableDefinition* copying_ = nullptr;  // the table whose rows are being copied
    int64_t storedInTable_ = 0;           // its rows stored so far
    std::string undone_;                  // why the server undid them, when it did
    std::chrono::steady_clock::time_point lastTick_{};
};

}  // namespace veltrano::tomysql
