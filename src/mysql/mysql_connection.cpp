#include "mysql/mysql_connection.h"

#include <mysql.h>
#include <errmsg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/conversion_session.h"
#include "mysql/mysql_rs.h"
#include "mysql/mysql_internal.h"
#include "mysql/mysql_stream.h"

namespace veltrano {

namespace {

// The name under which LoadLocalData offers its buffer to the server.
constexpr char kLocalDataName[] = "veltrano-memory-buffer";

std::string_view trimBlanks(std::string_view s) {
    const char* ws = " \t\r\n";
    std::size_t b = s.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    std::size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

std::string readCString(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace

// Contents handed to the server by LOAD DATA LOCAL INFILE. The handler below
// replaces the library's own, which would read any file the server names.
struct MYSQL_CONNECTION::LocalData {
    std::string_view data;
    std::size_t offset = 0;
    bool armed = false;

    static int init(void** ptr, const char* filename, void* userdata) {
        auto* self = static_cast<LocalData*>(userdata);
        *ptr = self;
        if (!self || !self->armed || !filename || std::strcmp(filename, kLocalDataName) != 0) return 1;
        self->offset = 0;
        return 0;
    }
    static int read(void* ptr, char* buf, unsigned int len) {
        auto* self = static_cast<LocalData*>(ptr);
        std::size_t n = std::min<std::size_t>(len, self->data.size() - self->offset);
        std::memcpy(buf, self->data.data() + self->offset, n);
        self->offset += n;
        return static_cast<int>(n);
    }
    static void end(void*) {}
    static int error(void*, char* msg, unsigned int len) {
        if (len > 0) {
            std::strncpy(msg, "LOAD DATA LOCAL INFILE request refused by the client", len - 1);
            msg[len - 1] = '\0';
        }
        return CR_UNKNOWN_ERROR;
    }
};

MYSQL_CONNECTION::MYSQL_CONNECTION()
    : link_(std::make_shared<ConnectionLink>(ConnectionLink{this})),
      localData_(std::make_unique<LocalData>()) {}

MYSQL_CONNECTION::~MYSQL_CONNECTION() {
    CloseConnection();
    link_->connection = nullptr;
}

void MYSQL_CONNECTION::SetOption(int32_t eOption, std::string sArg) {
    options_.emplace_back(eOption, std::move(sArg));
}

void MYSQL_CONNECTION::ClearOptions() { options_.clear(); }

int32_t MYSQL_CONNECTION::OpenConnection(const std::string& sHostName, const std::string& sUserName,
                                         const std::string& sPassword, const std::string& sDbName,
                                         int32_t lPortNum, int32_t lFlags) {
    error_.Clear();
    CloseConnection();
    hostname_ = sHostName;
    username_ = sUserName;
    password_ = sPassword;
    dbName_ = sDbName;
    port_ = lPortNum;
    flags_ = lFlags;

    MYSQL* h = mysql_init(nullptr);
    if (!h) {
        error_.SetError(-1, "Couldn't obtain a connection handler.");
        return state_;
    }
    handle_ = h;
    for (const auto& [code, arg] : options_) {
        switch (code) {
            case kOptConnectTimeout: {
                unsigned int seconds = static_cast<unsigned int>(std::strtoul(arg.c_str(), nullptr, 10));
                mysql_options(h, MYSQL_OPT_CONNECT_TIMEOUT, &seconds);
                break;
            }
            case kOptCompress: mysql_options(h, MYSQL_OPT_COMPRESS, nullptr); break;
            case kOptNamedPipe: mysql_options(h, MYSQL_OPT_NAMED_PIPE, nullptr); break;
            case kOptInitCommand: mysql_options(h, MYSQL_INIT_COMMAND, arg.c_str()); break;
            case kOptReadDefaultFile: mysql_options(h, MYSQL_READ_DEFAULT_FILE, arg.c_str()); break;
            case kOptReadDefaultGroup: mysql_options(h, MYSQL_READ_DEFAULT_GROUP, arg.c_str()); break;
            default: break;
        }
    }
    // After the caller's options, so an option file cannot change them.
    mysql_options(h, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    unsigned int localInfile = 1;
    mysql_options(h, MYSQL_OPT_LOCAL_INFILE, &localInfile);
    mysql_set_local_infile_handler(h, &LocalData::init, &LocalData::read, &LocalData::end,
                                   &LocalData::error, localData_.get());

    int port = lPortNum > 0 ? lPortNum : 0;
    if (mysql_real_connect(h, hostname_.c_str(), username_.c_str(), password_.c_str(),
                           dbName_.empty() ? nullptr : dbName_.c_str(), static_cast<unsigned>(port),
                           nullptr, static_cast<unsigned long>(static_cast<uint32_t>(lFlags)))) {
        state_ = 0;
    } else {
        CaptureError();
        CloseHandle();
    }
    return state_;
}

void MYSQL_CONNECTION::CloseConnection() {
    if (state_ == 0 || handle_) CloseHandle();
}

void MYSQL_CONNECTION::CloseHandle() {
    if (stream_) stream_->Detach();  // its unread rows still belong to the handle
    if (handle_) mysql_close(handle_);
    handle_ = nullptr;
    queryString_.clear();
    state_ = 1;
}

void MYSQL_CONNECTION::Ping() {
    if (state_ != 0 || !handle_) return;
    // Reconnecting is wanted here only: a statement must not silently land on
    // a fresh session after its connection was lost.
    my_bool on = 1, off = 0;
    mysql_options(handle_, MYSQL_OPT_RECONNECT, &on);
    mysql_ping(handle_);
    mysql_options(handle_, MYSQL_OPT_RECONNECT, &off);
    mysql_set_local_infile_handler(handle_, &LocalData::init, &LocalData::read, &LocalData::end,
                                   &LocalData::error, localData_.get());
}

bool MYSQL_CONNECTION::SelectDb(const std::string& sDbName) {
    error_.Clear();
    if (state_ != 0 || !handle_) {
        error_.SetError(CR_SERVER_GONE_ERROR, kNotConnected);
        return false;
    }
    if (mysql_select_db(handle_, sDbName.c_str()) != 0) {
        CaptureError();
        return false;
    }
    dbName_ = sDbName;
    return true;
}

std::shared_ptr<MYSQL_RS> MYSQL_CONNECTION::Execute(std::string_view sSQL, int64_t& lRecordsAffected) {
    std::shared_ptr<MYSQL_RS> rs;
    if (session().direction == 1) {
        if (!shared_) shared_ = std::make_shared<MYSQL_RS>();
        rs = shared_;
    } else {
        rs = std::make_shared<MYSQL_RS>();
    }
    rs->SetConnection(link_);
    RunStatement(*rs, sSQL, lRecordsAffected);
    return rs;
}

std::shared_ptr<MYSQL_RS> MYSQL_CONNECTION::Execute(std::string_view sSQL) {
    int64_t ignored = 0;
    return Execute(sSQL, ignored);
}

void MYSQL_CONNECTION::RunStatement(MYSQL_RS& rs, std::string_view sSQL, int64_t& lRecordsAffected) {
    std::string statement(trimBlanks(sSQL));
    bool runs = !statement.empty() && state_ == 0 && handle_;
    // Close the old result first: leaving it may save its pending edits,
    // whose statement must not wipe out this one's error and text.
    if (runs) rs.CloseRecordset();
    error_.Clear();
    queryString_ = std::string(sSQL);
    if (!runs) return;
    rs.RunQuery(statement, handle_);
    lRecordsAffected = rs.AffectedRecords();
    CaptureError();
}

void MYSQL_CONNECTION::CaptureError() {
    if (!handle_) return;
    unsigned int number = mysql_errno(handle_);
    if (number != 0) error_.SetError(static_cast<int32_t>(number), readCString(mysql_error(handle_)));
}

bool MYSQL_CONNECTION::InTransaction() const {
    if (state_ != 0 || !handle_) return false;
    return (handle_->server_status & SERVER_STATUS_IN_TRANS) != 0;
}

std::string MYSQL_CONNECTION::QueryInfo() {
    if (state_ != 0 || !handle_) return {};
    return readCString(mysql_info(handle_));
}

void MYSQL_CONNECTION::Flush(int32_t FlushType) {
    static const char* const kLists[] = {"HOSTS, LOGS, PRIVILEGES, STATUS, TABLES", "HOSTS", "LOGS",
                                         "PRIVILEGES", "STATUS", "TABLES"};
    if (FlushType < 0 || FlushType > 5) return;
    int64_t ignored = 0;
    Execute(std::string("FLUSH ") + kLists[FlushType], ignored);
}

int64_t MYSQL_CONNECTION::LastInsertID() {
    if (state_ != 0 || !handle_) return 0;
    return static_cast<int64_t>(mysql_insert_id(handle_));
}

int64_t MYSQL_CONNECTION::ThreadId() const {
    if (state_ != 0 || !handle_) return 0;
    return static_cast<int64_t>(mysql_thread_id(handle_));
}

int32_t MYSQL_CONNECTION::WarningCount() {
    if (state_ != 0 || !handle_) return 0;
    return static_cast<int32_t>(mysql_warning_count(handle_));
}

int64_t MYSQL_CONNECTION::LoadLocalData(std::string_view tail, std::string_view data) {
    error_.Clear();
    std::string statement = std::string("LOAD DATA LOCAL INFILE '") + kLocalDataName + "' ";
    statement += tail;
    queryString_ = statement;
    if (state_ != 0 || !handle_) {
        error_.SetError(CR_SERVER_GONE_ERROR, kNotConnected);
        return -1;
    }
    localData_->data = data;
    localData_->offset = 0;
    localData_->armed = true;
    int rc = mysql_real_query(handle_, statement.data(), statement.size());
    localData_->armed = false;
    localData_->data = {};
    if (rc != 0) {
        CaptureError();
        if (error_.Number() == 0) error_.SetError(CR_UNKNOWN_ERROR, readCString(mysql_error(handle_)));
        return -1;
    }
    return static_cast<int64_t>(mysql_affected_rows(handle_));
}

}  // namespace veltrano
