// The system catalog: MSysObjects, whose definition is always page 2.
//
// Each object row has Id, ParentId, Name, Type, Flags and, among others,
// LvProp (the object's properties blob, see properties.h). For tables the
// low 24 bits of Id are the TDEF page. Kinds (Type & 0x7F): 1 local table,
// 4 ODBC-linked table, 5 query, 6 linked Jet table; Flags 0x80000000 or
// 0x00000002 mark system objects. The writer adds rows here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/storage/pager.h"
#include "access/base/status.h"

namespace veltrano::access {

struct CatalogEntry {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    int16_t type = 0;
    uint32_t flags = 0;
    std::string properties;  // raw LvProp blob ("" when none)
    // Linked tables: the other database (Database, or the ODBC Connect text)
    // and the table's name there (ForeignName).
    std::string linkedDatabase;
    std::string foreignName;

    uint32_t tdefPage() const { return static_cast<uint32_t>(id) & 0x00FFFFFFu; }
    int kind() const { return type & 0x7F; }
    bool isSystem() const {
        return (flags & (catalog_const::kFlagSystem | catalog_const::kFlagAltSystem)) != 0;
    }
    // A local table the user made: not system, not linked, not a query.
    bool isUserTable() const { return kind() == catalog_const::kTypeTable && !isSystem(); }
    // A table whose rows live in another database (an Access file or ODBC).
    bool isLinkedTable() const {
        return (kind() == catalog_const::kTypeLinkedJet || kind() == catalog_const::kTypeLinkedOdbc) && !isSystem();
    }
    // "linked to table T in D": where a linked table's rows live.
    std::string linkDescription() const;
};

// Every catalog row, in stored order.
Result<std::vector<CatalogEntry>> readCatalog(Pager& pager);

}  // namespace veltrano::access
