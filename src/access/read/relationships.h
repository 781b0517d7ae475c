// Relationships between tables, as MSysRelationships stores them: one row per
// column pair {szRelationship, grbit, ccolumn, icolumn, szObject, szColumn,
// szReferencedObject, szReferencedColumn}. szObject is the referencing
// ("many") table, szReferencedObject the referenced ("one") table; rows of
// one relationship share its name and grbit and are ordered by icolumn.
//
// grbit bits: 0x1 one-to-one, 0x2 integrity not enforced, 0x4 inherited from
// a linked database, 0x100 cascade updates, 0x1000 cascade deletes, 0x2000
// deletes set the referencing columns to null. Access enforces a
// relationship through a pair of foreign-key logical indexes (one in each
// table's definition); those indexes are bookkeeping, not user indexes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "access/base/status.h"
#include "access/format/tdef.h"

namespace veltrano::access {

class Database;

namespace relationship_flag {
constexpr uint32_t kOneToOne = 0x1;
constexpr uint32_t kNotEnforced = 0x2;
constexpr uint32_t kInherited = 0x4;
constexpr uint32_t kCascadeUpdate = 0x100;
constexpr uint32_t kCascadeDelete = 0x1000;
constexpr uint32_t kCascadeSetNull = 0x2000;
}  // namespace relationship_flag

struct Relationship {
    std::string name;
    uint32_t flags = 0;
    std::string referencingTable;   // the "many" side
    std::string referencedTable;    // the "one" side
    // {referencing column, referenced column}, in key order.
    std::vector<std::pair<std::string, std::string>> columns;
    // Set when the stored rows contradict each other (a missing or repeated
    // column position); `columns` is then empty and the relationship must
    // not be carried.
    std::string defect;

    bool enforced() const { return (flags & relationship_flag::kNotEnforced) == 0; }
    bool cascadeUpdate() const { return flags & relationship_flag::kCascadeUpdate; }
    bool cascadeDelete() const { return flags & relationship_flag::kCascadeDelete; }
    bool cascadeSetNull() const { return flags & relationship_flag::kCascadeSetNull; }
};

// The relationships between the file's user tables, in the order their first
// row is stored. Relationships that touch a system or linked table are left
// out. A file without MSysRelationships has none.
Result<std::vector<Relationship>> readRelationships(Database& db);

// True for the logical indexes Access keeps only to enforce a relationship:
// foreign-key indexes, on either side.
inline bool isRelationshipIndex(const LogicalIndexDef& index) { return index.isForeignKey(); }

}  // namespace veltrano::access
