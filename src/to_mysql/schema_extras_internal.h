// Pieces shared by the files that carry relationships, views and column
// rules (schema_extras.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "access/provider/provider.h"
#include "common/conversion_session.h"

namespace veltrano {
class MYSQL_CONNECTION;
}

namespace veltrano::tomysql::extras {

class Target {
public:
    Target(ConversionSession& s, MYSQL_CONNECTION& mysql) : s_(s), mysql_(mysql) {}

    ConversionSession& session() { return s_; }
    // The name a table or column has in MySQL.
    std::string name(const std::string& accessName) const;
    static std::string quoted(const std::string& mysqlName);

    // Runs a statement; "" on success, else the server's error text.
    std::string run(const std::string& sql);
    // The rows of a query, every value as text (NULL as nullopt); nullopt
    // when the query fails.
    std::optional<std::vector<std::vector<std::optional<std::string>>>> rows(const std::string& sql);
    // True when the MySQL error of the last run() was this number.
    int32_t lastError() const { return lastError_; }

    // The Access table was converted in this run.
    bool convertedNow(const std::string& accessTable) const;
    // The table exists in the target database (converted now, or there
    // before when appending).
    bool inTarget(const std::string& accessTable);

    void notCarried(const std::string& table, const std::string& item, const std::string& reason) {
        s_.notCarried.push_back({table, item, reason});
    }
    void carried(const std::string& table, const std::string& item) { s_.carriedExtras.push_back({table, item}); }

private:
    ConversionSession& s_;
    MYSQL_CONNECTION& mysql_;
    int32_t lastError_ = 0;
};

// A MySQL identifier of at most 64 characters made from `base`.
std::string constraintName(const std::string& base, int attempt);

void carryColumnRules(Target& target, access::Connection& source);
void carryForeignKeys(Target& target, access::Connection& source);
void carryViews(Target& target, access::Connection& source);

}  // namespace veltrano::tomysql::extras
