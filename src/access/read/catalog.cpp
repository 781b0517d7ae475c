// Catalog reading; see catalog.h.
#include "access/read/catalog.h"

#include "access/read/table.h"

namespace veltrano::access {

Result<std::vector<CatalogEntry>> readCatalog(Pager& pager) {
    auto def = loadTableDef(pager, catalog_const::kCatalogTdefPage);
    if (!def.isOk()) return Status::corruption("cannot read the catalog: " + def.status().description(), def.status().page());
    auto shared = std::make_shared<TableDef>(std::move(*def));

    // Only decode the columns we use: a damaged blob elsewhere must not hide the tables.
    auto keep = std::make_shared<TableDef>(*shared);
    keep->columns.clear();
    const char* wanted[] = {"Id", "ParentId", "Name", "Type", "Flags", "LvProp", "Database", "ForeignName", "Connect"};
    int index[9];
    for (int i = 0; i < 9; ++i) {
        const ColumnDef* c = shared->columnByName(wanted[i]);
        if (!c && i < 5) return Status::corruption(std::string("the catalog has no ") + wanted[i] + " column", 2);
        index[i] = -1;
        if (c) {
            index[i] = static_cast<int>(keep->columns.size());
            keep->columns.push_back(*c);
        }
    }

    std::vector<CatalogEntry> out;
    TableCursor cursor(pager, keep);
    while (cursor.next()) {
        CatalogEntry e;
        const Value& id = cursor.value(static_cast<size_t>(index[0]));
        const Value& parent = cursor.value(static_cast<size_t>(index[1]));
        const Value& name = cursor.value(static_cast<size_t>(index[2]));
        const Value& type = cursor.value(static_cast<size_t>(index[3]));
        const Value& flags = cursor.value(static_cast<size_t>(index[4]));
        e.id = static_cast<int32_t>(id.integer);
        e.parentId = static_cast<int32_t>(parent.integer);
        e.name = name.bytes;
        e.type = static_cast<int16_t>(type.integer);
        e.flags = static_cast<uint32_t>(flags.integer);
        if (index[5] >= 0) e.properties = cursor.value(static_cast<size_t>(index[5])).bytes;
        if (e.isLinkedTable()) {
            int where = e.kind() == catalog_const::kTypeLinkedJet ? index[6] : index[8];
            if (where >= 0) e.linkedDatabase = cursor.value(static_cast<size_t>(where)).bytes;
            if (index[7] >= 0) e.foreignName = cursor.value(static_cast<size_t>(index[7])).bytes;
        }
        out.push_back(std::move(e));
        if (out.size() > 1000000) return Status::corruption("the catalog is implausibly large", 2);
    }
    if (!cursor.status().isOk())
        return Status::make(cursor.status().category(), "cannot read the catalog: " + cursor.status().description(),
                            cursor.status().page());
    return out;
}

std::string CatalogEntry::linkDescription() const {
    return "linked to table '" + (foreignName.empty() ? name : foreignName) + "' in " +
           (linkedDatabase.empty() ? std::string("another database") : "'" + linkedDatabase + "'");
}

}  // namespace veltrano::access
