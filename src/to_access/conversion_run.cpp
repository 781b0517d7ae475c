#include "to_access/conversion_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "access/storage/journal.h"
#include "access/storage/lock_file.h"
#include "access/write/writer.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_stream.h"
#include "to_access/access_definitions.h"
#include "to_access/mysql_schema.h"
#include "to_access/row_prefetch.h"
#include "common/names.h"

namespace veltrano::toaccess {

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

ConversionRun::ConversionRun(ConversionSession& s, MYSQL_CONNECTION& source, RunHost& host)
    : s_(s), source_(source), host_(host) {}

RunOutcome ConversionRun::run(const RunOptions& options) {
    options_ = options;
    s_.convertedRecords = 0;
    s_.refusedRecords = 0;
    s_.startTime = std::chrono::system_clock::now();
    for (SourceTable& t : s_.sourceTables) {
        t.converted = false;
        t.refusedRecords = 0;
    }
    s_.notCarried.clear();
    s_.refusedRows.clear();
    s_.partialTables.clear();
    failedTables_.clear();
    pendingKeys_.clear();
    if (options_.newFile) {
        s_.destinationMode = 1;
        return createNew();
    }
    s_.destinationMode = 2;
    return appendTo();
}

bool ConversionRun::deleteExistingFile() {
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

// A new file is built under a temporary name beside the destination and
// takes the destination's name only once it is closed, so that a crash or a
// kill never leaves a half-written file under the user's name.
namespace {

std::string temporaryNameFor(const std::string& path) { return path + ".incomplete"; }

void removeWithCompanions(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"", "-journal", ".ldb"}) fs::remove(fs::path(path + suffix), ec);
}

}  // namespace

RunOutcome ConversionRun::createNew() {
    const std::string& path = s_.destinationPath;
    if (fileExists(path) && !deleteExistingFile()) return RunOutcome::Stopped;

    host_.keepAlive();
    host_.progress(0);
    const std::string temporary = temporaryNameFor(path);
    removeWithCompanions(temporary);  // left by a run that was killed
    // The wizard creates files without a password; the batch tool may give one.
    std::string password = options_.usePassword ? options_.password : std::string();
    if (access::Status st = access::createDatabase(temporary, password); !st) {
        removeWithCompanions(temporary);
        host_.ask(st.description(), kSetOk, kExclamation);
        return RunOutcome::Stopped;
    }
    access::WriteConnection db;
    if (access::Status st = db.open(temporary, password); !st) {
        removeWithCompanions(temporary);
        host_.ask(st.description(), kSetOk, kExclamation);
        return RunOutcome::Stopped;
    }
    RunOutcome outcome = copyTables(db, false);
    if (!finishNewFile(db, temporary) && outcome != RunOutcome::Stopped) outcome = RunOutcome::Failed;
    return outcome;
}

bool ConversionRun::finishNewFile(access::WriteConnection& db, const std::string& temporary) {
    const std::string& path = s_.destinationPath;
    access::Status closed = db.close();
    // A failed close leaves a journal beside the temporary file: rolling it
    // back gives the file as of its last completed table.
    // (Opening the store for writing rolls a journal it finds back.)
    if (!closed && !access::PageStore::open(temporary, false).isOk()) {
        s_.partialTables.push_back({"", 0, "the file could not be completed: " + closed.description()});
        return false;
    }
    std::error_code ec;
    // A journal beside the destination belongs to the file being replaced;
    // applied to the new one it would damage it.
    fs::remove(fs::path(path + "-journal"), ec);
    fs::rename(fs::path(temporary), fs::path(path), ec);
    if (ec) {
        s_.partialTables.push_back({"", 0, "the file could not be moved to " + path + ": " + ec.message()});
        return false;
    }
    return closed.isOk();
}

RunOutcome ConversionRun::appendTo() {
    const std::string& path = s_.destinationPath;
    if (!fileExists(path)) {
        host_.ask("specified Access file not found ", kSetOk, kExclamation);
        return RunOutcome::Stopped;
    }
    s_.overwriteAllExisting = false;
    s_.skipAllExisting = false;
    host_.progress(0);

    access::WriteConnection db;
    access::Status st = db.open(path, options_.usePassword ? options_.password : std::string());
    if (!st) {
        if (st.code() == access::kCodeWrongPassword) {
            host_.ask("Invalid Password ", kSetOk, kExclamation);
            return RunOutcome::WrongPassword;
        }
        if (st.category() == access::Category::InUse) {
            host_.ask("Could not use '" + s_.destinationFileName + "'; file already in use. ", kSetOk,
                      kExclamation);
        } else {
            host_.ask(st.description(), kSetOk, kExclamation);
        }
        return RunOutcome::Stopped;
    }
    return copyTables(db, true);
}

RunOutcome ConversionRun::copyTables(access::WriteConnection& db, bool appending) {
    RunOutcome outcome = RunOutcome::Finished;
    for (int64_t i = 0; i < s_.tableCount && i < static_cast<int64_t>(s_.sourceTables.size()); ++i) {
        Step step = convertTable(db, s_.sourceTables[i], appending);
        if (step == Step::Cancel) {
            outcome = RunOutcome::Cancelled;
            break;
        }
        if (step == Step::Stop) {
            outcome = RunOutcome::Stopped;
            break;
        }
        if (step == Step::Fail) {
            outcome = RunOutcome::Failed;
            break;
        }
        progressAfter(i);
    }
    if (!carryForeignKeys(db, outcome == RunOutcome::Finished)) outcome = RunOutcome::Failed;
    // A new file is closed by finishNewFile, which moves it into place.
    if (appending) (void)db.close();
    return outcome;
}

namespace {

std::string foreignKeyLabel(const ForeignKeyRule& k) {
    auto list = [](const std::vector<std::string>& names) {
        std::string out;
        for (const std::string& n : names) out += (out.empty() ? "" : ",") + n;
        return out;
    };
    return "foreign key " + k.name + " (" + list(k.columns) + ") to " + k.referencedTable + " (" + list(k.referencedColumns) + ")";
}

}  // namespace

// The foreign keys between converted tables become relationships, made once
// all rows are in so that Access checks every row against them. A key to a
// table that did not arrive, a rule Access has no form for, or a key the file
// refuses is named with the reason; only a failed write fails the run.
bool ConversionRun::carryForeignKeys(access::WriteConnection& db, bool tablesComplete) {
    for (const auto& [table, k] : pendingKeys_) {
        const std::string label = foreignKeyLabel(k);
        if (!tablesComplete) {
            s_.notCarried.push_back({table, label, "the conversion ended before relationships were made"});
            continue;
        }
        auto target = std::find_if(s_.sourceTables.begin(), s_.sourceTables.end(),
                                   [&](const SourceTable& t) { return t.name == k.referencedTable; });
        if (target == s_.sourceTables.end() || !target->converted) {
            s_.notCarried.push_back({table, label, "the table it refers to, " + k.referencedTable + ", was not converted"});
            continue;
        }
        // Access's own name (referenced table + referencing table): MySQL's
        // name is usually taken already by the index it made for the key.
        access::NewRelationship r;
        r.table = accessName(table);
        r.referencedTable = accessName(k.referencedTable);
        for (const std::string& c : k.columns) r.columns.push_back(accessName(c));
        for (const std::string& c : k.referencedColumns) r.referencedColumns.push_back(accessName(c));
        r.cascadeUpdate = k.onUpdate == "CASCADE";
        r.cascadeDelete = k.onDelete == "CASCADE";
        r.cascadeSetNull = k.onDelete == "SET NULL";
        auto made = db.addRelationship(r);
        if (!made) {
            s_.notCarried.push_back({table, label, "the Access file refused the relationship: " + made.status().description()});
            if (made.status().category() == access::Category::IoError) return false;
            continue;
        }
        // Access refuses a change of a referenced key that is in use, and a
        // delete of a referenced row, unless the relationship cascades.
        if (k.onUpdate == "SET NULL" || k.onUpdate == "SET DEFAULT")
            s_.notCarried.push_back({table, "ON UPDATE " + k.onUpdate + " of " + label,
                                     "Access has no such rule; relationship " + *made + " refuses the change instead"});
        if (k.onDelete == "SET DEFAULT")
            s_.notCarried.push_back({table, "ON DELETE SET DEFAULT of " + label,
                                     "Access has no such rule; relationship " + *made + " refuses the delete instead"});
    }
    pendingKeys_.clear();
    return true;
}

void ConversionRun::progressAfter(int64_t index) {
    if (s_.tableCount > 0) host_.progress(static_cast<int>((index + 1) * 100 / s_.tableCount));
}

ConversionRun::Step ConversionRun::convertTable(access::WriteConnection& db, SourceTable& t, bool appending) {
    host_.keepAlive();
    if (host_.cancelRequested()) return Step::Cancel;
    if (onStatus) onStatus("Converting Table: " + t.name);

    source_.Error().Clear();
    AccessTableStructure structure = read_table_structure(source_, s_.sourceDatabase, t.name);
    if (connectionLost(source_)) {
        host_.ask(source_.Error().Description(), kSetOk, kExclamation);
        return Step::Stop;
    }
    t.columnCount = static_cast<int64_t>(structure.columnDefinitions.size());
    std::string create = tableDefinitionText(t.name, structure.columnDefinitions);
    if (create.empty()) {
        // Nothing can be created; the report says why rather than a message.
        tableFailed(t, source_.Error().Number() != 0 ? "its columns could not be read: " + source_.Error().Description()
                                                     : "it has no columns");
        return Step::Next;
    }

    bool created = false;
    rules_ = readTableRules(source_, s_.sourceDatabase, t.name);
    access::Status st = createWithRules(db, create, t.name);
    if (st) {
        created = true;
    } else if (appending && st.code() == access::kCodeBadCommand &&
               accessTableExists(db, accessName(t.name))) {
        Step step = tableExists(db, t, create, created);
        if (step != Step::Next) return step;
        if (!created) return Step::Next;  // passed over by the answer
    } else if (appending && st.category() == access::Category::InUse) {
        host_.ask("Could not use '" + s_.destinationFileName + "'; file already in use. ", kSetOk,
                  kExclamation);
        return Step::Stop;
    }
    if (!created) {
        tableFailed(t, "the table could not be created: " + st.description());
        return st.category() == access::Category::IoError ? Step::Fail : Step::Next;
    }

    s_.notCarried.insert(s_.notCarried.end(), structure.notCarried.begin(), structure.notCarried.end());
    s_.notCarried.insert(s_.notCarried.end(), rules_.notCarried.begin(), rules_.notCarried.end());
    for (const std::string& index : structure.indexStatements) {
        if (index.empty()) continue;
        if (access::Status is = db.execute(index); !is) {
            s_.notCarried.push_back({t.name, index, is.description()});
            if (is.category() == access::Category::IoError) {
                tableFailed(t, is.description());
                return Step::Fail;
            }
        }
    }
    t.converted = true;
    for (ForeignKeyRule& k : rules_.foreignKeys) pendingKeys_.push_back({t.name, std::move(k)});
    if (options_.definitionsOnly) return Step::Next;
    return populate(db, t, structure.sourceColumns);
}

void ConversionRun::tableFailed(SourceTable& t, const std::string& reason) {
    t.converted = false;
    failedTables_.push_back(t.name);
    s_.notCarried.push_back({t.name, "table " + t.name, reason});
}

ConversionRun::Step ConversionRun::tableExists(access::WriteConnection& db, SourceTable& t,
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
    access::Status st = createWithRules(db, create, t.name);
    if (!st) {
        host_.ask(st.description(), kSetOk, kExclamation);
        return Step::Next;
    }
    created = true;
    return Step::Next;
}

// The table with its column rules as properties. Should the file refuse
// the properties, the table is made without them rather than lost.
access::Status ConversionRun::createWithRules(access::WriteConnection& db, const std::string& create,
                                              const std::string& table) {
    access::Status st = db.execute(create, rules_.properties);
    if (st || rules_.properties.empty() || accessTableExists(db, accessName(table))) return st;
    access::Status plain = db.execute(create);
    if (plain) rules_.notCarried.push_back({table, "column rules (Required, DefaultValue, Description, ValidationRule)",
                                            "the file refused them: " + st.description()});
    return plain;
}

bool ConversionRun::dropTable(access::WriteConnection& db, const std::string& table) {
    if (db.execute("DROP TABLE [" + table + "]")) return true;
    host_.ask("Can't Overwrite table '" + table + "'", kSetOk, kExclamation);
    return false;
}

// Copies the rows of one table, streaming them from the server so that a
// table of any size needs only one row in memory. The columns are selected
// by name, in the Access table's order. A row the Access table refuses (a
// value it cannot hold, a duplicate key) is left out and named; only stored
// rows count as converted. A failed write fails the table: the session is
// undone, nothing of the table counts, and the run stops.
ConversionRun::Step ConversionRun::populate(access::WriteConnection& db, SourceTable& t,
                                            const std::vector<std::string>& columns) {
    auto opened = db.openTableForAppend(accessName(t.name));
    if (!opened) {
        tableFailed(t, "its rows could not be added: " + opened.status().description());
        return opened.status().category() == access::Category::IoError ? Step::Fail : Step::Next;
    }
    access::Appender appender = std::move(opened).value();

    std::string select;
    for (const std::string& c : columns) select += (select.empty() ? "select " : ", ") + mysqlQuoted(c);
    select += " from " + mysqlQuoted(t.name);
    MYSQL_STREAM rows(source_);
    // Numbers go straight into fields that hold them as numbers; every other
    // value arrives as the text the server would print. A table the binary
    // read cannot give exactly is read as text.
    auto numberWanted = [&appender](int32_t j, const MySqlColumnInfo&) {
        switch (j < appender.fieldCount() ? appender.fieldType(j) : 0) {
            case access::provider_type::kBoolean: case access::provider_type::kUnsignedTinyInt:
            case access::provider_type::kSmallInt: case access::provider_type::kInteger:
            case access::provider_type::kSingle: case access::provider_type::kDouble:
                return true;
            default:
                return false;
        }
    };
    bool readable = rows.OpenBinary(select, numberWanted) || rows.Open(select);
    int count = static_cast<int>(
        std::min<int64_t>({t.columnCount, appender.fieldCount(), rows.FieldCount()}));
    std::vector<bool> isDate(static_cast<size_t>(std::max(count, 0)));
    for (int j = 0; j < count; ++j) isDate[j] = appender.fieldType(j) == access::provider_type::kDate;

    RowsStored copy;
    if (readable) copy = storeRows(rows, count, isDate, appender, t);
    const int64_t stored = copy.stored;
    const bool cancelled = copy.cancelled;
    std::string writeFailure = copy.writeFailure;
    bool readBroke = !cancelled && writeFailure.empty() && source_.Error().Number() != 0;
    std::string readError = source_.Error().Description();
    rows.Close();
    if (!readBroke) source_.Error().Clear();  // an ended query's error is ours, not the server's

    access::Status closed = appender.close();
    if (writeFailure.empty() && !closed) writeFailure = closed.description();
    if (!writeFailure.empty()) {
        // The table's rows are written as one unit: none of them was kept.
        s_.convertedRecords -= stored;
        t.converted = false;
        failedTables_.push_back(t.name);
        s_.partialTables.push_back({t.name, 0, writeFailure});
        return Step::Fail;
    }
    if (readBroke) {
        // The rows stored so far stay, but the table is not complete.
        t.converted = false;
        failedTables_.push_back(t.name);
        s_.partialTables.push_back({t.name, stored, readError});
        host_.ask(readError, kSetOk, kExclamation);
        return connectionLost(source_) ? Step::Stop : Step::Next;
    }
    if (cancelled) {
        t.converted = false;
        s_.partialTables.push_back({t.name, stored, "the conversion was cancelled"});
        return Step::Cancel;
    }
    return Step::Next;
}

// Stores the rows of the open `rows` through `appender` until the end, a
// cancel or a failed write; refused rows are named as they come.
ConversionRun::RowsStored ConversionRun::storeRows(MYSQL_STREAM& rows, int count, const std::vector<bool>& isDate,
                                                   access::Appender& appender, SourceTable& t) {
    RowsStored r;
    auto refuse = [&](int64_t record, const std::string& reason) {
        ++s_.refusedRecords;
        ++t.refusedRecords;
        s_.refusedRows.push_back({t.name, record, reason});
    };
    const int64_t sourceThread = source_.ThreadId();  // read before the worker owns the connection
    // The worker owns the connection until prefetch.stop().
    RowPrefetch prefetch(rows, count, isDate, appender);
    auto lastKeepAlive = std::chrono::steady_clock::now();
    int64_t sinceCheck = 0;
    for (;;) {
        RowPrefetch::Fetch fetched = prefetch.next(kRowPatience);
        if (fetched == RowPrefetch::Fetch::End) break;
        bool look = fetched == RowPrefetch::Fetch::Waiting;
        if (!look && ++sinceCheck == kRowsPerClockCheck) {
            sinceCheck = 0;
            look = std::chrono::steady_clock::now() - lastKeepAlive >= options_.keepAliveInterval;
        }
        if (look) {
            lastKeepAlive = std::chrono::steady_clock::now();
            host_.keepAlive();
            if (host_.cancelRequested()) {
                r.cancelled = true;
                break;
            }
        }
        if (fetched == RowPrefetch::Fetch::Waiting) continue;
        RowPrefetch::Row& row = prefetch.row();
        if (row.refused) {
            refuse(row.recordNumber, row.reason);
            continue;
        }
        access::Status st = appender.appendPrepared(row.values);
        if (st) {
            ++r.stored;
            ++s_.convertedRecords;  // kept current: a cancelled run's report reads it mid-table
        } else if (st.category() == access::Category::InvalidArgument) {
            refuse(row.recordNumber, st.description());  // this row only
        } else {
            r.writeFailure = st.description();  // the file itself
            break;
        }
    }
    if ((r.cancelled || !r.writeFailure.empty()) && !prefetch.readingDone()) endSourceQuery(sourceThread);
    prefetch.stop();
    return r;
}

void ConversionRun::endSourceQuery(int64_t threadId) {
    if (threadId <= 0) return;
    MYSQL_CONNECTION killer;
    killer.OpenConnection(source_.Hostname(), source_.Username(), source_.Password(), "", source_.Port(), 0);
    if (killer.State() == 0) killer.Execute("KILL QUERY " + std::to_string(threadId));
    killer.CloseConnection();
}

}  // namespace veltrano::toaccess
