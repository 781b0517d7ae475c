// The MySQL-to-Access conversion run: creates a new .mdb (or opens an
// existing one), creates every selected table with its indexes, settles
// tables that already exist, and copies the rows.
//
// The run touches no widget. Questions and messages go through RunHost (the
// wizard answers with the message dialog, the batch tool by its options);
// the status line and the progress go through the callbacks below. It reads
// and writes the MySQL-to-Access fields of ConversionSession.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/conversion_session.h"
#include "common/run_host.h"
#include "to_access/column_rules.h"

namespace veltrano {

class MYSQL_CONNECTION;

class MYSQL_STREAM;

namespace access {
class Appender;
class WriteConnection;
}

namespace toaccess {

struct RunOptions {
    bool newFile = true;           // create a new file (else append to an existing one)
    bool usePassword = false;      // the file has (append) or gets (new) a database password
    std::string password;          // ... and this is it
    bool definitionsOnly = false;  // create tables and indexes, copy no rows
    // How often window events run (and Cancel is looked at) during a copy:
    // about 30 times a second. Zero means every kRowsPerClockCheck rows.
    std::chrono::milliseconds keepAliveInterval{30};
};

enum class RunOutcome {
    Finished,       // every selected table had its turn: show the report
    Stopped,        // stopped before or during the run; the page stays usable
    WrongPassword,  // like Stopped; the page asks for the password again
    Cancelled,      // the user cancelled: show the report as cancelled
    Failed,         // a write to the file failed: the run stopped there; the report says why
};

class ConversionRun {
public:
    // `source` is the connection the tables are read from; `s` supplies the
    // selected tables (sourceTables[0..tableCount-1]), sourceDatabase and
    // destinationPath/destinationFileName, and receives the results.
    ConversionRun(ConversionSession& s, MYSQL_CONNECTION& source, RunHost& host);

    // "Converting Table: <name>" as each table's turn begins.
    std::function<void(const std::string&)> onStatus;

    // During a copy the clock is read every kRowsPerClockCheck rows, and
    // RunHost::keepAlive runs when RunOptions::keepAliveInterval has
    // passed since the last call.
    static constexpr int64_t kRowsPerClockCheck = 64;

    RunOutcome run(const RunOptions& options);

    // Selected tables that did not arrive whole for a reason other than the
    // user's answer (a statement the file refused, a failed write, a broken
    // read), in the order they failed.
    const std::vector<std::string>& failedTables() const { return failedTables_; }

    // How long a copy waits for the server's next rows before it looks at
    // Cancel again.
    static constexpr std::chrono::milliseconds kRowPatience{100};

private:
    enum class Step { Next, Stop, Cancel, Fail };

    RunOutcome createNew();
    RunOutcome appendTo();
    // Converts every selected table over `db`, then closes it.
    RunOutcome copyTables(access::WriteConnection& db, bool appending);
    bool deleteExistingFile();
    // One table's turn: definition, indexes, rows. `appending` selects the
    // handling of a table that exists already.
    Step convertTable(access::WriteConnection& db, SourceTable& t, bool appending);
    Step tableExists(access::WriteConnection& db, SourceTable& t, const std::string& create,
                     bool& created);
    bool dropTable(access::WriteConnection& db, const std::string& table);
    access::Status createWithRules(access::WriteConnection& db, const std::string& create, const std::string& table);
    Step populate(access::WriteConnection& db, SourceTable& t, const std::vector<std::string>& columns);
    struct RowsStored {
        int64_t stored = 0;
        bool cancelled = false;
        std::string writeFailure;  // why the file could not take more, or ""
    };
    RowsStored storeRows(MYSQL_STREAM& rows, int count, const std::vector<bool>& isDate, access::Appender& appender,
                         SourceTable& t);
    // The table did not arrive: not converted, named in the report with why.
    void tableFailed(SourceTable& t, const std::string& reason);
    // Ends the statement the source connection is running, from a second
    // connection, so that a cancelled read does not drain the rest of the rows.
    void endSourceQuery(int64_t threadId);
    // Closes the new file and moves it from its temporary name to the destination.
    bool finishNewFile(access::WriteConnection& db, const std::string& temporary);
    void progressAfter(int64_t index);
    // Makes the relationships of pendingKeys_ (or, when not all tables were
    // converted, names them). False when a write failed.
    bool carryForeignKeys(access::WriteConnection& db, bool tablesComplete);

    ConversionSession& s_;
    MYSQL_CONNECTION& source_;
    RunHost& host_;
    TableRules rules_;  // of the table being converted
    RunOptions options_;
    std::vector<std::string> failedTables_;
    // {table, key} of the converted tables, waiting for all the rows.
    std::vector<std::pair<std::string, ForeignKeyRule>> pendingKeys_;
};

// Adds "Refused Records        : N  record(s)" after the converted-records
// line of a report text, so the report says how many rows the Access file
// would not take (unchanged when N is 0).
std::string withRefusedRecords(const std::string& reportText, int64_t refused);

// Whether a table of that name exists in the open file (Jet names compare
// without regard to letter case).
bool accessTableExists(access::WriteConnection& db, const std::string& table);

}  // namespace toaccess
}  // namespace veltrano
