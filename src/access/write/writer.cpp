#include "access/write/writer.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <string>

#include "access/write/database_writer.h"
#include "common/names.h"

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

// Local date and time now as an OLE date (days since 1899-12-30).
double localNow(bool dateOnly) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    CalendarTime c;
    c.year = tm.tm_year + 1900;
    c.month = tm.tm_mon + 1;
    c.day = tm.tm_mday;
    if (!dateOnly) {
        c.hour = tm.tm_hour;
        c.minute = tm.tm_min;
        c.second = tm.tm_sec;
    }
    return calendarToOleDate(c);
}

}  // namespace

std::optional<FieldValue> defaultFieldValue(const std::string& expression) {
    std::string e = trimmed(expression);
    if (!e.empty() && e[0] == '=') e = trimmed(e.substr(1));
    if (e.empty()) return std::nullopt;
    if ((e[0] == '\'' || e[0] == '"') && e.size() >= 2 && e.back() == e[0]) {
        std::string text;
        for (size_t i = 1; i + 1 < e.size(); ++i) {
            if (e[i] == e[0]) {
                if (e[i + 1] != e[0] || i + 2 >= e.size()) return std::nullopt;  // a lone quote inside: an expression
                ++i;
            }
            text.push_back(e[i]);
        }
        return FieldValue(text);
    }
    const std::string w = lowered(e);
    if (w == "true" || w == "yes" || w == "on") return FieldValue::boolean(true);
    if (w == "false" || w == "no" || w == "off") return FieldValue::boolean(false);
    if (w == "null") return FieldValue::null();
    auto call = [&](const char* name) {
        std::string x;
        for (char c : w)
            if (!std::isspace(static_cast<unsigned char>(c))) x.push_back(c);
        return x == std::string(name) + "()" || x == name;
    };
    if (call("now")) return FieldValue::dateTime(localNow(false));
    if (call("date")) return FieldValue::dateTime(localNow(true));
    size_t used = 0;
    double number = 0;
    try {
        number = std::stod(e, &used);
    } catch (...) {
        return std::nullopt;
    }
    // Only plain decimal numbers; stod also takes hex, "inf" and "nan".
    if (used != e.size() || e.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
    return FieldValue(number);
}

// ------------------------------------------------------------ Appender

Appender::Appender() = default;
Appender::Appender(std::unique_ptr<AppendSession> s) : s_(std::move(s)) {}
Appender::Appender(std::unique_ptr<AppendSession> s, std::vector<bool> required,
                   std::vector<std::optional<FieldValue>> defaults)
    : s_(std::move(s)),
      required_(std::move(required)),
      assigned_(required_.size(), false),
      given_(required_.size(), false),
      defaults_(std::move(defaults)) {
    defaults_.resize(required_.size());
}
Appender::Appender(Appender&&) noexcept = default;
Appender& Appender::operator=(Appender&&) noexcept = default;
Appender::~Appender() = default;

Status Appender::addNew() {
    std::fill(assigned_.begin(), assigned_.end(), false);
    std::fill(given_.begin(), given_.end(), false);
    return s_ ? s_->addNew() : Status::invalidArgument("the table is not open");
}
int Appender::fieldCount() const { return s_ ? s_->fieldCount() : 0; }
int Appender::fieldType(int pos) const { return s_ ? s_->fieldType(pos) : 0; }
std::string Appender::fieldName(int pos) const { return s_ ? s_->fieldName(pos) : std::string(); }
Status Appender::setField(int pos, const FieldValue& value) {
    if (!s_) return Status::invalidArgument("the table is not open");
    Status s = s_->setField(pos, value);
    if (s.isOk()) noteAssigned(pos, !value.isNull() && !value.isEmpty());
    return s;
}
void Appender::noteAssigned(int pos, bool given) {
    if (pos < 0 || static_cast<size_t>(pos) >= given_.size()) return;
    assigned_[pos] = true;
    given_[pos] = given;
}
Result<PreparedValue> Appender::prepare(int pos, const FieldValue& value) const {
    PreparedValue p;
    ACCESS_RETURN_IF_ERROR(prepareInto(pos, value, p));
    return p;
}
Status Appender::prepareInto(int pos, const FieldValue& value, PreparedValue& out) const {
    if (!s_) return Status::invalidArgument("the table is not open");
    out.given_ = !value.isNull() && !value.isEmpty();
    return s_->convertInto(pos, value, out.cell_);
}
Status Appender::setPrepared(int pos, const PreparedValue& value) {
    if (!s_) return Status::invalidArgument("the table is not open");
    Status s = s_->copyCell(pos, value.cell_.null, value.cell_.bytes);
    if (s.isOk()) noteAssigned(pos, value.given_);
    return s;
}
Status Appender::appendPrepared(std::vector<PreparedValue>& values) {
    if (!s_) return Status::invalidArgument("the table is not open");
    if (values.size() > assigned_.size()) return Status::invalidArgument("more values than fields");
    ACCESS_RETURN_IF_ERROR(addNew());
    for (size_t j = 0; j < values.size(); ++j) {
        StoredCell& cell = s_->newRowCell(static_cast<int>(j));
        cell.null = values[j].cell_.null;
        cell.bytes.swap(values[j].cell_.bytes);
        noteAssigned(static_cast<int>(j), values[j].given_);
    }
    return update();
}
Status Appender::update() {
    if (!s_) return Status::invalidArgument("the table is not open");
    for (size_t i = 0; i < defaults_.size(); ++i) {
        if (assigned_[i] || !defaults_[i]) continue;
        Status s = s_->setField(static_cast<int>(i), *defaults_[i]);
        if (!s.isOk())
            return Status::invalidArgument("The default value of the field '" + s_->fieldName(static_cast<int>(i)) +
                                           "' does not fit it: " + s.description());
        assigned_[i] = true;
        given_[i] = !defaults_[i]->isNull();
    }
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
    return open(posixFileSystem(), path, password);
}

Status WriteConnection::open(FileSystem& fs, const std::string& path, const std::string& password) {
    if (db_) return Status::invalidArgument("the connection is already open");
    ACCESS_ASSIGN_OR_RETURN(db_, WriteDatabase::open(path, password, fs));
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

Result<std::string> WriteConnection::addRelationship(const NewRelationship& r) {
    if (!db_) return Status::invalidArgument("the connection is not open");
    return db_->addRelationship(r);
}

Result<Appender> WriteConnection::openTableForAppend(const std::string& table) {
    if (!db_) return Status::invalidArgument("the connection is not open");
    ACCESS_ASSIGN_OR_RETURN(auto rules, db_->columnRules(table));
    ACCESS_ASSIGN_OR_RETURN(auto s, db_->openAppend(table));
    const size_t n = static_cast<size_t>(s->fieldCount());
    std::vector<bool> required(n, false);
    std::vector<std::optional<FieldValue>> defaults(n);
    for (size_t i = 0; i < n; ++i)
        for (const auto& rule : rules) {
            if (!namesEqual(rule.column, s->fieldName(static_cast<int>(i)))) continue;
            if (rule.hasDefault) defaults[i] = defaultFieldValue(rule.defaultValue);
            // A default we cannot work out may well fill the field in Access.
            required[i] = rule.required && (!rule.hasDefault || defaults[i]);
        }
    return Appender(std::move(s), std::move(required), std::move(defaults));
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
