// The small Jet SQL dialect the writer runs: CREATE TABLE, CREATE [UNIQUE]
// INDEX and DROP TABLE, with bracketed or bare names. A column definition
// may end in NOT NULL / NULL / PRIMARY KEY and DEFAULT followed by a number
// (-1.5, 2e3), a quoted text ('it''s') or a function call or word
// (GenGUID(), Now(), True). Every rejection is a
// BadCommand status (0x80040E14) whose description names the problem.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "access/format/format.h"
#include "access/base/status.h"

namespace veltrano::access {

struct SqlColumn {
    std::string name;
    std::string typeWord;   // as written, lower-cased, without arguments
    std::vector<int> args;  // (n) or (p, s)
    bool notNull = false;
    bool hasDefault = false;
    std::string defaultValue;  // DEFAULT's literal or expression, as written
};

// A column type as the engine stores it.
struct ColumnSpec {
    ColumnType type = ColumnType::Long;
    uint16_t length = 0;  // bytes
    bool fixed = true;
    bool autoNumber = false;  // long: identity; guid: new GUID per row
    bool required = false;    // NOT NULL
    uint8_t precision = 0, scale = 0;
};

struct CreateTableStmt {
    std::string table;
    std::vector<SqlColumn> columns;
    std::string primaryKeyName;  // "" when there is no primary key
    std::vector<std::string> primaryKey;
    struct Unique {
        std::string name;
        std::vector<std::string> columns;
    };
    std::vector<Unique> uniques;
};

struct CreateIndexStmt {
    bool unique = false;
    bool primary = false;   // WITH PRIMARY
    bool disallowNull = false, ignoreNull = false;
    std::string name, table;
    std::vector<std::pair<std::string, bool>> columns;  // name, ascending
};

struct DropTableStmt {
    std::string table;
};

using JetStatement = std::variant<CreateTableStmt, CreateIndexStmt, DropTableStmt>;

Result<JetStatement> parseJetSql(std::string_view sql);

// The storage of a type word (integer, long, double, number, datetime,
// varchar(n), char(n), text(n), memo, identity, byte, short, smallint,
// single, currency, bit, yesno, decimal(p,s), longbinary, guid, ...).
Result<ColumnSpec> resolveColumnType(const SqlColumn& column);

// Object-name rules of Access: 1..64 characters, no . ! ` [ ], no control
// characters, no leading blank.
Status checkObjectName(const std::string& name, const char* what);

constexpr size_t kMaxNameLength = 64;

}  // namespace veltrano::access
