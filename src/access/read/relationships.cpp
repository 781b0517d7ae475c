// Reading MSysRelationships; see relationships.h.
#include "access/read/relationships.h"

#include <algorithm>
#include <map>

#include "access/read/database.h"
#include "access/format/text.h"
#include "common/names.h"

namespace veltrano::access {

namespace {

struct PairRow {
    int64_t position = 0;
    std::string referencing, referenced;
};

struct Gathered {
    Relationship rel;
    int64_t expected = 0;
    std::vector<PairRow> pairs;
};

}  // namespace

Result<std::vector<Relationship>> readRelationships(Database& db) {
    auto cursor = db.openSystemCursor("MSysRelationships");
    if (!cursor.isOk()) {
        if (cursor.status().category() == Category::NotFound) return std::vector<Relationship>{};
        return cursor.status();
    }
    const TableDef& def = (*cursor)->definition();
    const char* names[] = {"szRelationship", "grbit",      "ccolumn",           "icolumn",
                           "szObject",       "szColumn",   "szReferencedObject", "szReferencedColumn"};
    size_t at[8];
    for (size_t i = 0; i < 8; ++i) {
        const ColumnDef* c = def.columnByName(names[i]);
        if (!c) return Status::corruption(std::string("MSysRelationships has no ") + names[i] + " column");
        at[i] = static_cast<size_t>(c - def.columns.data());
    }

    std::vector<Gathered> found;
    std::map<std::string, size_t> byName;  // lower-cased name -> position in found
    TableCursor& rows = **cursor;
    while (rows.next()) {
        const std::string name = rows.value(at[0]).bytes;
        auto [it, fresh] = byName.emplace(foldedName(name), found.size());
        if (fresh) {
            Gathered g;
            g.rel.name = name;
            g.rel.flags = static_cast<uint32_t>(rows.value(at[1]).integer);
            g.rel.referencingTable = rows.value(at[4]).bytes;
            g.rel.referencedTable = rows.value(at[6]).bytes;
            g.expected = rows.value(at[2]).integer;
            found.push_back(std::move(g));
        }
        found[it->second].pairs.push_back({rows.value(at[3]).integer, rows.value(at[5]).bytes, rows.value(at[7]).bytes});
    }
    if (!rows.status().isOk()) return rows.status();

    std::vector<Relationship> out;
    for (auto& g : found) {
        const CatalogEntry* from = db.findTable(g.rel.referencingTable);
        const CatalogEntry* to = db.findTable(g.rel.referencedTable);
        if (!from || !to) continue;  // system or linked tables
        std::sort(g.pairs.begin(), g.pairs.end(), [](const PairRow& a, const PairRow& b) { return a.position < b.position; });
        for (size_t i = 0; i < g.pairs.size() && g.rel.defect.empty(); ++i)
            if (g.pairs[i].position != static_cast<int64_t>(i))
                g.rel.defect = "its stored column pairs have a missing or repeated position";
        if (g.rel.defect.empty() && static_cast<int64_t>(g.pairs.size()) != g.expected)
            g.rel.defect = "it stores " + std::to_string(g.pairs.size()) + " column pairs where it declares " +
                           std::to_string(g.expected);
        if (g.rel.defect.empty())
            for (auto& p : g.pairs) g.rel.columns.emplace_back(std::move(p.referencing), std::move(p.referenced));
        out.push_back(std::move(g.rel));
    }
    return out;
}

}  // namespace veltrano::access
