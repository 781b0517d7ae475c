// Opening an Access file from the batch tool: the password options every
// command that opens one takes, and errors that name the file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "access/provider/provider.h"
#include "access/read/database.h"
#include "app/cli_command.h"

// Help lines for the password options, a literal so that each command's
// help text can be put together at compile time.
#define VELTRANO_CLI_ACCESS_PASSWORD_HELP                                                          \
    "  --db-password PW       the Access file's database password\n"                              \
    "  --db-password-env VAR  the same, from the environment variable VAR (keeps it off the\n"     \
    "                         command line, where other users can see it)\n"                      \
    "  --db-password-stdin    the same, from the first line of standard input\n"

namespace veltrano::cli {

// The reading commands (tables, schema, export) take --password as well.
inline constexpr const char* kReadingPasswordHelp =
    "Options:\n" VELTRANO_CLI_ACCESS_PASSWORD_HELP "  --password PW          older spelling of --db-password\n";


// Parses args with the command's own options plus the Access password
// options (--db-password, --db-password-env, --db-password-stdin). With
// keepPasswordSpelling, --password is taken as the older spelling of
// --db-password (the reading commands used it first).
Options withAccessPassword(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                           std::vector<std::string> flagOptions, bool keepPasswordSpelling);

// Opens `path` for reading with the Access password of the options. On
// failure reports it (naming the file), sets exitCode and returns nullptr.
// `used`, when given, receives the options it was opened with (the password
// read once), to open the file again without asking anew.
std::unique_ptr<access::Database> openAccessFile(const Options& o, const std::string& path, int& exitCode,
                                                 access::OpenOptions* used = nullptr);

// The same through the provider facade the conversions read from.
bool openAccessConnection(const Options& o, const std::string& path, access::Connection& cnn, int& exitCode);

}  // namespace veltrano::cli
