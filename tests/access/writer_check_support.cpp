#include "writer_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "access/read/database.h"
#include "access/write/database_writer.h"
#include "access/read/table.h"
#include "access/format/index_key.h"
#include "access/write/index_writer.h"
#include "access/format/sort_order.h"

namespace writer_test {
namespace fs = std::filesystem;
using namespace veltrano::access;

namespace {

// Walks the tree under `page`: node entries must equal the last entry of the
// subtree they point at, entries must be sorted. Returns the subtree's last entry.
std::string walk(PageStore& store, uint32_t page, int depth, std::vector<std::string>& problems) {
    if (depth > 16) {
        problems.push_back("index deeper than 16 levels at page " + std::to_string(page));
        return {};
    }
    std::vector<uint8_t> pg;
    if (!store.read(page, pg).isOk()) {
        problems.push_back("cannot read index page " + std::to_string(page));
        return {};
    }
    ByteReader r(pg);
    size_t prefix = r.u16(24);
    std::vector<std::string> entries;
    size_t start = 0;
    std::string first;
    for (size_t k = 1; k <= kIndexEntryArea; ++k) {
        if (!((pg[27 + k / 8] >> (k % 8)) & 1)) continue;
        auto s = r.slice(kIndexEntriesStart + start, k - start);
        std::string e(s.begin(), s.end());
        if (first.empty()) first = e;
        else e = first.substr(0, prefix) + e;
        entries.push_back(e);
        start = k;
    }
    if (!std::is_sorted(entries.begin(), entries.end()))
        problems.push_back("entries out of order on index page " + std::to_string(page));
    if (pg[0] == page_type::kIndexLeaf) return entries.empty() ? std::string() : entries.back();
    std::string last;
    for (const auto& e : entries) {
        uint32_t child = ByteReader(Bytes(reinterpret_cast<const uint8_t*>(e.data()), e.size())).be32(e.size() - 4);
        std::string sub = walk(store, child, depth + 1, problems);
        if (sub != e.substr(0, e.size() - 4))
            problems.push_back("node entry on page " + std::to_string(page) + " differs from the last entry of child " +
                               std::to_string(child));
        last = sub;
    }
    if (uint32_t tail = r.u32(20)) last = walk(store, tail, depth + 1, problems);
    return last;
}

}  // namespace

IndexReport checkIndexes(const std::string& path, const std::string& password, bool rowCounts) {
    IndexReport rep;
    auto db = WriteDatabase::open(path, password);
    if (!db.isOk()) {
        rep.problems.push_back("cannot open: " + db.status().description());
        return rep;
    }
    auto& w = *db.value();
    auto catalog = w.readCatalog();
    if (!catalog.isOk()) {
        rep.problems.push_back("catalog: " + catalog.status().description());
        return rep;
    }
    for (const auto& e : catalog.value()) {
        if ((e.type & 0x7F) != 1 || e.parentId != 0x0F000001u) continue;
        auto t = readTableModel(w.store(), e.id & 0x00FFFFFF);
        if (!t.isOk()) {
            rep.problems.push_back(e.name + ": " + t.status().description());
            continue;
        }
        auto rows = w.scanTable(t.value());
        if (!rows.isOk()) {
            rep.problems.push_back(e.name + ": " + rows.status().description());
            continue;
        }
        if (rowCounts && rows->size() != t->rowCount)
            rep.problems.push_back(e.name + ": definition counts " + std::to_string(t->rowCount) + " rows, pages hold " +
                                   std::to_string(rows->size()));
        for (size_t r = 0; r < t->realIndexes.size(); ++r) {
            const auto& ri = t->realIndexes[r];
            std::vector<std::string> expected;
            bool skip = false;
            for (const auto& row : rows.value()) {
                bool allNull = false;
                auto key = indexKey(t.value(), r, row.cells, &allNull);
                if (!key.isOk()) {
                    skip = true;
                    break;
                }
                if (ri.ignoreNulls() && allNull) continue;
                expected.push_back(makeLeafEntry(key.value(), row.page, row.row));
            }
            if (skip) {
                ++rep.indexesSkipped;
                continue;
            }
            std::sort(expected.begin(), expected.end());
            auto actual = readIndexEntries(w.store(), ri.rootPage);
            if (!actual.isOk()) {
                rep.problems.push_back(e.name + " index " + std::to_string(r) + ": " + actual.status().description());
                continue;
            }
            std::vector<std::string> problems;
            walk(w.store(), ri.rootPage, 0, problems);
            for (auto& p : problems) rep.problems.push_back(e.name + " index " + std::to_string(r) + ": " + p);
            if (actual.value() != expected) {
                size_t i = 0;
                while (i < expected.size() && i < actual->size() && expected[i] == actual.value()[i]) ++i;
                rep.problems.push_back(e.name + " index " + std::to_string(r) + ": entries differ from the rows (" +
                                       std::to_string(expected.size()) + " expected, " + std::to_string(actual->size()) +
                                       " found, first difference at " + std::to_string(i) + ")");
            }
            ++rep.indexesChecked;
        }
    }
    return rep;
}

int run(const std::string& command, std::string* out) {
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int status = ::pclose(p);
    if (out) *out = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string tempDir(const std::string& name) {
    fs::path p = fs::path(VELTRANO_BINARY_DIR) / "writer-tests" / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p.string();
}

bool copyFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

std::string oracleDir() { return std::string(VELTRANO_SOURCE_DIR) + "/tests/oracle"; }

bool haveNodeOracle() {
    return fs::exists(oracleDir() + "/node_modules/mdb-reader") && fs::exists(oracleDir() + "/dump.mjs") &&
           run("node --version > /dev/null 2>&1") == 0;
}

std::string dumpExport(const std::string& file, const std::string& table, const std::string& password) {
    std::string out;
    std::string pw = password.empty() ? "" : " --password " + shellQuote(password);
    run("TZ=UTC node " + shellQuote(oracleDir() + "/dump.mjs") + " " + shellQuote(file) + pw + " export " +
            shellQuote(table) + " 2>&1",
        &out);
    return out;
}

std::string dumpTables(const std::string& file, const std::string& password) {
    std::string out;
    std::string pw = password.empty() ? "" : " --password " + shellQuote(password);
    run("TZ=UTC node " + shellQuote(oracleDir() + "/dump.mjs") + " " + shellQuote(file) + pw + " tables 2>&1", &out);
    return out;
}

std::string dumpAll(const std::string& file, const std::string& password) {
    std::string out, tables;
    run("TZ=UTC node " + shellQuote(std::string(VELTRANO_SOURCE_DIR) + "/tests/access/writer_dump_all.mjs") + " " +
            shellQuote(file) + " " + shellQuote(password) + " 2>&1",
        &out);
    run("mdb-tables -1 " + shellQuote(file) + " 2>&1", &tables);
    std::istringstream lines(tables);
    for (std::string t; std::getline(lines, t);) {
        std::string mdb;
        run("mdb-export " + shellQuote(file) + " " + shellQuote(t) + " 2>&1", &mdb);
        out += "-- " + t + "\n" + mdb;
    }
    return out;
}

std::string readLongValue(const std::string& file, const std::string& table, int row, int column) {
    auto db = Database::open(file);
    if (!db.isOk()) return "<error " + db.status().description() + ">";
    auto cursor = db.value()->openCursor(table);
    if (!cursor.isOk()) return "<error " + cursor.status().description() + ">";
    for (int i = 0; cursor.value()->next(); ++i)
        if (i == row) return cursor.value()->value(static_cast<size_t>(column)).bytes;
    return "<error no row " + std::to_string(row) + " " + cursor.value()->status().description() + ">";
}

std::string readTable(const std::string& file, const std::string& table, const std::string& password) {
    OpenOptions options;
    if (!password.empty()) options.password = password;
    auto db = Database::open(file, options);
    if (!db.isOk()) return "<error " + db.status().description() + ">";
    auto cursor = db.value()->openCursor(table);
    if (!cursor.isOk()) return "<error " + cursor.status().description() + ">";
    std::string out;
    while (cursor.value()->next()) {
        for (const Value& v : cursor.value()->values()) {
            switch (v.kind) {
                case ValueKind::Null: out += "NULL"; break;
                case ValueKind::Single: case ValueKind::Double: case ValueKind::DateTime: {
                    char buf[40];
                    std::snprintf(buf, sizeof buf, "%.17g", v.real);
                    out += buf;
                    break;
                }
                case ValueKind::Text: case ValueKind::Binary: case ValueKind::Guid: case ValueKind::Decimal:
                    out += v.bytes.size() > 40 ? v.bytes.substr(0, 40) + "..." : v.bytes;
                    break;
                default: out += std::to_string(v.integer);
            }
            out += "|";
        }
        out += "\n";
    }
    if (!cursor.value()->status().isOk()) out += "<error " + cursor.value()->status().description() + ">";
    return out;
}

}  // namespace writer_test
