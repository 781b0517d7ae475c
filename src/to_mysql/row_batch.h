// Rows of one table sent to the server in batches, and what a refused batch
// falls back to.
//
// An InsertBatch sends its rows as one multi-row INSERT; a LoadDataBatch as
// one LOAD DATA LOCAL INFILE behind a savepoint of the transaction its caller
// holds open for the whole table, and it returns while the server loads them
// so that the next batch is built meanwhile. When the server refuses a batch
// (or, for LOAD DATA, warns about any row of it), the batch is undone and its
// rows are sent again one INSERT per row, so that exactly the rows a
// row-at-a-time copy would store are stored and each refused row is named
// with its record number and the server's reason. A row whose statement
// alone would pass the server's packet limit is refused before anything is
// sent, with a reason that names the setting.
//
// Batches talk to the server through BatchServer, so that the fallback can be
// checked against a stand-in that refuses what a test chooses.
#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "to_mysql/access_source.h"
#include "to_mysql/value_text.h"

namespace veltrano::tomysql {

class BatchServer {
public:
    virtual ~BatchServer() = default;
    // Runs a statement; the server's error number, 0 on success.
    virtual int32_t execute(const std::string& sql) = 0;
    // LOAD DATA LOCAL INFILE with `tail` over `data`: the error number; on
    // success the affected rows and the server's info text.
    virtual int32_t loadLocal(const std::string& tail, const std::string& data, int64_t& loaded,
                              std::string& info) = 0;
    virtual std::string errorText() const = 0;  // of the last failure
    virtual bool connectionLost() const = 0;
    // Rows now in the table; -1 when the count cannot be read.
    virtual int64_t countRows(const std::string& quotedTable) = 0;
    // Whether the last statement that succeeded left a transaction open.
    virtual bool inTransaction() const = 0;
};

// Told what became of each queued row.
class BatchListener {
public:
    virtual ~BatchListener() = default;
    virtual void stored(int64_t rows) = 0;
    virtual void refused(int64_t record, const std::string& reason) = 0;
    // Rows of this table stored so far in the run.
    virtual int64_t storedSoFar() const = 0;
    // The server undid the whole transaction, so every row reported stored
    // in it is gone; nothing more is sent.
    virtual void rolledBack(const std::string& reason) = 0;
};

// The table the rows go to and how its values are written.
struct BatchTarget {
    std::string table;                // the MySQL table's name
    std::string quotedTable;          // `name`
    bool transactional = true;        // a refused statement leaves no row behind
    size_t packetLimit = 0;           // the server's max_allowed_packet; 0 when unknown
    std::vector<ValueForm> forms;     // by target column
    std::vector<size_t> sourceField;  // source field of each target column; SIZE_MAX: none (NULL)
    std::vector<std::string> columnNames;  // of the target columns, for refusals
};

// Why a row too big for one statement is refused.
std::string packetRefusal(size_t statementBytes, size_t packetLimit);

// Rows as spans of one text (statement or LOAD DATA lines).
struct RowTexts {
    std::string text;
    std::vector<std::pair<size_t, size_t>> spans;  // each row's text
    std::vector<int64_t> records;                  // each row's record number

    std::string_view row(size_t j) const {
        return std::string_view(text).substr(spans[j].first, spans[j].second - spans[j].first);
    }
    void clear() {
        text.clear();
        spans.clear();
        records.clear();
    }
};

// What both batches hold: where the rows go, and the queued rows.
class QueuedRows {
public:
    bool empty() const { return queued_.records.empty(); }
    size_t bytes() const { return queued_.text.size(); }

protected:
    QueuedRows(BatchServer& server, BatchListener& listener, const BatchTarget& target)
        : server_(server), listener_(listener), target_(target) {}

    BatchServer& server_;
    BatchListener& listener_;
    const BatchTarget& target_;
    RowTexts queued_;
};

class InsertBatch : public QueuedRows {
public:
    InsertBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target);

    // Queues a row; a row too big for any statement is refused at once.
    void add(int64_t record, const SourceRows& row);
    // Queues a row given by its field texts (nullopt: NULL).
    void addFields(int64_t record, const std::vector<std::optional<std::string>>& fields);
    // Sends the queued rows, falling back to one statement per row.
    void send();

private:
    void queue(int64_t record, const std::string& rowText);
    void sendOneByOne(size_t from);

    std::string prefix_;
    std::string row_;
};

// Runs inside a transaction the caller opens before the first batch and
// commits after flush(): the server talks to one thread at a time, so
// between send() and flush() the caller leaves the server alone.
class LoadDataBatch : public QueuedRows {
public:
    LoadDataBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target);
    ~LoadDataBatch();

    void add(int64_t record, const SourceRows& row);
    // Settles the rows handed over before (stored, or sent again row by
    // row), then hands the queued rows to the server and returns while it
    // loads them.
    void send();
    // Sends what is queued and settles everything.
    void flush();
    // The server would not take LOAD DATA at all (local_infile off): the
    // batch went as INSERTs, and later ones should too.
    bool refusedOutright() const { return refusedOutright_; }
    // Seen while settling; rows queued after it are dropped.
    bool connectionLost() const { return lost_; }
    bool rolledBack() const { return rolledBack_; }

private:
    struct Loaded {
        int32_t error = 0;
        bool loadRefused = false;  // the LOAD DATA statement itself failed
        int64_t rows = -1;
        std::string info;
        std::string errorText;
    };
    void settle();
    void sendAsInserts(const RowTexts& rows);

    std::string tail_;
    std::string field_;
    bool refusedOutright_ = false;
    bool lost_ = false;
    bool rolledBack_ = false;
    RowTexts loading_;                // the rows the server is loading
    std::future<Loaded> loaded_;      // what it made of them
};

}  // namespace veltrano::tomysql
