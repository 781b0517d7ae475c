// Jet SQL to MySQL, statement by statement: what each construct becomes and
// what is refused, with its reason.
#include <gtest/gtest.h>

#include "to_mysql/jet_sql_translation.h"

namespace veltrano::tomysql {
namespace {

struct Case {
    const char* jet;
    const char* mysql;  // nullptr: refused, and the reason holds `reason`
    const char* reason = "";
};

void check(const Case& c, const JetTranslationOptions& options = {}) {
    JetTranslation t = translateJetSelect(c.jet, options);
    if (c.mysql) {
        EXPECT_TRUE(t.ok) << c.jet << "\n  refused: " << t.reason;
        EXPECT_EQ(t.sql, c.mysql) << c.jet;
    } else {
        EXPECT_FALSE(t.ok) << c.jet << "\n  gave: " << t.sql;
        EXPECT_NE(t.reason.find(c.reason), std::string::npos) << c.jet << "\n  reason: " << t.reason;
    }
}

TEST(JetSqlTranslation, NamesLiteralsAndOperators) {
    const Case cases[] = {
        {"SELECT [Order Details].OrderID, T!C FROM [Order Details], T;",
         "SELECT `Order Details`.`OrderID`, `T`.`C` FROM `Order Details` CROSS JOIN `T`"},
        {"SELECT a FROM t WHERE d > #1/31/95# AND e < #12/1/2003 10:30:00 PM# AND f = #2001-02-03#",
         "SELECT `a` FROM `t` WHERE (((`d` > '1995-01-31') AND (`e` < '2003-12-01 22:30:00')) AND (`f` = '2001-02-03'))"},
        {"SELECT \"it's \"\"x\"\" \\ y\" AS s FROM t", "SELECT 'it''s \"x\" \\\\ y' AS `s` FROM `t`"},
        {"SELECT a & \" \" & b AS n FROM t", "SELECT CONCAT(COALESCE(`a`, ''), ' ', COALESCE(`b`, '')) AS `n` FROM `t`"},
        {"SELECT a & b AS n FROM t",
         "SELECT (CASE WHEN `a` IS NULL AND `b` IS NULL THEN NULL ELSE CONCAT(COALESCE(`a`, ''), COALESCE(`b`, '')) END) "
         "AS `n` FROM `t`"},
        // Access's order: ^ before unary minus, \ after *, & after +.
        {"SELECT -2^2 AS p, 7 \\ 2 * 3 AS q, 1 + 2 & 3 AS r, 7 Mod 3 AS m FROM t",
         "SELECT (-POW(2, 2)) AS `p`, (ROUND(7) DIV ROUND((2 * 3))) AS `q`, CONCAT(COALESCE((1 + 2), ''), 3) AS `r`, "
         "MOD(ROUND(7), ROUND(3)) AS `m` FROM `t`"},
        {"SELECT a FROM t WHERE b = True OR c = No OR d Is Not Null OR e Not Between 1 And 2 OR f In (1,2)",
         "SELECT `a` FROM `t` WHERE (((((`b` = TRUE) OR (`c` = FALSE)) OR (`d` IS NOT NULL)) OR (`e` NOT BETWEEN 1 AND 2))"
         " OR (`f` IN (1, 2)))"},
        {"SELECT a FROM t WHERE x Eqv y AND NOT z", "SELECT `a` FROM `t` WHERE (NOT (`x` XOR (`y` AND (NOT `z`))))"},
        {"SELECT &H1F AS h FROM t", "SELECT 31 AS `h` FROM `t`"},
    };
    for (const auto& c : cases) check(c);
}

TEST(JetSqlTranslation, LikePatterns) {
    const Case cases[] = {
        {"SELECT a FROM t WHERE a Like \"A*b?c\"", "SELECT `a` FROM `t` WHERE (`a` LIKE 'A%b_c')"},
        {"SELECT a FROM t WHERE a Not Like '50%_[*]'", "SELECT `a` FROM `t` WHERE (`a` NOT LIKE '50\\\\%\\\\_*')"},
        {"SELECT a FROM t WHERE a Like \"*\" & [b] & \"*\"",
         "SELECT `a` FROM `t` WHERE (`a` LIKE CONCAT('%', COALESCE(REPLACE(REPLACE(REPLACE(REPLACE(`b`, '%', '\\\\%'), "
         "'_', '\\\\_'), '*', '%'), '?', '_'), ''), '%'))"},
        {"SELECT a FROM t WHERE a Like \"[a-c]*\"", nullptr, "character class"},
        {"SELECT a FROM t WHERE a Like \"##\"", nullptr, "any digit"},
    };
    for (const auto& c : cases) check(c);
}

TEST(JetSqlTranslation, Functions) {
    const Case cases[] = {
        {"SELECT IIf(IsNull(a),Nz(b),Nz(c,0)) AS x FROM t",
         "SELECT IF((`a` IS NULL), COALESCE(`b`, ''), COALESCE(`c`, 0)) AS `x` FROM `t`"},
        {"SELECT Year(Date()) AS y, Month(Now()) AS m, Day(d) AS dd FROM t",
         "SELECT YEAR(CURDATE()) AS `y`, MONTH(NOW()) AS `m`, DAY(`d`) AS `dd` FROM `t`"},
        {"SELECT Left(s,2) AS a, Right(s,1) AS b, Mid(s,2,3) AS c, Len(s) AS d, UCase(Trim(s)) AS e, LCase(s) AS f FROM t",
         "SELECT LEFT(`s`, 2) AS `a`, RIGHT(`s`, 1) AS `b`, SUBSTRING(`s`, 2, 3) AS `c`, CHAR_LENGTH(`s`) AS `d`, "
         "UPPER(TRIM(`s`)) AS `e`, LOWER(`s`) AS `f` FROM `t`"},
        {"SELECT Format(d,\"yyyy\") AS y, Format(d,\"dd/mm/yyyy hh:nn\") AS s, Format(d,\"mmm d, yyyy h:mm AM/PM\") AS u FROM t",
         "SELECT DATE_FORMAT(`d`, '%Y') AS `y`, DATE_FORMAT(`d`, '%d/%m/%Y %H:%i') AS `s`, "
         "DATE_FORMAT(`d`, '%b %e, %Y %l:%i %p') AS `u` FROM `t`"},
        {"SELECT Format(n,\"0.00\") AS a, Format(n,\"#,##0\") AS b, Format(n,\"Standard\") AS c FROM t",
         "SELECT CAST(CAST(`n` AS DECIMAL(65,2)) AS CHAR) AS `a`, FORMAT(`n`, 0) AS `b`, FORMAT(`n`, 2) AS `c` FROM `t`"},
        {"SELECT DatePart(\"q\",[OrderDate],1,0) AS q FROM t", "SELECT QUARTER(`OrderDate`) AS `q` FROM `t`"},
        {"SELECT Sum(CCur([UnitPrice]*[Quantity])) AS s, Count(*) AS n FROM t",
         "SELECT SUM(CAST((`UnitPrice` * `Quantity`) AS DECIMAL(19,4))) AS `s`, COUNT(*) AS `n` FROM `t`"},
        {"SELECT First(a) AS f FROM t", nullptr, "the function First"},
        {"SELECT Format(d,\"ww\") AS w FROM t", nullptr, "Format pattern"},
        {"SELECT Left(a) AS f FROM t", nullptr, "arguments"},
    };
    for (const auto& c : cases) check(c);
}

TEST(JetSqlTranslation, StatementShapes) {
    const Case cases[] = {
        // Access's nested joins, outer joins and a self join by alias.
        {"SELECT Orders.OrderID FROM Shippers INNER JOIN ((Customers INNER JOIN Orders ON Customers.CustomerID = "
         "Orders.CustomerID) LEFT JOIN [Order Details] AS od ON Orders.OrderID = od.OrderID) ON Shippers.ShipperID = "
         "Orders.ShipVia;",
         "SELECT `Orders`.`OrderID` FROM `Shippers` INNER JOIN ((`Customers` INNER JOIN `Orders` ON (`Customers`.`CustomerID` = "
         "`Orders`.`CustomerID`)) LEFT JOIN `Order Details` AS `od` ON (`Orders`.`OrderID` = `od`.`OrderID`)) ON "
         "(`Shippers`.`ShipperID` = `Orders`.`ShipVia`)"},
        {"SELECT DISTINCTROW TOP 10 Products.ProductName, Products.UnitPrice FROM Products ORDER BY Products.UnitPrice DESC;",
         "SELECT `Products`.`ProductName`, `Products`.`UnitPrice` FROM `Products` ORDER BY `Products`.`UnitPrice` DESC LIMIT 10"},
        {"SELECT DISTINCTROW Customers.Name FROM Customers RIGHT JOIN Orders ON Customers.ID = Orders.CID", nullptr,
         "DISTINCTROW"},
        // Unique output names: duplicates qualified, expressions numbered, a late * spelt out.
        {"SELECT c.Name, s.Name, a+1, c.Id, * FROM c, s",
         "SELECT `c`.`Name` AS `c.Name`, `s`.`Name` AS `s.Name`, (`a` + 1) AS `Expr1000`, `c`.`Id`, `c`.*, `s`.* FROM `c` "
         "CROSS JOIN `s`"},
        {"SELECT a FROM t GROUP BY a HAVING Count(*)>1 UNION ALL SELECT b FROM u ORDER BY 1",
         "SELECT `a` FROM `t` GROUP BY `a` HAVING (COUNT(*) > 1) UNION ALL SELECT `b` FROM `u` ORDER BY 1"},
        {"SELECT x.a FROM [SELECT a FROM t]. AS x WHERE x.a IN (SELECT b FROM u)",
         "SELECT `x`.`a` FROM (SELECT `a` FROM `t`) AS `x` WHERE (`x`.`a` IN (SELECT `b` FROM `u`))"},
        {"PARAMETERS [Start] DateTime; SELECT a FROM t WHERE d > [Start];", nullptr, "parameters"},
        {"SELECT a FROM t WHERE d > [Forms]![Dialog]![Start]", nullptr, "form"},
        {"TRANSFORM Count(a) SELECT b FROM t GROUP BY b PIVOT c;", nullptr, "crosstab"},
        {"SELECT a INTO n FROM t", nullptr, "makes a table"},
        {"UPDATE t SET a = 1", nullptr, "action query"},
        {"SELECT a FROM t IN 'other.mdb'", nullptr, "another database"},
        {"SELECT TOP 5 PERCENT a FROM t", nullptr, "PERCENT"},
        {"SELECT a FROM [t", nullptr, "not closed"},
        {"SELECT a WHERE a = 1", nullptr, "expected FROM"},
    };
    const std::string deep = "SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')') + " AS x FROM t";
    check({deep.c_str(), nullptr, "nests too deeply"});
    const std::string deepFrom = "SELECT a FROM " + std::string(100000, '(') + "t" + std::string(100000, ')');
    check({deepFrom.c_str(), nullptr, "nests too deeply"});
    for (const auto& c : cases) check(c);
}

TEST(JetSqlTranslation, NamesMappedAndSourcesListed) {
    JetTranslationOptions options;
    options.mapName = [](std::string_view n) {
        std::string s(n);
        for (auto& c : s)
            if (c == ' ') c = '_';
        return s;
    };
    options.isYesNo = [](std::string_view, std::string_view column) { return column == "Discontinued"; };
    JetTranslation t = translateJetSelect(
        "SELECT [Product Name] FROM Products INNER JOIN [Order Subtotals] ON Products.ID = [Order Subtotals].ID "
        "WHERE Products.Discontinued = -1 AND Products.Stock = -1",
        options);
    ASSERT_TRUE(t.ok) << t.reason;
    EXPECT_EQ(t.sql,
              "SELECT `Product_Name` FROM `Products` INNER JOIN `Order_Subtotals` ON (`Products`.`ID` = "
              "`Order_Subtotals`.`ID`) WHERE ((`Products`.`Discontinued` = TRUE) AND (`Products`.`Stock` = (-1)))");
    EXPECT_EQ(t.sources, (std::vector<std::string>{"Products", "Order Subtotals"}));
}

TEST(JetSqlTranslation, ValidationRulesApplyToTheirColumn) {
    const std::pair<const char*, const char*> cases[] = {
        {">0", "(`Qty` > 0)"},
        {"Between 1 And 9", "(`Qty` BETWEEN 1 AND 9)"},
        {"Is Null Or >=#1/1/2000#", "((`Qty` IS NULL) OR (`Qty` >= '2000-01-01'))"},
        {"Like \"A*\" And Not Like \"*Z\"", "((`Qty` LIKE 'A%') AND (`Qty` NOT LIKE '%Z'))"},
        {"In (\"a\",\"b\")", "(`Qty` IN ('a', 'b'))"},
        {"[Qty]<[Max]", "(`Qty` < `Max`)"},
    };
    for (const auto& [rule, sql] : cases) {
        JetTranslation t = translateValidationRule(rule, "Qty");
        EXPECT_TRUE(t.ok) << rule << ": " << t.reason;
        EXPECT_EQ(t.sql, sql) << rule;
    }
    EXPECT_FALSE(translateValidationRule("StrComp([Qty],\"x\")=0", "Qty").ok);
    EXPECT_FALSE(translateValidationRule(">#13/45/2000#", "Qty").ok);
}

}  // namespace
}  // namespace veltrano::tomysql
