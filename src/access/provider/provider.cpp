// The provider-style facade: connection texts, schema rowsets with filters,
// table catalogs and the two queries. See provider.h.
#include "access/provider/provider.h"

#include <cctype>
#include <optional>

#include "access/read/database.h"
#include "access/provider/provider_internal.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// True when `rest` (the text after a ';') starts with something like "Key=".
bool looksLikeKey(std::string_view rest) {
    size_t eq = rest.find('=');
    if (eq == std::string_view::npos) return false;
    std::string key = trim(rest.substr(0, eq));
    if (key.empty()) return false;
    for (char c : key)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == ':' || c == '_' || c == '.'))
            return false;
    return true;
}

}  // namespace

Result<ConnectionSettings> parseConnectionString(std::string_view text) {
    ConnectionSettings out;
    bool haveSource = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eq = text.find('=', pos);
        if (eq == std::string_view::npos) {
            if (trim(text.substr(pos)).empty()) break;
            return Status::invalidArgument("malformed connection text near '" + std::string(text.substr(pos)) + "'");
        }
        std::string key = lower(trim(text.substr(pos, eq - pos)));
        size_t v = eq + 1;
        size_t q0 = v;  // a quoted value may follow blanks
        while (q0 < text.size() && text[q0] == ' ') ++q0;
        std::string value;
        size_t next;
        if (q0 < text.size() && (text[q0] == '"' || text[q0] == '\'')) {
            v = q0;
            char q = text[v];
            size_t close = text.find(q, v + 1);
            if (close == std::string_view::npos) return Status::invalidArgument("unterminated quote in connection text");
            value = std::string(text.substr(v + 1, close - v - 1));
            next = text.find(';', close);
            next = next == std::string_view::npos ? text.size() : next + 1;
        } else {
            // A value ends at the ';' that starts the next "key=" (so a
            // password may itself hold ';'), else at the end of the text.
            size_t end = v;
            for (;;) {
                size_t semi = text.find(';', end);
                if (semi == std::string_view::npos) {
                    end = text.size();
                    break;
                }
                std::string_view rest = text.substr(semi + 1);
                if (trim(rest).empty() || looksLikeKey(rest)) {
                    end = semi;
                    break;
                }
                end = semi + 1;
            }
            value = std::string(text.substr(v, end - v));
            if (key != "jet oledb:database password") value = trim(value);
            next = end < text.size() ? end + 1 : end;
        }
        if (key == "data source") {
            out.dataSource = value;
            haveSource = true;
        } else if (key == "jet oledb:database password") {
            out.password = value;
            out.passwordGiven = true;
        } else if (key == "mode") {
            out.mode = value;
        }
        pos = next;
    }
    if (!haveSource || out.dataSource.empty())
        return Status::invalidArgument("the connection text names no Data Source");
    return out;
}

int Rowset::fieldIndex(std::string_view name) const {
    for (int i = 0; i < fieldCount(); ++i)
        if (namesEqual(fieldName(i), name)) return i;
    return -1;
}

Result<FieldValue> Rowset::field(std::string_view name) const {
    int i = fieldIndex(name);
    if (i < 0) return Status::notFound("Item cannot be found in the collection: '" + std::string(name) + "'");
    return field(i);
}

Result<Value> Rowset::value(std::string_view name) const {
    int i = fieldIndex(name);
    if (i < 0) return Status::notFound("Item cannot be found in the collection: '" + std::string(name) + "'");
    return value(i);
}

const CatalogColumn* TableCatalog::findColumn(std::string_view name) const {
    for (const auto& c : columns)
        if (c.name == name) return &c;
    for (const auto& c : columns)
        if (namesEqual(c.name, name)) return &c;
    return nullptr;
}

Connection::Connection() = default;
Connection::~Connection() = default;

Status Connection::open(std::string_view connectionString, std::string_view, std::string_view) {
    close();
    ACCESS_ASSIGN_OR_RETURN(ConnectionSettings s, parseConnectionString(connectionString));
    OpenOptions opts;
    if (s.passwordGiven) opts.password = s.password;
    ACCESS_ASSIGN_OR_RETURN(db_, Database::open(s.dataSource, opts));
    return {};
}

void Connection::close() { db_.reset(); }
bool Connection::isOpen() const { return db_ != nullptr; }
Database* Connection::database() { return db_.get(); }

Result<std::unique_ptr<Rowset>> Connection::openSchema(SchemaKind kind) {
    if (!db_) return Status::invalidArgument("Operation is not allowed when the object is closed.");
    return provider_detail::buildSchema(*db_, kind);
}

Result<TableCatalog> Connection::tableCatalog(std::string_view tableName) {
    if (!db_) return Status::invalidArgument("Operation is not allowed when the object is closed.");
    return provider_detail::buildCatalog(*db_, tableName);
}

Result<std::vector<Relationship>> Connection::relationships() {
    if (!db_) return Status::invalidArgument("Operation is not allowed when the object is closed.");
    return readRelationships(*db_);
}

Result<std::vector<SavedQuery>> Connection::savedQueries() {
    if (!db_) return Status::invalidArgument("Operation is not allowed when the object is closed.");
    return readSavedQueries(*db_);
}

Result<std::unique_ptr<Rowset>> Connection::execute(std::string_view commandText) {
    if (!db_) return Status::invalidArgument("Operation is not allowed when the object is closed.");
    return provider_detail::runQuery(*db_, commandText);
}

}  // namespace veltrano::access
