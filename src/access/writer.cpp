#include "access/writer.h"

#include <algorithm>
#include <cctype>

#include "access/database_writer.h"

namespace veltrano::access {
namespace {

std::string trimmed(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

Status recoverJournal(const std::string& path) { return rollbackHotJournal(path); }

// ------------------------------------------------------------ Appender

Appender::Appender() = default;
Appender::Appender(std::unique_ptr<AppendSession> s) : s_(std::move(s)) {}
Appender::Appender(std::unique_ptr<AppendSession> s, std::vector<bool> required)
    : s_(std::move(s)), required_(std::move(required)), given_(required_.size(), false) {}
Appender::Appender(Appender&&) noexcept = default;
Appender& Appender::operator=(Appender&&) noexcept = default;
Appender::~Appender() = default;

Status Appender::addNew() {
    std::fill(given_.begin(), given_.end(), false);
    return s_ ? s_->addNew() : Status::invalidArgument("the table is not open");
}
int Appender::fieldCount() const { return s_ ? s_->fieldCount() : 0; }
int Appender::fieldType(int pos) const { return s_ ? s_->fieldType(pos) : 0; }
std::string Appender::fieldName(int pos) const { return s_ ? s_->fieldName(pos) : std::string(); }
Status Appender::setField(int pos, const FieldValue& value) {
    if (!s_) return Status::invalidArgument("the table is not open");
    Status s = s_->setField(pos, value);
    if (s.isOk() && pos >= 0 && static_cast<size_t>(pos) < given_.size()) given_[pos] = !value.isNull() && !value.isEmpty();
    return s;
}
Status Appender::update() {
    if (!s_) return Status::invalidArgument("the table is not open");
    for (size_t i = 0; i < required_.size(); ++i)
        if (required_[i] && !given_[i])
            return Status::invalidArgument("The field '" + s_->fieldName(static_cast<int>(i)) + "' cannot contain a Null value.");
    return s_->update();
}
Status Appender::close() {
    if (!s_) return Status::ok();
    Status s = s_->close();
    s_.reset();
    return s;
}
bool Appender::isOpen() const { return s_ && s_->open(); }

void Appender::raiseAutoNumber(uint32_t lastUsed) {
    if (s_) s_->raiseAutoNumber(lastUsed);
}

// ------------------------------------------------------- WriteConnection

WriteConnection::WriteConnection() = default;
WriteConnection::~WriteConnection() { (void)close(); }

Status WriteConnection::open(const std::string& connectionString) {
    if (connectionString.find('=') == std::string::npos) return open(trimmed(connectionString), std::string());
    std::string path, password;
    size_t pos = 0;
    while (pos <= connectionString.size()) {
        size_t semi = connectionString.find(';', pos);
        if (semi == std::string::npos) semi = connectionString.size();
        std::string part = connectionString.substr(pos, semi - pos);
        size_t eq = part.find('=');
        if (eq != std::string::npos) {
            std::string key = lowered(trimmed(part.substr(0, eq)));
            std::string value = part.substr(eq + 1);
            if (key == "data source") path = trimmed(value);
            else if (key == "jet oledb:database password") password = value;
        }
        pos = semi + 1;
    }
    if (path.empty()) return Status::invalidArgument("the connection text names no data source");
    return open(path, password);
}

Status WriteConnection::open(const std::string& path, const std::string& password) {
    if (db_) return Status::invalidArgument("the connection is already open");
    ACCESS_ASSIGN_OR_RETURN(db_, WriteDatabase::open(path, password));
    return Status::ok();
}

bool WriteConnection::isOpen() const { return db_ != nullptr; }

Status WriteConnection::execute(const std::string& jetSql) {
    if (!db_) return Status::invalidArgument("the connection is not open");
    return db_->execute(jetSql);
}

Status WriteConnection::execute(const std::string& createTableSql, const std::vector<ObjectProperties>& properties) {
    if (!db_) return Status::invalidArgument("the connection is not open");
    return db_->execute(createTableSql, properties);
}

Result<Appender> WriteConnection::openTableForAppend(const std::string& table) {
    if (!db_) return Status::invalidArgument("the connection is not open");
    ACCESS_ASSIGN_OR_RETURN(auto required, db_->requiredColumns(table));
    ACCESS_ASSIGN_OR_RETURN(auto s, db_->openAppend(table));
    std::vector<bool> byPosition(static_cast<size_t>(s->fieldCount()), false);
    for (int i = 0; i < s->fieldCount(); ++i)
        for (const auto& name : required)
            if (sameName(name, s->fieldName(i))) byPosition[static_cast<size_t>(i)] = true;
    return Appender(std::move(s), std::move(byPosition));
}

std::vector<std::string> WriteConnection::tableNames() const {
    if (!db_) return {};
    auto r = db_->userTables();
    return r.isOk() ? r.value() : std::vector<std::string>();
}

Status WriteConnection::close() {
    if (!db_) return Status::ok();
    Status s = db_->close();
    db_.reset();
    return s;
}

}  // namespace veltrano::access
