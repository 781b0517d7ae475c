// MYSQL_CONNECTION: the program's one way of talking to a MySQL server.
//
// Wraps one handle of the client library, keeps the login parameters, runs
// statements and hands their results out as MYSQL_RS objects. No call throws
// for a server or library failure: it returns a neutral value (a closed
// result set, false, 0, "") and leaves the library's number and text in
// Error(). OpenConnection, SelectDb and every Execute clear Error first.
//
// Connections speak utf8mb4: statements and values cross as UTF-8 bytes.
// In the Access-to-MySQL direction (session().direction == 1) every Execute
// refills and returns the same result set, so a caller must finish reading a
// result before it runs the next statement; in the other direction each
// Execute returns a new one. One thread at a time; no locking.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mysql/mysql_err.h"

struct st_mysql;

namespace veltrano {

class MYSQL_RS;
class MYSQL_STREAM;

// The object result sets hold (weakly) to reach their connection; it dies
// with the connection, so the link can never dangle.
struct ConnectionLink {
    MYSQL_CONNECTION* connection;
};

// Option codes of SetOption.
inline constexpr int32_t kOptConnectTimeout = 0;   // sArg: seconds
inline constexpr int32_t kOptCompress = 1;
inline constexpr int32_t kOptNamedPipe = 2;
inline constexpr int32_t kOptInitCommand = 3;      // sArg: statement run after every connect
inline constexpr int32_t kOptReadDefaultFile = 4;  // sArg: option file
inline constexpr int32_t kOptReadDefaultGroup = 5; // sArg: option group

class MYSQL_CONNECTION {
public:
    MYSQL_CONNECTION();
    ~MYSQL_CONNECTION();
    MYSQL_CONNECTION(const MYSQL_CONNECTION&) = delete;
    MYSQL_CONNECTION& operator=(const MYSQL_CONNECTION&) = delete;

    // When a result set leaves a row with unsaved edits: true saves them,
    // false (the default) drops them.
    bool AutoUpdate() const { return autoUpdate_; }
    void AutoUpdate(bool bAuto) { autoUpdate_ = bAuto; }

    const std::string& QueryString() const { return queryString_; }  // last Execute'd, untrimmed
    MYSQL_ERR& Error() { return error_; }
    const MYSQL_ERR& Error() const { return error_; }
    int32_t State() const { return state_; }  // 0 open, 1 closed
    const std::string& DbName() const { return dbName_; }
    const std::string& Password() const { return password_; }
    const std::string& Username() const { return username_; }
    const std::string& Hostname() const { return hostname_; }
    int32_t Port() const { return port_; }

    // Queues an option applied at every later OpenConnection (codes kOpt*;
    // other codes are skipped) until ClearOptions.
    void SetOption(int32_t eOption, std::string sArg);
    void ClearOptions();

    // Closes an open connection first. Returns State() after the attempt; on
    // failure Error holds the library's number and text.
    int32_t OpenConnection(const std::string& sHostName, const std::string& sUserName,
                           const std::string& sPassword, const std::string& sDbName,
                           int32_t lPortNum, int32_t lFlags);
    void CloseConnection();
    // Verifies an open connection and re-establishes a lost one with the same
    // parameters. Reports nothing.
    void Ping();
    // False (Error set, DbName unchanged) on failure or when closed.
    bool SelectDb(const std::string& sDbName);

    // Runs one statement. Never returns null: a statement without rows, a
    // rejected one, a blank one or one on a closed connection gives a closed
    // result set. lRecordsAffected receives the affected-row count (0 on
    // failure) and is left untouched for a blank statement or a closed
    // connection.
    std::shared_ptr<MYSQL_RS> Execute(std::string_view sSQL, int64_t& lRecordsAffected);
    std::shared_ptr<MYSQL_RS> Execute(std::string_view sSQL);

    std::string QueryInfo();   // mysql_info text, "" when none or closed
    // 0 all of HOSTS, LOGS, PRIVILEGES, STATUS, TABLES; 1..5 one of them; else nothing.
    void Flush(int32_t FlushType);
    int64_t LastInsertID();    // 0 when closed
    // The server's id of this connection (for KILL QUERY from another
    // connection); 0 when closed.
    int64_t ThreadId() const;
    // Warnings of the last statement (values cut or adjusted by the server);
    // 0 when closed. Read them with "SHOW WARNINGS".
    int32_t WarningCount();
    // Whether the last statement the server answered without error left a
    // transaction open (its status flags); false when closed.
    bool InTransaction() const;

    // Runs "LOAD DATA LOCAL INFILE '<name>' " + tail, the file's contents
    // being `data` in memory. tail is the rest of the statement; build it
    // with loadDataTail() of mysql/sql_text.h. Returns the affected rows, or
    // -1 with Error set. The connection never hands the server any real
    // file: a request for another name is refused.
    int64_t LoadLocalData(std::string_view tail, std::string_view data);

private:
    friend class MYSQL_RS;
    friend class MYSQL_STREAM;

    // Runs sSQL into rs (see Execute).
    void RunStatement(MYSQL_RS& rs, std::string_view sSQL, int64_t& lRecordsAffected);
    void CaptureError();
    void CloseHandle();
    st_mysql* handle() const { return handle_; }

    std::shared_ptr<ConnectionLink> link_;
    std::shared_ptr<MYSQL_RS> shared_;
    std::vector<std::pair<int32_t, std::string>> options_;
    MYSQL_ERR error_;
    std::string hostname_, username_, password_, dbName_;
    int32_t port_ = 0;
    int32_t flags_ = 0;
    int32_t state_ = 1;
    st_mysql* handle_ = nullptr;
    std::string queryString_;
    bool autoUpdate_ = false;
    MYSQL_STREAM* stream_ = nullptr;  // the open streaming read, closed before the handle
    struct LocalData;
    std::unique_ptr<LocalData> localData_;  // armed only while LoadLocalData runs
};

}  // namespace veltrano
