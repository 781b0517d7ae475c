#include "to_access/tova_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "access/storage/lock_file.h"
#include "access/write/writer.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_stream.h"
#include "to_access/module1.h"
#include "to_access/mysql_schema.h"
#include "to_access/row_prefetch.h"
#include "common/names.h"

namespace veltrano {

namespace {

namespace fs = std::filesystem;

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

// Client-side error numbers (2000..2999) mean the link to the server is
// broken or was never there; every later statement would fail the same way.
bool connectionLost(const MYSQL_CONNECTION& c) {
    int32_t n = c.Error().Number();
    return n >= 2000 && n < 3000;
}

}  // namespace

bool accessTableExists(access::WriteConnection& db, const std::string& table) {
    for (const std::string& name : db.tableNames())
        if (namesEqual(name, table)) return true;
    return false;
}

std::string withRefusedRecords(const std::string& text, int64_t refused) {
    if (refused <= 0) return text;
    const std::string marker = "Total Converted Records: ";
    size_t at = text.find(marker);
    if (at == std::string::npos) return text;
    size_t lineEnd = text.find("\r\n", at);
    if (lineEnd == std::string::npos) return text;
    return text.substr(0, lineEnd + 2) + "Refused Records        : " + std::to_string(refused) +
           "  record(s)\r\n" + text.substr(lineEnd + 2);
}

TovaRun::TovaRun(ConversionSession& s, MYSQL_CONNECTION& source, RunHost& host)
    : s_(s), source_(source), host_(host) {}

TovaRunOutcome TovaRun::run(const TovaRunOptions& options) {
    options_ = options;
    s_.convertedRecords = 0;
    s_.refusedRecords = 0;
    s_.startTime = std::chrono::system_clock::now();
    for (SourceTable& t : s_.sourceTables) {
        t.converted = false;
        t.refusedRecords = 0;
    }
    if (options_.newFile) {
        s_.destinationMode = 1;
        return createNew();
    }
    s_.destinationMode = 2;
    return appendTo();
}

bool TovaRun::deleteExistingFile() {
    const std::string& path = s_.destinationPath;
    std::string question = s_.destinationFileName + "  already exists, do you want to overwrite it?";
    if (host_.ask(question, kSetYesNo, kQuestion) != kYes) return false;
    std::string inUse = "Can't overwrite '" + s_.destinationFileName + "'" +
                        ", File already in use by another application";
    if (!access::checkNotInUse(path)) {
        host_.ask(inUse, kSetOk, kExclamation);
        return false;
    }
    std::error_code ec;
    fs::remove(fs::path(path), ec);
    if (ec) {
        host_.ask(inUse, kSetOk, kExclamation);
        return false;
    }
    // The old file's unfinished-change journal must not be applied to the new one.
    fs::remove(fs::path(path + "-journal"), ec);
    return true;
}

TovaRunOutcome TovaRun::createNew() {
    const std::string& path = s_.destinationPath;
    if (fileExists(path) && !deleteExistingFile()) return TovaRunOutcome::Stopped;

    host_.keepAlive();
    host_.progress(0);
    // The wizard creates files without a password; the batch tool may give one.
    std::string password = options_.usePassword ? options_.password : std::string();
    if (access::Status st = access::createDatabase(path, password); !st) {
        host_.ask(st.description(), kSetOk, kExclamation);
        return TovaRunOutcome::Stopped;
    }
    access::WriteConnection db;
    if (access::Status st = db.open(path, password); !st) {
        host_.ask(st.description(), kSetOk, kExclamation);
        return TovaRunOutcome::Stopped;
    }
    return copyTables(db, false);
}

TovaRunOutcome TovaRun::appendTo() {
    const std::string& path = s_.destinationPath;
    if (!fileExists(path)) {
        host_.ask("specified Access file not found ", kSetOk, kExclamation);
        return TovaRunOutcome::Stopped;
    }
    s_.overwriteAllExisting = false;
    s_.skipAllExisting = false;
    host_.progress(0);

    access::WriteConnection db;
    access::Status st = db.open(path, options_.usePassword ? options_.password : std::string());
    if (!st) {
        if (st.code() == access::kCodeWrongPassword) {
            host_.ask("Invalid Password ", kSetOk, kExclamation);
            return TovaRunOutcome::WrongPassword;
        }
        if (st.category() == access::Category::InUse) {
            host_.ask("Could not use '" + s_.destinationFileName + "'; file already in use. ", kSetOk,
                      kExclamation);
        } else {
            host_.ask(st.description(), kSetOk, kExclamation);
        }
        return TovaRunOutcome::Stopped;
    }
    return copyTables(db, true);
}

TovaRunOutcome TovaRun::copyTables(access::WriteConnection& db, bool appending) {
    TovaRunOutcome outcome = TovaRunOutcome::Finished;
    for (int64_t i = 0; i < s_.tableCount && i < static_cast<int64_t>(s_.sourceTables.size()); ++i) {
        Step step = convertTable(db, s_.sourceTables[i], appending);
        if (step == Step::Cancel) {
            outcome = TovaRunOutcome::Cancelled;
            break;
        }
        if (step == Step::Stop) {
            outcome = TovaRunOutcome::Stopped;
            break;
        }
        progressAfter(i);
    }
    (void)db.close();
    return outcome;
}

void TovaRun::progressAfter(int64_t index) {
    if (s_.tableCount > 0) host_.progress(static_cast<int>((index + 1) * 100 / s_.tableCount));
}

TovaRun::Step TovaRun::convertTable(access::WriteConnection& db, SourceTable& t, bool appending) {
    host_.keepAlive();
    if (host_.cancelRequested()) return Step::Cancel;

    t.columnCount = count_columns(source_, s_.sourceDatabase, t.name, host_);
    if (connectionLost(source_)) return Step::Stop;
    AccessTableStructure structure = read_table_structure(source_, s_.sourceDatabase, t.name);
    if (connectionLost(source_)) {
        host_.ask(source_.Error().Description(), kSetOk, kExclamation);
        return Step::Stop;
    }
    // The count and the listing come from two queries; trust the listing.
    t.columnCount = static_cast<int64_t>(structure.columnDefinitions.size());
    std::string create = tableDefinitionText(t.name, structure.columnDefinitions);
    if (create.empty()) return Step::Next;  // no columns: nothing can be created

    bool created = false;
    access::Status st = db.execute(create);
    if (st) {
        created = true;
    } else if (appending && st.code() == access::kCodeBadCommand &&
               accessTableExists(db, accessName(t.name))) {
        Step step = tableExists(db, t, create, created);
        if (step != Step::Next) return step;
    } else if (appending && st.category() == access::Category::InUse) {
        host_.ask("Could not use '" + s_.destinationFileName + "'; file already in use. ", kSetOk,
                  kExclamation);
        return Step::Stop;
    } else {
        host_.ask(st.description(), kSetOk, kExclamation);
    }
    if (!created) return Step::Next;  // passed over: not converted, no rows

    for (const std::string& index : structure.indexStatements) {
        if (index.empty()) continue;
        if (access::Status is = db.execute(index); !is)
            host_.ask(is.description(), kSetOk, kExclamation);
    }
    t.converted = true;
    if (onStatus) onStatus("Converting Table: " + t.name);
    if (options_.definitionsOnly) return Step::Next;
    return populate(db, t);
}

TovaRun::Step TovaRun::tableExists(access::WriteConnection& db, SourceTable& t,
                                   const std::string& create, bool& created) {
    bool overwrite = false;
    if (s_.skipAllExisting) {
        overwrite = false;
    } else if (s_.overwriteAllExisting) {
        overwrite = true;
    } else {
        switch (host_.ask("Table '" + t.name + "' already exists.", kSetTableExists, kQuestion)) {
            case kSkip:
                break;
            case kSkipAll:
                s_.skipAllExisting = true;
                break;
            case kOverwrite:
                overwrite = true;
                break;
            case kOverwriteAll:
                s_.overwriteAllExisting = true;
                overwrite = true;
                break;
            case kCancel:
                return Step::Cancel;
            default:
                return Step::Stop;  // closed without an answer
        }
    }
    if (!overwrite || !dropTable(db, accessName(t.name))) return Step::Next;
    access::Status st = db.execute(create);
    if (!st) {
        host_.ask(st.description(), kSetOk, kExclamation);
        return Step::Next;
    }
    created = true;
    return Step::Next;
}

bool TovaRun::dropTable(access::WriteConnection& db, const std::string& table) {
    if (db.execute("DROP TABLE [" + table + "]")) return true;
    host_.ask("Can't Overwrite table '" + table + "'", kSetOk, kExclamation);
    return false;
}

// Copies the rows of one table, streaming them from the server so that a
// table of any size needs only one row in memory. A row the Access table
// refuses (a value it cannot hold, a duplicate key) is left out and counted
// as refused; only stored rows count as converted.
TovaRun::Step TovaRun::populate(access::WriteConnection& db, SourceTable& t) {
    auto opened = db.openTableForAppend(accessName(t.name));
    if (!opened) {
        host_.ask(opened.status().description(), kSetOk, kExclamation);
        t.converted = false;
        return Step::Next;
    }
    access::Appender appender = std::move(opened).value();

    MYSQL_STREAM rows(source_);
    bool readable = rows.Open("select * from " + mysqlQuoted(t.name));
    int count = static_cast<int>(
        std::min<int64_t>({t.columnCount, appender.fieldCount(), rows.FieldCount()}));
    std::vector<bool> isDate(static_cast<size_t>(std::max(count, 0)));
    for (int j = 0; j < count; ++j) isDate[j] = appender.fieldType(j) == access::provider_type::kDate;

    int64_t stored = 0, refused = 0;
    bool cancelled = false;
    if (readable) {
        // The worker owns the connection until prefetch.stop().
        RowPrefetch prefetch(rows, count, isDate, appender);
        auto lastKeepAlive = std::chrono::steady_clock::now();
        int64_t sinceCheck = 0;
        while (prefetch.next()) {
            if (++sinceCheck == kRowsPerClockCheck) {
                sinceCheck = 0;
                auto now = std::chrono::steady_clock::now();
                if (now - lastKeepAlive >= options_.keepAliveInterval) {
                    lastKeepAlive = now;
                    host_.keepAlive();
                    if (host_.cancelRequested()) {
                        cancelled = true;
                        break;
                    }
                }
            }
            const RowPrefetch::Row& row = prefetch.row();
            bool ok = !row.refused && static_cast<bool>(appender.addNew());
            for (size_t j = 0; ok && j < row.values.size(); ++j)
                ok = static_cast<bool>(appender.setPrepared(static_cast<int>(j), row.values[j]));
            if (ok) ok = static_cast<bool>(appender.update());
            if (ok) {
                ++stored;
                ++s_.convertedRecords;  // kept current: a cancelled run's report reads it mid-table
            } else {
                ++refused;
            }
        }
        prefetch.stop();
    }
    bool readBroke = source_.Error().Number() != 0;
    std::string readError = source_.Error().Description();
    rows.Close();

    access::Status closed = appender.close();
    if (!closed) {
        // The table's rows are written as one unit: none of them was kept.
        host_.ask(closed.description(), kSetOk, kExclamation);
        t.converted = false;
        s_.convertedRecords -= stored;
        refused += stored;
    }
    s_.refusedRecords += refused;
    t.refusedRecords += refused;

    if (readBroke) {
        // The rows stored so far stay, but the table is not complete.
        t.converted = false;
        host_.ask(readError, kSetOk, kExclamation);
        return connectionLost(source_) ? Step::Stop : Step::Next;
    }
    return cancelled ? Step::Cancel : Step::Next;
}

}  // namespace veltrano
