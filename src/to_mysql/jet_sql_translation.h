// Translation of Access (Jet) SQL into MySQL, for saved select queries that
// become views and validation rules that become CHECK constraints. Pure text
// work: no file and no server.
//
// What translates: bracketed and ! qualified names, "..." and '...' texts,
// #m/d/y# date literals, True/False/Yes/No/On/Off, the operators (& as a
// null-tolerant CONCAT, ^ as POW, \ and Mod on rounded operands, Eqv, Imp),
// Like with * ? wildcards, Is [Not] Null, Between, In (lists and
// subqueries), the common functions (IIf, Nz, IsNull, Date, Now, Time,
// Year..Second, Left, Right, Mid, Len, Trim, UCase, LCase, Format with
// common date and number patterns, DatePart, aggregates, a few more),
// SELECT with DISTINCT, DISTINCTROW where it changes nothing, TOP n (as
// LIMIT, with ORDER BY), joins nested in Access's parentheses, derived
// tables, GROUP BY, HAVING, ORDER BY, UNION [ALL]. Everything else (a
// parameter, a crosstab, an action query, an unknown function, a LIKE
// pattern with a character class, ...) is refused with the reason.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrano::tomysql {

struct JetTranslation {
    bool ok = false;
    std::string sql;     // MySQL text when ok
    std::string reason;  // why not, when refused
    // Tables and queries the statement reads (FROM and joins), as named in
    // the Jet text; a view must come after the views among them.
    std::vector<std::string> sources;
};

struct JetTranslationOptions {
    // The MySQL name of a table, column or alias (say, blanks turned to "_").
    std::function<std::string(std::string_view)> mapName;
    // True when the column (qualifier may be empty) is a Yes/No column, so
    // that Access's True (-1) compares as MySQL's 1.
    std::function<bool(std::string_view qualifier, std::string_view column)> isYesNo;
    // The columns of a table (or saved query), in order; nullopt when not
    // known. Given, T.* and * are spelt out so that repeated names can be
    // told apart, as a view's columns must be.
    std::function<std::optional<std::vector<std::string>>(std::string_view table)> columnsOf;
};

// A whole statement: SELECT ... [UNION ...], without a trailing ';' in the
// result.
JetTranslation translateJetSelect(std::string_view jet, const JetTranslationOptions& options = {});

// A column's validation rule as a condition on that column: a rule that
// starts with an operator (">0", "Between 1 And 9", "Is Null Or Like 'A*'")
// applies to the column, as Access applies it. With no column (a table's
// rule) the rule must name its columns.
JetTranslation translateValidationRule(std::string_view rule, std::string_view column,
                                       const JetTranslationOptions& options = {});

}  // namespace veltrano::tomysql
