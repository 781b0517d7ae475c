// Rows of one table sent to the server in batches, and what a refused batch
// falls back to.
//
// An InsertBatch sends its rows as one multi-row INSERT; a LoadDataBatch as
// one LOAD DATA LOCAL INFILE inside a transaction. When the server refuses a
// batch (or, for LOAD DATA, warns about any row of it), the batch is undone
// and its rows are sent again one INSERT per row, so that exactly the rows a
// row-at-a-time copy would store are stored and each refused row is named
// with its record number and the server's reason. A row whose statement
// alone would pass the server's packet limit is refused before anything is
// sent, with a reason that names the setting.
//
// Batches talk to the server through BatchServer, so that the fallback can be
// checked against a stand-in that refuses what a test chooses.
#pragma once

#include <cstdint>
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
};

// Told what became of each queued row.
class BatchListener {
public:
    virtual ~BatchListener() = default;
    virtual void stored(int64_t rows) = 0;
    virtual void refused(int64_t record, const std::string& reason) = 0;
    // Rows of this table stored so far in the run.
    virtual int64_t storedSoFar() const = 0;
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

// What both batches hold: where the rows go, and the queued rows as spans
// of one text (statement or LOAD DATA lines).
class QueuedRows {
public:
    bool empty() const { return records_.empty(); }
    size_t bytes() const { return text_.size(); }

protected:
    QueuedRows(BatchServer& server, BatchListener& listener, const BatchTarget& target)
        : server_(server), listener_(listener), target_(target) {}
    std::string_view queued(size_t j) const {
        return std::string_view(text_).substr(spans_[j].first, spans_[j].second - spans_[j].first);
    }

    BatchServer& server_;
    BatchListener& listener_;
    const BatchTarget& target_;
    std::string text_;
    std::vector<std::pair<size_t, size_t>> spans_;  // each queued row's text
    std::vector<int64_t> records_;                  // each queued row's record number
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

class LoadDataBatch : public QueuedRows {
public:
    LoadDataBatch(BatchServer& server, BatchListener& listener, const BatchTarget& target);

    void add(int64_t record, const SourceRows& row);
    void send();
    // The server would not take LOAD DATA at all (local_infile off): the
    // batch went as INSERTs, and later ones should too.
    bool refusedOutright() const { return refusedOutright_; }

private:
    std::string tail_;
    std::string field_;
    bool refusedOutright_ = false;
};

}  // namespace veltrano::tomysql
