// veltrano-cli tables FILE [--password PW]: the user tables, one a line, in
// catalog order.
#include <iostream>

#include "access/read/database.h"
#include "app/cli_command.h"

namespace veltrano::cli {

namespace {

int runTables(const std::vector<std::string>& args) {
    Options o(args, {"password"}, {});
    if (!o.ok()) return fail(kExitUsage, o.error());
    if (o.positional().size() != 1) return fail(kExitUsage, "usage: tables FILE [--password PW]");
    access::OpenOptions opts;
    if (o.has("password")) opts.password = o.value("password");
    auto db = access::Database::open(o.positional()[0], opts);
    if (!db.isOk()) return fail(kExitFailure, db.status().toString());
    for (const auto* t : (*db)->userTables()) std::cout << t->name << "\n";
    // Linked tables are not read: named on standard error, so the list stays the tables that are.
    for (const auto* t : (*db)->linkedTables())
        std::cerr << "veltrano-cli: " << t->name << " is " << t->linkDescription() << " (not read)\n";
    std::cout.flush();
    if (!std::cout) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"tables", "tables FILE [--password PW]   list the user tables of an Access file",
                            &runTables}};

}  // namespace

}  // namespace veltrano::cli
