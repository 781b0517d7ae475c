#include "to_mysql/conversion_run.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_mysql/value_text.h"

namespace veltrano::tomysql {

namespace {

constexpr int32_t kErrDatabaseExists = 1007;
constexpr int32_t kErrTableExists = 1050;
constexpr int32_t kErrRowTooLarge = 1118;

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

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

void buildDefinitions(ConversionSession& s, AccessSource& source, const std::vector<std::string>& selected,
                      const std::function<void()>& keepAlive) {
    s.tables.assign(selected.size(), TableDefinition{});
    s.totalRecords = 0;
    const TypeNames& typeNames = s.typeNames;  // read by page 1 from the provider
    for (size_t i = 0; i < selected.size(); ++i) {
        if (keepAlive) keepAlive();
        TableSchema schema;
        std::string error;
        if (!source.readSchema(selected[i], schema, error)) {
            schema = TableSchema{};
            schema.name = selected[i];
        }
        s.tables[i] = buildTableDefinition(schema, typeNames, s.convertSpaces);
        for (const auto& [item, reason] : schema.notCarried) s.notCarried.push_back({schema.name, item, reason});
    }
    for (auto& t : s.tables) {
        std::string error;
        int64_t n = source.countRows(t.name, error);
        t.recordCount = n > 0 ? n : 0;
        s.totalRecords += t.recordCount;
    }
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

    if (!prepareTargetDatabase(target)) return RunOutcome::NotStarted;
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
    return RunOutcome::Completed;
}

ConversionRun::Step ConversionRun::convertTable(size_t i) {
    TableDefinition& table = s_.tables[i];
    if (onStatus) onStatus("Converting Table: " + table.name);
    const std::string createSql = createTableStatement(table, s_.convertSpaces);
    const std::string mysqlTable = mysqlName(table.name, s_.convertSpaces);
    createTable(createSql);

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
            createTable(createSql);
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
            if (step != Step::Next) return step;
        }
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

namespace {

// Splits one LOAD DATA line into its fields, undoing the escapes; a field
// that is exactly \N is NULL.
std::vector<std::optional<std::string>> splitLoadLine(std::string_view line) {
    std::vector<std::optional<std::string>> fields;
    std::string cur;
    bool null = false;
    auto finish = [&] {
        fields.push_back(null ? std::nullopt : std::optional<std::string>(cur));
        cur.clear();
        null = false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == kLoadDataFieldEnd) {
            finish();
        } else if (c == '\\' && i + 1 < line.size()) {
            char e = line[++i];
            switch (e) {
                case 't': cur += '\t'; break;
                case 'n': cur += '\n'; break;
                case 'r': cur += '\r'; break;
                case '0': cur += '\0'; break;
                case 'N': null = cur.empty(); break;
                default: cur += e;
            }
        } else {
            cur += c;
        }
    }
    finish();
    return fields;
}

// mysql_info of LOAD DATA: "Records: 3  Deleted: 0  Skipped: 0  Warnings: 0".
int64_t infoNumber(const std::string& info, const char* key) {
    size_t at = info.find(key);
    if (at == std::string::npos) return -1;
    return std::atoll(info.c_str() + at + std::strlen(key));
}

}  // namespace

ConversionRun::Step ConversionRun::copyRows(TableDefinition& table) {
    const std::string mysqlTable = mysqlName(table.name, s_.convertSpaces);
    const std::string prefix = "INSERT INTO " + backticked(mysqlTable) + " VALUES ( ";

    std::string error;
    std::unique_ptr<SourceRows> rows = source_.openRows(table.name, error);
    if (!rows) {
        say(error.empty() ? "Cannot read table '" + table.name + "'" : error);
        return Step::Next;
    }

    // Source field of each column, found by name as the columns were listed.
    const auto& names = rows->columnNames();
    const size_t columns = table.columns.size();
    std::vector<size_t> fieldOf(columns, SIZE_MAX);
    std::vector<ValueForm> forms(columns);
    for (size_t k = 0; k < columns; ++k) {
        forms[k] = valueFormFor(table.columns[k].typeName);
        for (size_t f = 0; f < names.size() && fieldOf[k] == SIZE_MAX; ++f)
            if (names[f] == table.columns[k].name) fieldOf[k] = f;
        for (size_t f = 0; f < names.size() && fieldOf[k] == SIZE_MAX; ++f)
            if (equalsNoCase(names[f], table.columns[k].name)) fieldOf[k] = f;
    }

    // A non-transactional table keeps the rows of a refused batch that came
    // before the refused one; those are counted instead of sent again. Strict
    // mode must then stop at the first bad row for every row, not only the first.
    const bool transactional = tableIsTransactional(mysqlTable);
    int64_t storedInTable = 0;
    if (!transactional) {
        std::string mode = scalar(mysql_, "SELECT @@SESSION.sql_mode");
        if (mode.find("STRICT_TRANS_TABLES") != std::string::npos &&
            mode.find("STRICT_ALL_TABLES") == std::string::npos)
            mysql_.Execute("SET SESSION sql_mode = CONCAT(@@SESSION.sql_mode, ',STRICT_ALL_TABLES')");
        mysql_.Error().Clear();
    }
    // LOAD DATA LOCAL turns refusals into warnings, so it is used only where
    // a batch with any warning can be rolled back and sent again row by row.
    const bool load = transactional && loadData_;
    const std::string loadTail = loadDataTail(mysqlTable);

    // A statement must stay under the server's packet limit.
    size_t limit = batchBytes;
    if (std::string p = scalar(mysql_, "SELECT @@max_allowed_packet"); !p.empty()) {
        size_t packet = static_cast<size_t>(std::max(0LL, std::atoll(p.c_str())));
        if (packet > 4096) limit = std::min(limit, packet / 4);
    }
    mysql_.Error().Clear();

    std::string sql = prefix;   // multi-row INSERT being built (INSERT mode)
    std::string data;           // LOAD DATA lines being built (LOAD mode)
    std::vector<std::pair<size_t, size_t>> rowText;  // each queued row's text in sql or data
    int64_t firstRecord = 1;                          // record number of the first queued row
    int64_t record = 0;
    bool lost = false;

    auto refuse = [&](int64_t r) {
        checkError();
        say("Error populating '" + table.name + "' table, Record #" + std::to_string(r));
        ++refusedRows_;
        ++s_.refusedRecords;
        if (isConnectionLost(mysql_.Error().Number()) || mysql_.State() != 0) {
            failure_ = "The connection to the MySQL server was lost while copying '" + table.name + "'";
            lost = true;
        }
    };
    auto gone = [&] { return isConnectionLost(mysql_.Error().Number()) || mysql_.State() != 0; };
    auto accept = [&](int64_t n) {
        s_.convertedRecords += n;
        storedInTable += n;
    };

    // Sends the queued INSERT rows: all at once, and when that is refused
    // one statement per row, exactly as a row-at-a-time copy sends them.
    auto flushInsert = [&]() {
        if (rowText.empty()) return;
        const size_t n = rowText.size();
        size_t from = 0;
        if (n > 1) {
            sql += " );";
            mysql_.Execute(sql);
            int32_t err = mysql_.Error().Number();
            if (err == 0) {
                accept(static_cast<int64_t>(n));
                from = n;
            } else if (gone()) {
                refuse(firstRecord);
                from = n;
            } else if (!transactional) {
                // Rows ahead of the refused one are already stored.
                std::string c = scalar(mysql_, "SELECT COUNT(*) FROM " + backticked(mysqlTable));
                int64_t kept = c.empty() ? 0 : std::atoll(c.c_str()) - storedInTable;
                from = static_cast<size_t>(std::clamp<int64_t>(kept, 0, static_cast<int64_t>(n)));
                accept(static_cast<int64_t>(from));
            }
        }
        std::string one;
        for (size_t j = from; j < n && !lost; ++j) {
            one.assign(prefix);
            one.append(sql, rowText[j].first, rowText[j].second - rowText[j].first);
            one += " );";
            mysql_.Execute(one);
            if (mysql_.Error().Number() == 0) accept(1);
            else refuse(firstRecord + static_cast<int64_t>(j));
        }
        sql.assign(prefix);
        rowText.clear();
    };

    // Re-queues the LOAD DATA lines as INSERT rows with the same values.
    auto loadToInsert = [&]() {
        std::vector<std::pair<size_t, size_t>> lines;
        lines.swap(rowText);
        sql.assign(prefix);
        for (size_t j = 0; j < lines.size(); ++j) {
            auto fields = splitLoadLine(std::string_view(data).substr(lines[j].first, lines[j].second - lines[j].first));
            if (j > 0) sql += " ),( ";
            size_t start = sql.size();
            for (size_t k = 0; k < columns; ++k) {
                if (k > 0) sql += ", ";
                if (k < fields.size() && fields[k]) appendLiteralOfField(sql, *fields[k], forms[k]);
                else sql += "NULL";
            }
            rowText.emplace_back(start, sql.size());
        }
        data.clear();
    };

    auto flushLoad = [&]() {
        if (rowText.empty()) return;
        const int64_t n = static_cast<int64_t>(rowText.size());
        mysql_.Execute("START TRANSACTION");
        int64_t loaded = mysql_.Error().Number() == 0 ? mysql_.LoadLocalData(loadTail, data) : -1;
        if (mysql_.Error().Number() == 0) {
            const std::string info = mysql_.QueryInfo();
            if (loaded == n && infoNumber(info, "Warnings:") == 0 && infoNumber(info, "Skipped:") == 0) {
                mysql_.Execute("COMMIT");
                if (mysql_.Error().Number() == 0) {
                    accept(n);
                    rowText.clear();
                    data.clear();
                    return;
                }
            }
        }
        if (gone()) {
            refuse(firstRecord);
            rowText.clear();
            data.clear();
            return;
        }
        const bool refusedOutright = mysql_.Error().Number() != 0;
        mysql_.Execute("ROLLBACK");
        // The server will not take LOAD DATA at all: INSERT from here on.
        if (refusedOutright) loadData_ = false;
        loadToInsert();
        flushInsert();
    };

    auto flush = [&]() {
        if (load) flushLoad();
        else flushInsert();
    };

    tick(true);
    std::string field;
    while (!lost) {
        if (host_.cancelRequested()) break;
        if (!rows->next()) break;
        ++record;
        if (rowText.empty()) firstRecord = record;
        size_t start;
        if (load) {
            start = data.size();
            for (size_t k = 0; k < columns; ++k) {
                if (k > 0) data += kLoadDataFieldEnd;
                field.clear();
                if (fieldOf[k] != SIZE_MAX && appendFieldText(field, rows->value(fieldOf[k]), forms[k]))
                    appendLoadDataValue(data, field);
                else
                    appendLoadDataNull(data);
            }
            rowText.emplace_back(start, data.size());
            data += kLoadDataRowEnd;
        } else {
            if (!rowText.empty()) sql += " ),( ";
            start = sql.size();
            for (size_t k = 0; k < columns; ++k) {
                if (k > 0) sql += ", ";
                if (fieldOf[k] == SIZE_MAX) sql += "NULL";
                else appendValueText(sql, rows->value(fieldOf[k]), forms[k]);
            }
            rowText.emplace_back(start, sql.size());
            if (sql.size() >= limit && rowText.size() > 1 && sql.size() > 2 * limit) {
                // One big row would push the batch past the packet limit:
                // send the rows before it, then the row on its own.
                std::string last = sql.substr(start);
                sql.resize(start - 5);  // drop " ),( "
                rowText.pop_back();
                flushInsert();
                firstRecord = record;
                rowText.emplace_back(sql.size(), sql.size() + last.size());
                sql += last;
            }
        }
        ++progressCount_;
        if ((load ? data.size() : sql.size()) >= limit) flush();
        tick();
    }
    // Rows read before a cancel are sent too, as a row-at-a-time copy
    // would have sent each of them before the cancel was noticed.
    if (!lost) flush();

    if (lost) return Step::Stop;
    if (host_.cancelRequested()) return Step::Cancelled;
    if (std::string e = rows->error(); !e.empty()) say(e);
    return Step::Next;
}

}  // namespace veltrano::tomysql
