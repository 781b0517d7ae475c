// veltrano-cli export FILE TABLE [--db-password PW]: one table as CSV.
//
// RFC 4180 with LF line ends: a header line of column names, fields quoted
// with " when they hold a comma, quote, CR or LF (quotes doubled). NULL is an
// empty unquoted field and an empty text is "" so the two stay apart. Values
// in the engine's canonical text form (see access/value.h).
#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

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

void writeField(std::string& out, std::string_view text, bool forceQuotes) {
    if (!forceQuotes && !needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The value's canonical text; the common kinds are written in place, not
// made as a string first (this runs for every cell).
void writeValue(std::string& out, const access::Value& v) {
    using K = access::ValueKind;
    switch (v.kind) {
        case K::Text: writeField(out, v.bytes, v.bytes.empty()); return;
        case K::Byte:
        case K::Integer:
        case K::Long:
        case K::BigInt: {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, v.integer);
            out.append(buf, r.ptr);
            return;
        }
        case K::DateTime: appendCalendarText(out, oleDateToCalendar(v.real)); return;
        default: writeField(out, access::canonicalText(v), false);
    }
}

bool flushOut(std::string& out) {
    bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    out.clear();
    return ok;
}

// Appends the CSV lines of the cursor's rows from here on; with `block`,
// writes them out whenever that many bytes have gathered. False when a
// write failed.
bool exportRows(access::TableCursor& cursor, std::string& out, size_t block = 0) {
    const size_t count = cursor.definition().columns.size();
    bool written = true;
    while (cursor.next()) {
        for (size_t i = 0; i < count; ++i) {
            if (i) out += ',';
            const access::Value& v = cursor.value(i);
            if (!v.isNull()) writeValue(out, v);
        }
        out += '\n';
        if (block > 0 && out.size() >= block) written = flushOut(out) && written;
    }
    return written;
}

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
            std::string text;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return done_.count(r) > 0 || !failure_.isOk(); });
                if (!failure_.isOk()) return failure_;
                text = std::move(done_[r]);
                done_.erase(r);
                written_ = r + 1;
            }
            changed_.notify_all();
            written = flushOut(text) && written;
        }
        return access::Status::ok();
    }

private:
    void work(unsigned first, unsigned step) {
        auto db = access::Database::open(path_, options_);
        auto cursor = db.isOk() ? (*db)->openCursor(table_) : access::Result<std::unique_ptr<access::TableCursor>>(db.status());
        if (!cursor.isOk()) return fail(cursor.status());
        const size_t ahead = 4 * static_cast<size_t>(step);
        for (size_t r = first; r < runs_.size(); r += step) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !failure_.isOk() || r < written_ + ahead; });
                if (stopping_ || !failure_.isOk()) return;
            }
            std::string text;
            (*cursor)->limitToPages(runs_[r]);
            exportRows(**cursor, text);
            if (!(*cursor)->status().isOk()) return fail((*cursor)->status());
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_[r] = std::move(text);
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
    std::map<size_t, std::string> done_;  // guarded by mutex_: finished runs not yet written
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

    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        writeField(out, columns[i].name, false);
    }
    out += '\n';
    bool written = flushOut(out);

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
        out.reserve(kBlock + 4096);
        written = exportRows(**cursor, out, kBlock) && written;
        written = flushOut(out) && written;
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
