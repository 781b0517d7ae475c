#include "to_mysql/table_definitions.h"

#include <gtest/gtest.h>

#include "to_mysql/value_text.h"

namespace veltrano::tomysql {
namespace {

TypeNames jetTypeNames() {
    TypeNames t;
    t[2] = "SHORT";
    t[3] = "LONG";
    t[4] = "SINGLE";
    t[5] = "DOUBLE";
    t[6] = "CURRENCY";
    t[7] = "DATETIME";
    t[11] = "BIT";
    t[17] = "BYTE";
    t[72] = "GUID";
    t[128] = "VARBINARY";
    t[130] = "VARCHAR";
    t[131] = "DECIMAL";
    return t;
}

SchemaColumn col(int pos, std::string name, int type, std::optional<int64_t> len = {}) {
    SchemaColumn c;
    c.ordinalPosition = pos;
    c.columnName = std::move(name);
    c.dataType = type;
    c.characterMaximumLength = len;
    return c;
}

TableSchema ordersSchema() {
    TableSchema s;
    s.name = "Orders";
    SchemaColumn id = col(1, "ID", 3);
    id.isNullable = false;
    SchemaColumn paid = col(3, "Paid", 11);
    paid.hasDefault = true;
    paid.columnDefault = "No";
    // Provider order need not be ordinal order.
    s.columns = {id, paid, col(2, "Customer", 130, 50)};
    s.primaryKeyColumns = {"ID"};
    s.indexes = {{"PrimaryKey", true, true, {"ID"}}};
    s.catalogColumns = {{"ID", 3, true}, {"Customer", 202, false}, {"Paid", 11, false}};
    return s;
}

TEST(CreateTable, KeepsTheBlanksOfTheClassicStatement) {
    TableDefinition t = buildTableDefinition(ordersSchema(), jetTypeNames(), false);
    EXPECT_EQ(t.autoIncrementColumn, "ID");
    EXPECT_EQ(t.keyClauses, ", KEY (`ID`)");
    EXPECT_EQ(createTableStatement(t, false),
              "CREATE TABLE `Orders` ( `ID`INT NOT NULL  AUTO_INCREMENT  , `Customer`VARCHAR(50) , "
              "`Paid`TINYINT(1) DEFAULT 0, PRIMARY KEY (`ID`), KEY (`ID`) ) DEFAULT CHARSET=utf8mb4;");
    // The row copy reads the rewritten type names.
    EXPECT_EQ(t.columns[1].typeName, "VARCHAR(50)");
    EXPECT_EQ(t.columns[2].typeName, "TINYINT(1)");
}

TEST(CreateTable, CleansBlanksEverywhereWhenAsked) {
    TableSchema s;
    s.name = "Order Details";
    s.columns = {col(1, "Order ID", 3), col(2, "Unit Price", 6), col(3, "Long Notes", 130, 0)};
    s.primaryKeyColumns = {"Order ID"};
    s.indexes = {{"PK", true, true, {"Order ID"}}, {"By Notes", false, false, {"Unit Price", "Long Notes"}}};
    s.catalogColumns = {{"Order ID", 3, true}, {"Unit Price", 6, false}, {"Long Notes", kTypeLongText, false}};
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), true);
    EXPECT_EQ(t.keyClauses, " , KEY `By_Notes` (`Unit_Price`,`Long_Notes`(10)), KEY (`Order_ID`)");
    EXPECT_EQ(createTableStatement(t, true),
              "CREATE TABLE `Order_Details` ( `Order_ID` INT NOT NULL  AUTO_INCREMENT  , `Unit_Price` "
              "DECIMAL(19,4) , `Long_Notes` LONGTEXT, PRIMARY KEY (`Order_ID`) , KEY `By_Notes` "
              "(`Unit_Price`,`Long_Notes`(10)), KEY (`Order_ID`) ) DEFAULT CHARSET=utf8mb4;");
    // Without the option the names stay as they are, with no blank after them.
    TableDefinition raw = buildTableDefinition(s, jetTypeNames(), false);
    EXPECT_NE(createTableStatement(raw, false).find("`Order ID`INT"), std::string::npos);
}

TEST(CreateTable, IndexClausesFollowCatalogOrder) {
    TableSchema s;
    s.name = "People";
    s.columns = {col(1, "Last Name", 130, 40), col(2, "Notes", 130, 0), col(3, "Code", 130, 5)};
    s.indexes = {{"ByName", false, false, {"Last Name", "Notes"}}, {"Code", false, true, {"Code"}}};
    s.catalogColumns = {{"Last Name", 202, false}, {"Notes", kTypeLongText, false}, {"Code", 202, false}};
    EXPECT_EQ(indexClauses(s, false), " , KEY `ByName` (`Last Name`,`Notes`(10)) , UNIQUE KEY `Code` (`Code`)");
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    // No key columns: no PRIMARY KEY clause at all.
    EXPECT_EQ(createTableStatement(t, false).find("PRIMARY"), std::string::npos);
}

TEST(CreateTable, AutoIncrementNamedInAnIndexGetsNoExtraKey) {
    TableSchema s;
    s.name = "T";
    s.columns = {col(1, "ID", 3), col(2, "IDX", 3)};
    s.indexes = {{"ix", false, false, {"IDX"}}};
    s.catalogColumns = {{"ID", 3, true}, {"IDX", 3, false}};
    // "ID" occurs inside `IDX`: the check is a plain substring test.
    EXPECT_EQ(buildTableDefinition(s, jetTypeNames(), false).keyClauses, " , KEY `ix` (`IDX`)");
}

TEST(CreateTable, TypeMapAndDefaults) {
    TableSchema s;
    s.name = "T";
    auto withDefault = [](SchemaColumn c, std::string d) {
        c.hasDefault = true;
        c.columnDefault = std::move(d);
        return c;
    };
    SchemaColumn dec = col(8, "Amount", 131);
    dec.numericPrecision = 18;
    dec.numericScale = 5;
    s.columns = {withDefault(col(1, "A", 11), "False"), withDefault(col(2, "B", 11), "Yes"),
                 withDefault(col(3, "C", 11), "-1"),     withDefault(col(4, "D", 7), "Now()"),
                 col(5, "E", 72),                        col(6, "F", 128),
                 col(7, "G", 130),                       dec,
                 col(9, "H", 17),                        col(10, "I", 2),
                 col(11, "J", 4),                        col(12, "K", 5)};
    s.columns[4].isNullable = false;
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    std::string sql = createTableStatement(t, false);
    EXPECT_NE(sql.find("`A`TINYINT(1) DEFAULT 0"), std::string::npos) << sql;
    EXPECT_NE(sql.find("`B`TINYINT(1) DEFAULT 1"), std::string::npos);
    EXPECT_NE(sql.find("`C`TINYINT(1) DEFAULT 1"), std::string::npos);
    EXPECT_NE(sql.find("`D`DATETIME DEFAULT CURRENT_TIMESTAMP , "), std::string::npos);
    EXPECT_NE(sql.find("`E`BLOB , "), std::string::npos);      // binary columns are nullable
    EXPECT_NE(sql.find("`F`LONGBLOB , "), std::string::npos);  // OLE objects pass 64 KB
    EXPECT_NE(sql.find("`G`TEXT , "), std::string::npos);      // text without a length
    EXPECT_NE(sql.find("`Amount`DECIMAL(18,5) , "), std::string::npos);
    EXPECT_NE(sql.find("`H`TINYINT UNSIGNED , `I`SMALLINT , `J`FLOAT , `K`DOUBLE )"), std::string::npos);
}

TEST(CreateTable, AccessDefaultsInMySqlSyntaxOrLeftOut) {
    const ServerFeatures mysql8, old{false, true};
    struct Case {
        const char* access;
        const char* type;
        std::optional<std::string> mysql;
    } cases[] = {
        {"#1/31/2000#", "DATETIME", "'2000-01-31 00:00:00'"},
        {"#12/31/1999 2:30:05 PM#", "DATETIME", "'1999-12-31 14:30:05'"},
        {"#2000-01-31 14:30#", "DATETIME", "'2000-01-31 14:30:00'"},
        {"#1/1/0999#", "DATETIME", std::nullopt},  // before DATETIME's first year
        {"=Now()", "DATETIME", "CURRENT_TIMESTAMP"},
        {"Date()", "DATETIME", std::nullopt},
        {"Now()", "VARCHAR(20)", std::nullopt},
        {"\"say \"\"hi\"\"\"", "VARCHAR(20)", "'say \"hi\"'"},  // no double quotes: ANSI_QUOTES
        {"'it''s'", "VARCHAR(20)", "'it''s'"},
        {"\"x\"", "LONGTEXT", "('x')"},  // TEXT takes a default only as an expression
        {"-1.5", "DOUBLE", "-1.5"},
        {"42", "VARCHAR(5)", "'42'"},
        {"Yes", "INT", "1"},
        {"off", "SMALLINT", "0"},
        {"Null", "INT", ""},
        {"[Other]*2", "INT", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(mysqlDefault(c.access, c.type, mysql8), c.mysql) << c.access;
    EXPECT_EQ(mysqlDefault("\"x\"", "TEXT", old), std::nullopt);

    // Left out is named; with defaults off (the last attempt) none is written.
    TableSchema s;
    s.name = "T";
    SchemaColumn f = col(1, "F", 5);
    f.hasDefault = true;
    f.columnDefault = "[Other]*2";
    SchemaColumn g = col(2, "G", 5);
    g.hasDefault = true;
    g.columnDefault = "7";
    s.columns = {f, g};
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    std::vector<NotCarriedItem> notes;
    EXPECT_EQ(createTableStatement(t, false, &notes), "CREATE TABLE `T` ( `F`DOUBLE , `G`DOUBLE DEFAULT 7 ) DEFAULT CHARSET=utf8mb4;");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].item, "default of column F");
    TableDefinition bare = buildTableDefinition(s, jetTypeNames(), false);
    EXPECT_EQ(createTableStatement(bare, false, nullptr, {true, false}).find("DEFAULT 7"), std::string::npos);
}

TEST(CreateTable, WideTablesAndLongCompositeKeysFitMySqlLimits) {
    TableSchema s;
    s.name = "Wide";
    for (int i = 1; i <= 70; ++i) s.columns.push_back(col(i, "c" + std::to_string(i), 130, 255));
    s.catalogColumns.clear();
    for (const auto& c : s.columns) s.catalogColumns.push_back({c.columnName, 202, false});
    s.indexes.push_back({"four", false, false, {"c1", "c2", "c3", "c4"}});
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    std::vector<NotCarriedItem> notes = t.changes;
    std::string sql = createTableStatement(t, false, &notes);
    // 4 x 255 characters of utf8mb4 pass the 3072-byte key limit: 192 each.
    EXPECT_NE(sql.find("KEY `four` (`c1`(192),`c2`(192),`c3`(192),`c4`(192))"), std::string::npos) << sql;
    int text = 0;
    for (const auto& c : t.columns) text += c.typeName == "TEXT" ? 1 : 0;
    // 70 x 1022 bytes: the row fits once enough columns (none of the keyed four) are TEXT.
    EXPECT_EQ(text, 6);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(t.columns[static_cast<size_t>(i - 1)].typeName, "VARCHAR(255)");
    EXPECT_EQ(notes.size(), 4u + 6u);
}

TEST(CreateTable, KeysOverGuidAndBinaryColumnsCoverTheWholeValue) {
    TableSchema s;
    s.name = "Table4";
    s.columns = {col(1, "name", 130, 50), col(2, "data", 72), col(3, "raw", 128)};
    s.primaryKeyColumns = {"data"};
    s.indexes = {{"PK", true, true, {"data"}}, {"ByRaw", false, true, {"raw"}}};
    s.catalogColumns = {{"name", 202, false}, {"data", 72, false}, {"raw", 204, false}};
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    EXPECT_EQ(createTableStatement(t, false),
              "CREATE TABLE `Table4` ( `name`VARCHAR(50) , `data`BLOB NOT NULL  , `raw`LONGBLOB, PRIMARY KEY "
              "(`data`(38)) , UNIQUE KEY `ByRaw` (`raw`(255)) ) DEFAULT CHARSET=utf8mb4;");
}

TEST(CleanName, TurnsEveryBlankIntoAnUnderscoreOnly) {
    EXPECT_EQ(cleanName(" my  db "), "_my__db_");
    EXPECT_EQ(cleanName("a\tb-c"), "a\tb-c");
}

TEST(ValueText, EachColumnKindIsWrittenSafely) {
    auto text = [](const FieldValue& v, ValueForm f) {
        std::string out;
        appendValueText(out, v, f);
        return out;
    };
    EXPECT_EQ(text(FieldValue::null(), ValueForm::Text), "NULL");
    EXPECT_EQ(text(FieldValue("Smith"), ValueForm::Text), "'Smith'");
    EXPECT_EQ(text(FieldValue("O'Brien \"Bob\""), ValueForm::Text), "'O''Brien \"Bob\"'");
    // A backslash could be an escape in some modes: such text goes as bytes.
    EXPECT_EQ(text(FieldValue("a\\b"), ValueForm::Text), "_utf8mb4 X'615C62'");
    EXPECT_EQ(text(FieldValue(std::string("\x01\x00", 2)), ValueForm::Binary), "X'0100'");
    EXPECT_EQ(text(FieldValue::dateTime(37748.604166666664), ValueForm::DateTime), "'2003-05-07 14:30:00'");
    EXPECT_EQ(text(FieldValue::dateTime(37748.0), ValueForm::DateTime), "'2003-05-07 00:00:00'");
    EXPECT_EQ(text(FieldValue::dateTime(0.5), ValueForm::DateTime), "'1899-12-30 12:00:00'");
    EXPECT_EQ(text(FieldValue::boolean(true), ValueForm::Boolean), "1");
    EXPECT_EQ(text(FieldValue("false"), ValueForm::Boolean), "0");
    EXPECT_EQ(text(FieldValue(-12.25), ValueForm::Plain), "-12.25");
    EXPECT_EQ(text(FieldValue("1234.5678"), ValueForm::Plain), "1234.5678");
    // Text that is not a number cannot reach the statement unquoted.
    EXPECT_EQ(text(FieldValue("1); DROP TABLE t"), ValueForm::Plain), "'1); DROP TABLE t'");
    EXPECT_EQ(valueFormFor("VARCHAR(50)"), ValueForm::Text);
    EXPECT_EQ(valueFormFor("DECIMAL(19,4)"), ValueForm::Plain);
}

TEST(ValueText, ExtendedDatesAreCutToTheMicrosecondAndEarlyYearsRefused) {
    const ValueForm f = valueFormFor("DATETIME(6)");
    std::string out;
    // Rounding would carry into the next day.
    appendValueText(out, FieldValue("2020-12-31 23:59:59.9999999"), f);
    EXPECT_EQ(out, "'2020-12-31 23:59:59.999999'");
    EXPECT_TRUE(hasSubMicrosecond(FieldValue("2020-12-31 23:59:59.9999999")));
    EXPECT_FALSE(hasSubMicrosecond(FieldValue("2020-12-31 23:59:59.1234560")));
    EXPECT_EQ(unsendableReason(FieldValue("1000-01-01 00:00:00"), f), "");
    EXPECT_NE(unsendableReason(FieldValue("0999-12-31 00:00:00"), f).find("outside the years 1000 to 9999"),
              std::string::npos);
}

TEST(CreateTable, CalculatedColumnKeepsItsExpressionAsAQuotedComment) {
    TableSchema s = ordersSchema();
    s.columns[2].comment = "[First] & ' ' & [Last]";
    s.columns[1].comment = std::string(1030, 'x');
    TableDefinition t = buildTableDefinition(s, jetTypeNames(), false);
    std::vector<NotCarriedItem> notes;
    const std::string sql = createTableStatement(t, false, &notes);
    EXPECT_NE(sql.find("`Customer`VARCHAR(50) COMMENT '[First] & '' '' & [Last]'"), std::string::npos) << sql;
    // MySQL refuses a comment past 1024 characters: it is cut, and named.
    EXPECT_NE(sql.find("COMMENT '" + std::string(1024, 'x') + "'"), std::string::npos);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].item, "comment of column Paid");
}

}  // namespace
}  // namespace veltrano::tomysql
