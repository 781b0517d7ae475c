#include "to_access/tova_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "access/provider/provider.h"
#include "access/format/value.h"
#include "common/conversion_session.h"
#include "mysql/mysql_rs.h"

namespace veltrano::tatest {

namespace fs = std::filesystem;

const Login* testLogin() {
    static const Login* login = [] () -> const Login* {
        const char* host = std::getenv("VELTRANO_TEST_MYSQL_HOST");
        const char* port = std::getenv("VELTRANO_TEST_MYSQL_PORT");
        if (!host || !port) return nullptr;
        static Login l;
        l.host = host;
        l.port = std::atoi(port);
        const char* user = std::getenv("VELTRANO_TEST_MYSQL_USER");
        const char* pw = std::getenv("VELTRANO_TEST_MYSQL_PASSWORD");
        l.user = user ? user : "root";
        l.password = pw ? pw : "";
        return &l;
    }();
    return login;
}

bool openConnection(MYSQL_CONNECTION& c) {
    const Login* l = testLogin();
    if (!l) return false;
    c.OpenConnection(l->host, l->user, l->password, "", l->port, 0);
    return c.State() == 0;
}

ScratchDatabase::ScratchDatabase(const std::string& suffix) : name_("vt_ta_" + suffix) {
    if (!openConnection(conn_)) {
        ADD_FAILURE() << "cannot reach the test server: " << conn_.Error().Description();
        return;
    }
    exec("DROP DATABASE IF EXISTS `" + name_ + "`");
    exec("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
    exec("USE `" + name_ + "`");
}

ScratchDatabase::~ScratchDatabase() {
    if (conn_.State() != 0) openConnection(conn_);
    conn_.Execute("DROP DATABASE IF EXISTS `" + name_ + "`");
}

void ScratchDatabase::exec(const std::string& sql) {
    conn_.Execute(sql);
    EXPECT_EQ(conn_.Error().Number(), 0) << sql << ": " << conn_.Error().Description();
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    path_ = fs::path(VELTRANO_BINARY_DIR) / "to_access_scratch" /
            (std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

int ScriptedHost::ask(const std::string& text, int buttonSet, int /*picture*/) {
    asked.push_back(text);
    if (answers.empty()) return buttonSet == kSetOk ? kOk : kClosed;
    int a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedHost::keepAlive() {
    ++keepAlives_;
    if (onKeepAlive) onKeepAlive(keepAlives_);
}

bool ScriptedHost::cancelRequested() const {
    return cancelAfterKeepAlives >= 0 && keepAlives_ >= cancelAfterKeepAlives;
}

void prepareSession(const std::string& database, const std::vector<std::string>& tables,
                    const std::string& path) {
    ConversionSession& s = session();
    s.direction = 0;
    s.sourceDatabase = database;
    s.sourceTables.assign(tables.size() + 1, SourceTable{});
    for (size_t i = 0; i < tables.size(); ++i) {
        s.sourceTables[i].name = tables[i];
        s.sourceTables[i].selected = true;
    }
    s.tableCount = static_cast<int64_t>(tables.size());
    s.destinationPath = path;
    s.destinationFileName = fs::path(path).filename().string();
}

std::string shell(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        if (status) *status = -1;
        return out;
    }
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

namespace {

std::string csvField(const access::Value& v) {
    if (v.isNull()) return "";
    std::string t = access::canonicalText(v);
    if (t.empty() || t.find_first_of(",\"\r\n") != std::string::npos) {
        std::string q = "\"";
        for (char c : t) {
            if (c == '"') q += '"';
            q += c;
        }
        return q + "\"";
    }
    return t;
}

std::string csvName(const std::string& n) {
    access::Value v = access::Value::ofBytes(access::ValueKind::Text, n);
    return csvField(v);
}

std::string connectionText(const std::string& file, const std::string& password) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
           ";Persist Security Info=False;Jet OLEDB:Database Password=" + password;
}

const std::string kOracleDir = std::string(VELTRANO_SOURCE_DIR) + "/tests/oracle";

}  // namespace

std::string ourExport(const std::string& file, const std::string& table, const std::string& password) {
    access::Connection c;
    if (access::Status st = c.open(connectionText(file, password)); !st) return "open failed: " + st.description();
    auto rs = c.execute("select * from [" + table + "]");
    if (!rs) return "select failed: " + rs.status().description();
    access::Rowset& r = **rs;
    std::string out;
    for (int i = 0; i < r.fieldCount(); ++i) out += (i ? "," : "") + csvName(r.fieldName(i));
    out += "\n";
    while (!r.eof()) {
        for (int i = 0; i < r.fieldCount(); ++i) {
            auto v = r.value(i);
            out += (i ? "," : "") + (v ? csvField(*v) : std::string("<error>"));
        }
        out += "\n";
        if (!r.moveNext()) break;
    }
    return out;
}

bool oraclesAvailable() {
    int st = 0;
    shell("node -e \"require('" + kOracleDir + "/node_modules/mdb-reader')\" >/dev/null 2>&1", &st);
    return st == 0;
}

std::string readerExport(const std::string& file, const std::string& table, const std::string& password) {
    std::string cmd = "TZ=UTC node " + quoted(kOracleDir + "/dump.mjs") + " " + quoted(file);
    if (!password.empty()) cmd += " --password " + quoted(password);
    return shell(cmd + " export " + quoted(table) + " 2>&1");
}

int compareWritten(const std::string& file, const std::string& expectDir, std::string& output,
                   const std::string& known, const std::string& password) {
    std::string cmd = "TZ=UTC node " + quoted(kOracleDir + "/compare.mjs") + " --written " + quoted(file) +
                      " --expect " + quoted(expectDir) + " --cli " +
                      quoted(std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli");
    if (!password.empty()) cmd += " --password " + quoted(password);
    if (!known.empty()) cmd += " --known " + quoted(known);
    int st = 0;
    output = shell(cmd + " 2>&1", &st);
    return st;
}

TableShape shapeOf(const std::string& file, const std::string& table, const std::string& password) {
    TableShape shape;
    access::Connection c;
    if (!c.open(connectionText(file, password))) return shape;
    auto cat = c.tableCatalog(table);
    if (!cat) return shape;
    for (const auto& col : cat->columns)
        shape.columns.push_back(col.name + ":" + std::to_string(col.type) + (col.autoIncrement ? "+auto" : ""));
    for (const auto& ix : cat->indexes) {
        std::string s = ix.primaryKey ? "P " : ix.unique ? "U " : "I ";
        s += ix.name + "(";
        for (size_t i = 0; i < ix.columns.size(); ++i) s += (i ? "," : "") + ix.columns[i];
        shape.indexes.push_back(s + ")");
    }
    return shape;
}

std::vector<std::string> tablesOf(const std::string& file, const std::string& password) {
    std::vector<std::string> names;
    access::Connection c;
    if (!c.open(connectionText(file, password))) return names;
    auto rs = c.openSchema(access::SchemaKind::Tables);
    if (!rs) return names;
    access::Rowset& r = **rs;
    if (!r.setFilter("table_type = 'TABLE'")) return names;
    while (!r.eof()) {
        auto n = r.field("table_name");
        if (n && n->isText()) names.push_back(n->asText());
        if (!r.moveNext()) break;
    }
    return names;
}

}  // namespace veltrano::tatest
