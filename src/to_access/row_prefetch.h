// Reading a MySQL result on a worker thread, a few batches of rows ahead of
// the code that stores them in an Access table.
//
// Copying a table is two jobs of similar cost: taking rows off the wire and
// converting their values, and storing them in the Access file. Run one
// after the other they add up; here the worker fetches and converts (date
// texts into dates, then every value into its field's stored form through
// Appender::prepare) while the caller's thread stores, and the bounded
// queue between them keeps memory to a few batches whatever the size of the
// table.
//
// The stream's connection belongs to the worker from the constructor until
// stop() or the destructor returns; errors stay in the connection's Error
// as usual and may be read after that.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "access/write/writer.h"
#include "common/field_value.h"
#include "mysql/mysql_stream.h"

namespace veltrano {

class RowPrefetch {
public:
    struct Row {
        std::vector<access::PreparedValue> values;  // fields 0.. in order
        int64_t recordNumber = 0;  // 1-based position of the row in the source
        bool refused = false;  // a field refused its value: the row cannot be stored
        std::string reason;    // ... and why
    };

    enum class Fetch { Row, End, Waiting };

    // Reads `fieldCount` fields of every row of the open `rows` and prepares
    // them for `target`; fields whose isDate flag is set go through
    // date_change first. `target` must stay open and in place until stop().
    RowPrefetch(MYSQL_STREAM& rows, int fieldCount, std::vector<bool> isDate, const access::Appender& target);
    ~RowPrefetch();
    RowPrefetch(const RowPrefetch&) = delete;
    RowPrefetch& operator=(const RowPrefetch&) = delete;

    // Steps to the next row: Row, or End at the end of the rows or when the
    // read broke off, or Waiting when no row came within `patience` (the
    // server is slow; the caller may look at Cancel and try again).
    Fetch next(std::chrono::milliseconds patience);
    // Whether the worker has stopped reading (end of rows, broken read, stop).
    bool readingDone();
    // REQUIRES: next() returned true. Valid until the next call of next();
    // the caller may take the values' memory (Appender::appendPrepared).
    Row& row() { return current_[at_]; }

    // Ends the read early and waits for the worker.
    void stop();

private:
    static constexpr size_t kBatchRows = 512;
    static constexpr size_t kBatchesAhead = 4;

    void work();

    MYSQL_STREAM& rows_;
    const int fieldCount_;
    const std::vector<bool> isDate_;
    const access::Appender& target_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Row>> ready_;  // guarded by mutex_
    // Batches the reader is done with, filled again by the worker: their
    // rows' memory is reused (the reader exchanges the values' buffers with
    // the table's own, so buffers pass between the two threads). Guarded by
    // mutex_.
    std::vector<std::vector<Row>> spent_;
    bool finished_ = false;                // guarded by mutex_: the worker is done
    bool stopping_ = false;                // guarded by mutex_: the reader wants no more

    std::vector<Row> current_;  // the batch being handed out
    size_t at_ = 0;
    bool started_ = false;
    std::thread worker_;
};

}  // namespace veltrano
