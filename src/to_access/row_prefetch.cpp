#include "to_access/row_prefetch.h"

#include <algorithm>

#include "to_access/date_change.h"

namespace veltrano {

RowPrefetch::RowPrefetch(MYSQL_STREAM& rows, int fieldCount, std::vector<bool> isDate, const access::Appender& target)
    : rows_(rows), fieldCount_(fieldCount < 0 ? 0 : fieldCount), isDate_(std::move(isDate)), target_(target) {
    worker_ = std::thread([this] { work(); });
}

RowPrefetch::~RowPrefetch() { stop(); }

void RowPrefetch::work() {
    // Batches come back from the reader and are filled again in place, so
    // their rows' memory is reused rather than freed and allocated per row.
    std::vector<Row> batch;
    size_t used = 0;
    std::vector<FieldValue> fields(static_cast<size_t>(std::max(fieldCount_, 0)));
    MySqlTimeParts parts;
    bool more = true;
    while (more) {
        more = rows_.Next();
        if (more) {
            if (used == batch.size()) batch.emplace_back();
            Row& r = batch[used++];
            r.recordNumber = rows_.RowNumber();
            r.refused = false;
            r.reason.clear();
            r.values.resize(static_cast<size_t>(fieldCount_));
            for (int j = 0; j < fieldCount_; ++j) {
                FieldValue& v = fields[static_cast<size_t>(j)];
                if (static_cast<size_t>(j) < isDate_.size() && isDate_[j]) {
                    if (rows_.TimeParts(j, parts)) {
                        v = date_change(parts);
                    } else {
                        rows_.ValueInto(j, v);
                        v = date_change(v);
                    }
                } else {
                    rows_.ValueInto(j, v);
                }
                access::Status prepared = target_.prepareInto(j, v, r.values[static_cast<size_t>(j)]);
                if (!prepared) {
                    r.refused = true;
                    // The reason names the field, unless the engine's words do already.
                    const std::string why = prepared.description();
                    const std::string field = "'" + target_.fieldName(j) + "'";
                    r.reason = why.find(field) == std::string::npos ? "field " + field + ": " + why : why;
                    break;
                }
            }
        }
        if (used == kBatchRows || (!more && used > 0)) {
            batch.resize(used);
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || ready_.size() < kBatchesAhead; });
            if (stopping_) break;
            ready_.push_back(std::move(batch));
            batch.clear();
            if (!spent_.empty()) {
                batch = std::move(spent_.back());
                spent_.pop_back();
            }
            used = 0;
            changed_.notify_all();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

RowPrefetch::Fetch RowPrefetch::next(std::chrono::milliseconds patience) {
    if (started_ && at_ + 1 < current_.size()) {
        ++at_;
        return Fetch::Row;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, patience, [this] { return !ready_.empty() || finished_; })) return Fetch::Waiting;
    started_ = true;
    if (ready_.empty()) {
        current_.clear();
        return Fetch::End;
    }
    if (!current_.empty()) spent_.push_back(std::move(current_));
    current_ = std::move(ready_.front());
    ready_.pop_front();
    at_ = 0;
    changed_.notify_all();
    return current_.empty() ? Fetch::End : Fetch::Row;
}

bool RowPrefetch::readingDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

void RowPrefetch::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (worker_.joinable()) worker_.join();
}

}  // namespace veltrano
