// veltrano-cli export FILE TABLE [--db-password PW]: one table as CSV.
//
// RFC 4180 with LF line ends: a header line of column names, fields quoted
// with " when they hold a comma, quote, CR or LF (quotes doubled). NULL is an
// empty unquoted field and an empty text is "" so the two stay apart. Values
// in the engine's canonical text form (see access/value.h).
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "access/format/text.h"
#include "access/format/value.h"
#include "access/read/database.h"
#include "access/read/table.h"
#include "app/cli_access_file.h"
#include "common/field_value.h"

namespace veltrano::cli {

namespace {

bool needsQuotes(std::string_view text) {
    // Every byte that needs quotes is below '-' and one of four.
    for (char c : text)
        if (static_cast<unsigned char>(c) < '-' && (c == ',' || c == '"' || c == '\r' || c == '\n')) return true;
    return false;
}

// Whether any byte of the eight is `c` (exact: a borrow only runs on past
// a byte that already matched).
constexpr uint64_t hasByte(uint64_t eight, char c) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t v = eight ^ (kOnes * static_cast<unsigned char>(c));
    return (v - kOnes) & ~v & (kOnes << 7);
}

// needsQuotes of [begin, end) eight bytes at a time, for the texts of every
// row. REQUIRES: eight zero bytes follow `end` (zeros need no quotes).
bool needsQuotesPadded(const char* begin, const char* end) {
    for (const char* at = begin; at < end; at += 8) {
        uint64_t eight;
        std::memcpy(&eight, at, 8);
        if ((hasByte(eight, ',') | hasByte(eight, '"') | hasByte(eight, '\r') | hasByte(eight, '\n')) != 0) return true;
    }
    return false;
}

// Lines gathered for writing. Fields are written through a pointer once
// room is made for them: no bounds check per character and no zero fill,
// which a std::string would cost on every cell.
class LineBuffer {
public:
    // Room for `n` more chars at the returned pointer; setEnd() keeps what was written.
    char* room(size_t n) {
        if (capacity_ - size_ < n) grow(n);
        return data_.get() + size_;
    }
    void setEnd(char* end) { size_ = static_cast<size_t>(end - data_.get()); }
    void append(std::string_view text) { setEnd(std::copy(text.begin(), text.end(), room(text.size()))); }
    void append(char c) {
        *room(1) = c;
        ++size_;
    }
    size_t size() const { return size_; }
    // Writes the lines to standard output and empties the buffer, keeping
    // its memory. False when the write failed.
    bool flush() {
        if (size_ == 0) return true;
        const bool ok = std::fwrite(data_.get(), 1, size_, stdout) == size_;
        size_ = 0;
        return ok;
    }

private:
    void grow(size_t n) {
        const size_t capacity = std::max({2 * capacity_, size_ + n, size_t{1} << 16});
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        std::copy_n(data_.get(), size_, data.get());
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

void writeField(LineBuffer& out, std::string_view text, bool forceQuotes) {
    if (!forceQuotes && !needsQuotes(text)) {
        out.append(text);
        return;
    }
    char* w = out.room(2 * text.size() + 2);
    *w++ = '"';
    for (char c : text) {
        if (c == '"') *w++ = '"';
        *w++ = c;
    }
    *w++ = '"';
    out.setEnd(w);
}

// Writes the cursor's rows as CSV lines. Jet4 texts go from the row's
// stored bytes straight into the lines, and the common kinds of value are
// written in place, not made as a string first: this runs for every cell.
class RowWriter {
public:
    explicit RowWriter(access::TableCursor& cursor) : cursor_(cursor) {
        cursor.keepTextsStored();
        for (size_t i = 0; i < cursor.definition().columns.size(); ++i) textStored_.push_back(cursor.isTextStored(i));
    }

    // Appends the lines of the cursor's rows from here on; with `block`,
    // writes them out whenever that many bytes have gathered. False when a
    // write failed.
    bool writeRows(LineBuffer& out, size_t block = 0) {
        bool written = true;
        while (cursor_.next()) {
            for (size_t i = 0; i < textStored_.size(); ++i) {
                if (i) out.append(',');
                if (textStored_[i]) {
                    const access::Cell& cell = cursor_.cell(i);
                    if (!cell.isNull) writeStoredText(out, cell.data);
                    continue;
                }
                const access::Value& v = cursor_.value(i);
                if (!v.isNull()) writeValue(out, v);
            }
            out.append('\n');
            if (block > 0 && out.size() >= block) written = out.flush() && written;
        }
        return written;
    }

private:
    void writeValue(LineBuffer& out, const access::Value& v) {
        using K = access::ValueKind;
        switch (v.kind) {
            case K::Text: writeField(out, v.bytes, v.bytes.empty()); return;
            case K::Byte:
            case K::Integer:
            case K::Long:
            case K::BigInt: out.setEnd(writeDecimal(out.room(kDecimalRoom), static_cast<int64_t>(v.integer))); return;
            case K::Double: out.setEnd(access::writeShortestDouble(out.room(access::kShortestDoubleRoom), v.real)); return;
            case K::DateTime: out.setEnd(dates_.write(out.room(OleDateWriter::kRoom), v.real)); return;
            default: writeField(out, access::canonicalText(v), false);
        }
    }

    // An empty text is "" so that it stays apart from NULL.
    static void writeStoredText(LineBuffer& out, access::Bytes stored) {
        constexpr size_t kPad = 8;
        char* start = out.room(3 * stored.size() + kPad);
        char* end = access::writeJet4TextUtf8(start, stored);
        std::memset(end, 0, kPad);
        if (end != start && !needsQuotesPadded(start, end)) return out.setEnd(end);
        // Seldom: quoted out of a copy, as the quoted text is written over it.
        writeField(out, std::string(start, end), true);
    }

    access::TableCursor& cursor_;
    std::vector<uint8_t> textStored_;  // by column: 1 when written from the stored bytes
    OleDateWriter dates_;
};

// A large table is read by several threads, each with its own handle on the
// file, each turning runs of data pages into lines; the runs are written in
// page order, so the output is the same as one cursor's. Runs ahead of the
// writer are bounded, and so is memory.
class ParallelExport {
public:
    ParallelExport(std::string path, access::OpenOptions options, std::string table,
                   std::vector<std::vector<uint32_t>> runs, unsigned threads)
        : path_(std::move(path)), options_(std::move(options)), table_(std::move(table)), runs_(std::move(runs)) {
        for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this, t, threads] { work(t, threads); });
    }
    ~ParallelExport() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (auto& w : workers_) w.join();
    }

    // Writes every run to standard output in order; the first read failure
    // is returned, and `written` is false when a write failed.
    access::Status writeAll(bool& written) {
        for (size_t r = 0; r < runs_.size(); ++r) {
            LineBuffer lines;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return done_.count(r) > 0 || !failure_.isOk(); });
                if (!failure_.isOk()) return failure_;
                lines = std::move(done_[r]);
                done_.erase(r);
                written_ = r + 1;
            }
            changed_.notify_all();
            written = lines.flush() && written;
            std::lock_guard<std::mutex> lock(mutex_);
            spare_.push_back(std::move(lines));  // its memory serves a later run
        }
        return access::Status::ok();
    }

private:
    void work(unsigned first, unsigned step) {
        auto db = access::Database::open(path_, options_);
        auto cursor = db.isOk() ? (*db)->openCursor(table_) : access::Result<std::unique_ptr<access::TableCursor>>(db.status());
        if (!cursor.isOk()) return fail(cursor.status());
        RowWriter rows(**cursor);
        const size_t ahead = 4 * static_cast<size_t>(step);
        for (size_t r = first; r < runs_.size(); r += step) {
            LineBuffer lines;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !failure_.isOk() || r < written_ + ahead; });
                if (stopping_ || !failure_.isOk()) return;
                if (!spare_.empty()) {
                    lines = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            (*cursor)->limitToPages(runs_[r]);
            rows.writeRows(lines);
            if (!(*cursor)->status().isOk()) return fail((*cursor)->status());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_[r] = std::move(lines);
            }
            changed_.notify_all();
        }
    }
    void fail(const access::Status& s) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failure_.isOk()) failure_ = s;
        }
        changed_.notify_all();
    }

    const std::string path_;
    const access::OpenOptions options_;
    const std::string table_;
    const std::vector<std::vector<uint32_t>> runs_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<size_t, LineBuffer> done_;  // guarded by mutex_: finished runs not yet written
    std::vector<LineBuffer> spare_;      // guarded by mutex_: written runs' emptied buffers
    size_t written_ = 0;                  // guarded by mutex_: runs written so far
    bool stopping_ = false;               // guarded by mutex_
    access::Status failure_;              // guarded by mutex_
    std::vector<std::thread> workers_;
};

// Data pages per run a thread takes at a time.
constexpr size_t kPagesPerRun = 32;

int runExport(const std::vector<std::string>& args) {
    Options o = withAccessPassword(args, {}, {}, true);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 2) return fail(kExitUsage, "usage: export FILE TABLE [--db-password PW]");
    const std::string& path = o.positional()[0];
    const std::string& table = o.positional()[1];
    int code = kExitOk;
    access::OpenOptions options;
    auto db = openAccessFile(o, path, code, &options);
    if (!db) return code;
    auto cursor = db->openCursor(table);
    if (!cursor.isOk()) return fail(kExitFailure, fileError(path, cursor.status().toString()));
    const auto& columns = (*cursor)->definition().columns;

    LineBuffer out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out.append(',');
        writeField(out, columns[i].name, false);
    }
    out.append('\n');
    bool written = out.flush();

    auto pages = (*cursor)->dataPages();
    if (!pages.isOk()) return fail(kExitFailure, fileError(path, pages.status().toString()));
    const unsigned threads = std::min(4u, std::thread::hardware_concurrency());
    access::Status status;
    if (threads >= 2 && pages->size() >= 4 * kPagesPerRun) {
        std::vector<std::vector<uint32_t>> runs;
        for (size_t at = 0; at < pages->size(); at += kPagesPerRun)
            runs.emplace_back(pages->begin() + static_cast<std::ptrdiff_t>(at),
                              pages->begin() + static_cast<std::ptrdiff_t>(std::min(at + kPagesPerRun, pages->size())));
        ParallelExport parallel(path, options, table, std::move(runs), threads);
        status = parallel.writeAll(written);
    } else {
        constexpr size_t kBlock = 1 << 20;  // lines are written a block at a time
        written = RowWriter(**cursor).writeRows(out, kBlock) && written;
        written = out.flush() && written;
        status = (*cursor)->status();
    }
    written = std::fflush(stdout) == 0 && written;
    if (!status.isOk()) return fail(kExitFailure, fileError(path, status.toString()));
    if (!written) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"export", "export FILE TABLE [PASSWORD OPTION]   print one table as CSV",
                            &runExport, kReadingPasswordHelp}};

}  // namespace

}  // namespace veltrano::cli
