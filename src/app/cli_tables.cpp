// veltrano-cli tables FILE [--db-password PW]: the user tables, one a line, in
// catalog order.
#include <iostream>

#include "app/cli_access_file.h"

namespace veltrano::cli {

namespace {

int runTables(const std::vector<std::string>& args) {
    Options o = withAccessPassword(args, {}, {}, true);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 1) return fail(kExitUsage, "usage: tables FILE [--db-password PW]");
    int code = kExitOk;
    auto db = openAccessFile(o, o.positional()[0], code);
    if (!db) return code;
    for (const auto* t : db->userTables()) std::cout << t->name << "\n";
    // Linked tables are not read: named on standard error, so the list stays the tables that are.
    for (const auto* t : db->linkedTables())
        std::cerr << "veltrano-cli: " << t->name << " is " << t->linkDescription() << " (not read)\n";
    std::cout.flush();
    if (!std::cout) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"tables", "tables FILE [PASSWORD OPTION]   list the user tables of an Access file",
                            &runTables, kReadingPasswordHelp}};

}  // namespace

}  // namespace veltrano::cli
