// Saved queries. Each is a catalog row of type 5 (its Flags & 0xF0 give the
// kind, 0x08 hides it) and a group of MSysQueries rows {ObjectId, Attribute,
// Order, Name1, Name2, Expression, Flag}. Access keeps no SQL text for most
// kinds: the statement is rebuilt from the rows, sorted by (Attribute,
// Order), since rows of one query are stored in no particular order.
//
// Attributes: 1 kind (Flag; the SQL itself for data-definition and
// pass-through queries), 2 parameter (Name1, Flag = type), 3 select flags
// (0x01 all fields, 0x02 DISTINCT, 0x04 owner access, 0x08 DISTINCTROW,
// 0x10 TOP Name1, 0x20 PERCENT; for a union 0x02 means UNION, else UNION
// ALL), 4 remote database, 5 table (Name1 table, Name2 alias, Expression a
// derived table or a union part), 6 column (Expression AS Name1; Name2 the
// target column of an update or append), 7 join (Name1, Name2, ON
// Expression, Flag 1 inner 2 left 3 right), 8 WHERE, 9 GROUP BY, 10 HAVING,
// 11 ORDER BY (Name1 "D" descending).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/base/status.h"

namespace veltrano::access {

class Database;

enum class QueryKind { Select, Crosstab, Delete, Update, Append, MakeTable, DataDefinition, PassThrough, Union, Other };

// "select", "crosstab", "delete", ... as the report names the kind.
const char* queryKindName(QueryKind kind);

struct SavedQuery {
    std::string name;
    QueryKind kind = QueryKind::Select;
    bool hidden = false;
    bool hasParameters = false;  // a PARAMETERS clause
    std::string sql;             // Jet SQL, ending in ';'
};

// One stored query row, as read; exposed for the rebuild.
struct QueryRow {
    int attribute = 0;
    std::string order;  // 4-byte big-endian position among rows of its attribute
    std::string name1, name2, expression;
    bool hasFlag = false;
    int64_t flag = 0;
    int64_t extra = 0;  // LvExtra: a text parameter's length
};

// The statement the rows of one query describe.
std::string rebuildQuerySql(QueryKind kind, std::vector<QueryRow> rows);

// The file's saved queries in catalog order, without the ones Access makes
// for forms and reports (names starting with "~").
Result<std::vector<SavedQuery>> readSavedQueries(Database& db);

}  // namespace veltrano::access
