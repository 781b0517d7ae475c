#include "to_mysql/conversion_run.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_mysql/schema_extras.h"
#include "to_mysql/row_batch.h"
#include "to_mysql/unique_text_keys.h"
#include "to_mysql/value_text.h"
#include "common/names.h"

namespace veltrano::tomysql {

namespace {

constexpr int32_t kErrDatabaseExists = 1007;
constexpr int32_t kErrTableExists = 1050;
constexpr int32_t kErrRowTooLarge = 1118;
// Bytes of rows in the first batch of a table.
constexpr size_t kFirstBatchBytes = 64 << 10;

std::string backticked(const std::string& name) {
    std::string out = "`";
    for (char ch : name) {
        if (ch == '`') out += '`';
        out += ch;
    }
    return out + "`";
}

// First value of the first row of a query, "" when there is none.
std::string scalar(MYSQL_CONNECTION& mysql, const std::string& sql) {
    auto rs = mysql.Execute(sql);
    if (mysql.Error().Number() != 0 || rs->State() != 0 || rs->RecordCount() < 1) return {};
    rs->MoveFirst();
    FieldValue v = rs->Fields(0).Value();
    return v.isText() ? v.asText() : std::string();
}

}  // namespace

access::Status buildDefinitions(ConversionSession& s, AccessSource& source, const std::vector<std::string>& selected,
                                const std::function<void()>& keepAlive) {
    access::Status first;
    s.tables.assign(selected.size(), TableDefinition{});
    s.totalRecords = 0;
    const TypeNames& typeNames = s.typeNames;  // read by page 1 from the provider
    for (size_t i = 0; i < selected.size(); ++i) {
        if (keepAlive) keepAlive();
        TableSchema schema;
        if (access::Status st = source.readSchema(selected[i], schema); !st.isOk()) {
            if (first.isOk()) first = st;
            schema = TableSchema{};
            schema.name = selected[i];
        }
        s.tables[i] = buildTableDefinition(schema, typeNames, s.convertSpaces);
        // Named with the table's other changes once it is made: the run
        // starts its report afresh, and a skipped table carries nothing.
        for (const auto& [item, reason] : schema.notCarried) s.tables[i].changes.push_back({schema.name, item, reason});
    }
    for (auto& t : s.tables) {
        auto n = source.countRows(t.name);
        if (!n.isOk() && first.isOk()) first = n.status();
        t.recordCount = n.isOk() && *n > 0 ? *n : 0;
        s.totalRecords += t.recordCount;
    }
    return first;
}

ServerFeatures serverFeatures(const std::string& version) {
    ServerFeatures f;
    int major = 0, minor = 0, patch = 0;
    if (std::sscanf(version.c_str(), "%d.%d.%d", &major, &minor, &patch) < 2) return f;
    const long v = major * 10000L + minor * 100L + patch;
    // MariaDB takes expressions as defaults from 10.2.1, MySQL from 8.0.13.
    f.expressionDefaults = version.find("MariaDB") != std::string::npos ? v >= 100201 : v >= 80013;
    return f;
}

bool isDefaultRefusal(int32_t n) {
    // 1067 invalid default value, 1101 BLOB/TEXT can't have a default,
    // 1064 syntax (an older server reading an expression default).
    return n == 1067 || n == 1101 || n == 1064;
}

bool isConnectionLost(int32_t n) {
    // 2006 gone away, 2013 lost during query, 2055 lost at handshake/reading,
    // 1927 connection killed, 1053 server shutdown, 4031 idle timeout.
    return n == 2006 || n == 2013 || n == 2055 || n == 1927 || n == 1053 || n == 4031;
}

ConversionRun::ConversionRun(ConversionSession& session, MYSQL_CONNECTION& mysql,
                             AccessSource& source, RunHost& host)
    : s_(session), mysql_(mysql), source_(source), host_(host) {}

void ConversionRun::say(const std::string& text) { host_.ask(text, kSetOk, kExclamation); }

bool ConversionRun::checkError() {
    if (mysql_.Error().Number() == 0) return false;
    say(mysql_.Error().Description());
    return true;
}

void ConversionRun::setProgress(int64_t done, int64_t total) {
    if (total <= 0) return;
    // A count taken before the run may be short: the bar never passes 100.
    if (done > total) return;
    int percent = static_cast<int>(done * 100 / total);
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        host_.progress(percent);
    }
}

void ConversionRun::tick(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && now - lastTick_ < keepAliveInterval) return;
    lastTick_ = now;
    setProgress(progressCount_, s_.totalRecords);
    host_.keepAlive();
}

bool ConversionRun::prepareTargetDatabase(const TargetChoice& target) {
    if (target.append) {
        if (target.existingName == kSelectDatabasePrompt) {
            say("Please select a database from the list or type it.");
            return false;
        }
        s_.targetDatabase = mysqlName(target.existingName, s_.convertSpaces);
        s_.appending = true;
    } else {
        if (!target.newName.empty()) s_.targetDatabase = target.newName;
        if (s_.convertSpaces) s_.targetDatabase = cleanName(s_.targetDatabase);
        // New databases hold Unicode whatever the server's default is.
        const std::string create =
            "CREATE DATABASE " + backticked(s_.targetDatabase) + " DEFAULT CHARACTER SET utf8mb4";
        mysql_.Execute(create);
        s_.appending = false;
        if (mysql_.Error().Number() == kErrDatabaseExists) {
            if (host_.ask("Database already exists, Do you want to overwrite it ?", kSetYesNo, kQuestion) !=
                kYes)
                return false;
            host_.keepAlive();
            mysql_.Execute("drop database " + backticked(s_.targetDatabase));
            if (checkError()) return false;
            mysql_.Execute(create);
        }
    }
    mysql_.Execute("USE " + backticked(s_.targetDatabase));
    return !checkError();
}

RunOutcome ConversionRun::convert(const TargetChoice& target) {
    s_.convertedRecords = 0;
    s_.refusedRecords = 0;
    s_.startTime = std::chrono::system_clock::now();
    mysql_.Error().Clear();
    progressCount_ = 0;
    loadData_ = useLoadData;
    refusedRows_ = 0;
    failure_.clear();
    s_.notCarried.clear();
    s_.refusedRows.clear();
    s_.partialTables.clear();

    if (!prepareTargetDatabase(target)) return RunOutcome::NotStarted;
    server_ = serverFeatures(scalar(mysql_, "SELECT VERSION()"));
    mysql_.Error().Clear();
    if (onStarted) onStarted();
    host_.progress(0);
    lastPercent_ = 0;
    if (checkError()) return RunOutcome::Failed;
    if (s_.sourceEmpty) {
        host_.progress(100);
        return RunOutcome::SourceEmpty;
    }
    mysql_.Execute("USE " + backticked(s_.targetDatabase));

    for (size_t i = 0; i < s_.tables.size(); ++i) {
        Step step = convertTable(i);
        if (step == Step::Stop) return RunOutcome::Failed;
        if (step == Step::Cancelled) return RunOutcome::Cancelled;
        if (step == Step::CancelledAtQuestion) return RunOutcome::CancelledAtQuestion;
        if (host_.cancelRequested()) return RunOutcome::Cancelled;
    }
    carrySchemaExtras(s_, mysql_, source_, {carryForeignKeys, carryViews});
    return RunOutcome::Completed;
}

ConversionRun::Step ConversionRun::convertTable(size_t i) {
    TableDefinition& table = s_.tables[i];
    if (onStatus) onStatus("Converting Table: " + table.name);
    const TableDefinition asRead = table;
    std::vector<NotCarriedItem> notes;
    const std::string mysqlTable = mysqlName(table.name, s_.convertSpaces);
    createTableOf(table, asRead, notes);

    bool skip = false;
    if (mysql_.Error().Number() == kErrTableExists) {
        bool replace = false;
        if (s_.skipAllExisting) {
            skip = true;
        } else if (s_.overwriteAllExisting) {
            replace = true;
        } else {
            int answer = host_.ask("Table \"" + table.name + " \" already exists.", kSetTableExists, kQuestion);
            switch (answer) {
                case kSkip: skip = true; break;
                case kSkipAll: s_.skipAllExisting = true; skip = true; break;
                case kOverwrite: replace = true; break;
                case kOverwriteAll: s_.overwriteAllExisting = true; replace = true; break;
                case kCancel: return Step::CancelledAtQuestion;
                default: break;  // closed: reported below as a failed creation
            }
        }
        if (replace) {
            mysql_.Execute("drop table " + backticked(mysqlTable) + ";");
            if (checkError()) {
                failure_ = "could not drop table " + mysqlTable;
                return Step::Stop;
            }
            createTableOf(table, asRead, notes);
        }
    }
    if (!skip) {
        if (checkError()) {
            failure_ = "An error occurred while creating '" + table.name + "' table";
            say(failure_);
            return Step::Stop;
        }
        table.converted = true;
        if (!s_.definitionOnly) {
            Step step = copyRows(table);
            if (step != Step::Next) {
                s_.notCarried.insert(s_.notCarried.end(), notes.begin(), notes.end());
                return step;
            }
        }
        addUniqueTextKeys(mysql_, table, s_.convertSpaces, notes);
        s_.notCarried.insert(s_.notCarried.end(), notes.begin(), notes.end());
        carryComplexColumns(table);
    } else {
        mysql_.Error().Clear();
        progressCount_ += table.recordCount;
    }

    if (s_.definitionOnly) {
        host_.keepAlive();
        setProgress(static_cast<int64_t>(i + 1), static_cast<int64_t>(s_.tables.size()));
    } else {
        setProgress(progressCount_, s_.totalRecords);
    }
    return Step::Next;
}

void ConversionRun::createTableOf(TableDefinition& table, const TableDefinition& asRead,
                                  std::vector<NotCarriedItem>& notes) {
    table = asRead;
    notes = table.changes;
    createTable(withoutUniqueTextKeys(createTableStatement(table, s_.convertSpaces, &notes, server_), table));
    // A default the server will not take must not cost the table: it is
    // made again without defaults, each one named.
    if (!isDefaultRefusal(mysql_.Error().Number())) return;
    table = asRead;
    notes = table.changes;
    ServerFeatures bare = server_;
    bare.defaults = false;
    createTable(withoutUniqueTextKeys(createTableStatement(table, s_.convertSpaces, &notes, bare), table));
    for (const auto& c : asRead.columns)
        if (c.hasDefault && !c.defaultValue.empty())
            notes.push_back({table.name, "default of column " + c.name,
                             "left out: the server refused the default " + c.defaultValue});
}

void ConversionRun::createTable(const std::string& sql) {
    mysql_.Execute(sql);
    // Many text columns can exceed InnoDB's worst-case row size in utf8mb4
    // although no Access row can fill them that far (a Jet row holds at most
    // about 4 000 bytes). Without the strict check the table is created and
    // a row is refused only if it really is too large.
    if (mysql_.Error().Number() == kErrRowTooLarge) {
        mysql_.Execute("SET SESSION innodb_strict_mode = 0");
        mysql_.Execute(sql);
    }
}

bool ConversionRun::tableIsTransactional(const std::string& mysqlTable) {
    return scalar(mysql_,
                  "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
                  "ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = DATABASE() AND t.TABLE_NAME = " +
                      sqlTextLiteral(mysqlTable)) == "YES";
}

int32_t ConnectionServer::execute(const std::string& sql) {
    mysql_.Execute(sql);
    return mysql_.Error().Number();
}

int32_t ConnectionServer::loadLocal(const std::string& tail, const std::string& data, int64_t& loaded,
                                    std::string& info) {
    loaded = mysql_.LoadLocalData(tail, data);
    if (mysql_.Error().Number() == 0) info = mysql_.QueryInfo();
    return mysql_.Error().Number();
}

std::string ConnectionServer::errorText() const { return mysql_.Error().Description(); }

bool ConnectionServer::connectionLost() const {
    return isConnectionLost(mysql_.Error().Number()) || mysql_.State() != 0;
}

int64_t ConnectionServer::countRows(const std::string& quotedTable) {
    std::string c = scalar(mysql_, "SELECT COUNT(*) FROM " + quotedTable);
    return c.empty() ? -1 : std::atoll(c.c_str());
}

bool ConnectionServer::inTransaction() const { return mysql_.InTransaction(); }

void ConversionRun::stored(int64_t rows) {
    s_.convertedRecords += rows;
    storedInTable_ += rows;
}

void ConversionRun::rolledBack(const std::string& reason) {
    forgetStoredRows();
    undone_ = reason;
}

void ConversionRun::forgetStoredRows() {
    s_.convertedRecords -= storedInTable_;
    storedInTable_ = 0;
}

void ConversionRun::refused(int64_t record, const std::string& reason) {
    say(reason);
    say("Error populating '" + copying_->name + "' table, Record #" + std::to_string(record));
    ++refusedRows_;
    ++s_.refusedRecords;
    s_.refusedRows.push_back({copying_->name, record, reason});
}

BatchTarget ConversionRun::batchTarget(const TableDefinition& table, const SourceRows& rows) {
    BatchTarget target;
    target.table = mysqlName(table.name, s_.convertSpaces);
    target.quotedTable = backticked(target.table);
    // Source field of each column, found by name as the columns were listed.
    const auto& names = rows.columnNames();
    for (const auto& column : table.columns) {
        size_t field = SIZE_MAX;
        for (size_t f = 0; f < names.size() && field == SIZE_MAX; ++f)
            if (names[f] == column.name) field = f;
        for (size_t f = 0; f < names.size() && field == SIZE_MAX; ++f)
            if (namesEqual(names[f], column.name)) field = f;
        target.forms.push_back(valueFormFor(column.typeName));
        target.columnNames.push_back(column.name);
        target.sourceField.push_back(field);
    }
    // A non-transactional table keeps the rows of a refused batch that came
    // before the refused one; those are counted instead of sent again. Strict
    // mode must then stop at the first bad row for every row, not only the first.
    target.transactional = tableIsTransactional(mysqlName(table.name, s_.convertSpaces));
    if (!target.transactional) {
        std::string mode = scalar(mysql_, "SELECT @@SESSION.sql_mode");
        if (mode.find("STRICT_TRANS_TABLES") != std::string::npos &&
            mode.find("STRICT_ALL_TABLES") == std::string::npos)
            mysql_.Execute("SET SESSION sql_mode = CONCAT(@@SESSION.sql_mode, ',STRICT_ALL_TABLES')");
    }
    target.packetLimit = packetLimit();
    return target;
}

size_t ConversionRun::packetLimit() {
    size_t limit = 0;
    if (std::string p = scalar(mysql_, "SELECT @@max_allowed_packet"); !p.empty())
        limit = static_cast<size_t>(std::max(0LL, std::atoll(p.c_str())));
    mysql_.Error().Clear();
    return limit;
}

ConversionRun::Step ConversionRun::copyRows(TableDefinition& table) {
    auto opened = source_.openRows(table.name);
    if (!opened.isOk()) {
        say(opened.status().description());
        cutShort(table, opened.status().description());
        return Step::Next;
    }
    SourceRows& rows = *opened.value();
    copying_ = &table;
    storedInTable_ = 0;
    undone_.clear();
    const BatchTarget target = batchTarget(table, rows);
    // LOAD DATA LOCAL turns refusals into warnings, so it is used only where
    // a batch with any warning can be rolled back and sent again row by row.
    // Such a table gets one transaction for all its rows: a commit per batch
    // would make the server wait on its log for each.
    ConnectionServer server(mysql_);
    const bool oneTransaction = target.transactional;
    if (oneTransaction) server.execute("START TRANSACTION");
    InsertBatch inserts(server, *this, target);
    LoadDataBatch loads(server, *this, target);
    // A statement stays well under the server's packet limit. The first
    // batches are small, so that the server starts loading soon; each is
    // twice the one before up to the full size.
    size_t fullBatch = batchBytes;
    if (target.packetLimit > 4096) fullBatch = std::min(fullBatch, target.packetLimit / 4);
    size_t limit = std::min(fullBatch, kFirstBatchBytes);
    auto load = [&] { return target.transactional && loadData_; };
    // Asked only after a send: while LOAD DATA runs, the server is the
    // batch's alone.
    bool lost = server.connectionLost();
    auto send = [&] {
        if (!load()) {
            inserts.send();
            lost = server.connectionLost();
            return;
        }
        loads.send();
        lost = loads.connectionLost();
        if (loads.refusedOutright()) loadData_ = false;
    };

    // Date/Time Extended columns not yet found holding a time finer than DATETIME(6) keeps.
    std::vector<size_t> precise;
    for (size_t k = 0; k < target.forms.size(); ++k)
        if (target.forms[k] == ValueForm::PreciseDateTime && target.sourceField[k] != SIZE_MAX) precise.push_back(k);

    tick(true);
    int64_t record = 0;
    while (!lost && undone_.empty()) {
        if (host_.cancelRequested()) break;
        if (!rows.next()) break;
        ++record;
        for (size_t j = 0; j < precise.size(); ++j) {
            if (!hasSubMicrosecond(rows.value(target.sourceField[precise[j]]))) continue;
            s_.notCarried.push_back({table.name, "column " + table.columns[precise[j]].name,
                                     "times are cut to the microsecond: DATETIME(6) has no place for the "
                                     "seventh decimal digit of a second (units of 100 ns) that Access keeps"});
            precise.erase(precise.begin() + static_cast<std::ptrdiff_t>(j--));
        }
        if (load()) loads.add(record, rows);
        else inserts.add(record, rows);
        ++progressCount_;
        // The clock is read every few rows, and after each batch: a batch
        // of large rows fills quickly.
        if ((load() ? loads.bytes() : inserts.bytes()) >= limit) {
            send();
            limit = std::min(fullBatch, 2 * limit);
            tick();
        } else if (record % 32 == 0) {
            tick();
        }
    }
    // Rows read before a cancel are sent too, as a row-at-a-time copy
    // would have sent each of them before the cancel was noticed. Rows that
    // went to LOAD DATA are older than any queued as INSERTs.
    if (!lost && undone_.empty()) {
        loads.flush();
        lost = loads.connectionLost();
        if (!lost && undone_.empty()) {
            inserts.send();
            lost = server.connectionLost();
        }
    }
    if (oneTransaction && !lost && undone_.empty()) {
        commitTable(server);
        lost = server.connectionLost();
    }

    if (lost) {
        // What was not committed is gone with the connection.
        if (oneTransaction) forgetStoredRows();
        failure_ = "The connection to the MySQL server was lost while copying '" + table.name + "'";
        cutShort(table, "the connection to the MySQL server was lost");
        return Step::Stop;
    }
    if (!undone_.empty()) {
        say("The server undid the rows copied into '" + table.name + "': " + undone_);
        cutShort(table, "the server undid its rows: " + undone_);
        return Step::Next;
    }
    if (host_.cancelRequested()) {
        cutShort(table, "the run was cancelled");
        return Step::Cancelled;
    }
    if (access::Status st = rows.status(); !st.isOk()) {
        say(st.description());
        cutShort(table, "reading the Access table failed: " + st.description());
    }
    return Step::Next;
}

void ConversionRun::commitTable(BatchServer& server) {
    // A statement the server answered by rolling back the whole transaction
    // (a deadlock) leaves the session outside it, and COMMIT would then
    // succeed with the rows before it gone. Any statement that succeeds
    // tells from its status flags.
    if (server.execute("DO 0") == 0 && !server.inTransaction()) {
        rolledBack("the server ended the transaction holding them early (a deadlock or lock timeout)");
        return;
    }
    if (server.execute("COMMIT") != 0 && !server.connectionLost()) rolledBack(server.errorText());
}

void ConversionRun::cutShort(TableDefinition& table, const std::string& reason) {
    table.converted = false;
    s_.partialTables.push_back({table.name, storedInTable_, reason});
}

}  // namespace veltrano::tomysql
