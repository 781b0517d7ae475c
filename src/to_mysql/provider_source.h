// AccessSource over the Access engine's provider facade: the schema lists,
// the table catalog and the two queries of an open access::Connection.
#pragma once

#include <string>

#include "access/provider/provider.h"
#include "to_mysql/access_source.h"

namespace veltrano::tomysql {

// The connection text the first page builds.
std::string accessConnectionString(const std::string& path, bool usePassword, const std::string& password);

class ProviderSource : public AccessSource {
public:
    explicit ProviderSource(access::Connection& connection) : cnn_(connection) {}

    access::Result<std::vector<std::string>> tableNames() override;
    TypeNames typeNames() override;
    access::Status readSchema(const std::string& table, TableSchema& schema) override;
    access::Result<int64_t> countRows(const std::string& table) override;
    access::Result<std::unique_ptr<SourceRows>> openRows(const std::string& table) override;
    access::Connection* engine() override { return &cnn_; }

private:
    access::Connection& cnn_;
};

// Exact cell text of a typed value as the run sends it: currency and
// decimals as exact decimal text, GUIDs as "{...}", binary as bytes.
FieldValue sendableValue(const access::Value& v);

}  // namespace veltrano::tomysql
