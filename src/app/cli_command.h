// The batch tool's commands register themselves here; cli_main dispatches.
//
// Exit codes (a public interface): 0 success, 1 the command failed or the run
// ended with refused rows or errors, 2 usage error.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace veltrano::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;     // first word on the command line
    const char* synopsis; // one line for the overview of `veltrano-cli --help`
    int (*run)(const std::vector<std::string>& args);  // args after the command word
    const char* details;  // what the options mean, for `veltrano-cli COMMAND --help`
};

// Static registrar: `static Registrar r{{"tables", "...", &runTables, "..."}};`
struct Registrar {
    explicit Registrar(Command c);
};

const std::vector<Command>& commands();

// Prints a command's full usage (synopsis, then details) on standard output.
void printUsage(const Command& c);

// Small option parser shared by the commands: "--name value", "--name=value"
// and bare flags. Unknown options and missing values are usage errors.
// "--help" or "-h" where an option may stand asks for the command's usage.
class Options {
public:
    // valueOptions take a value; flagOptions do not. aliases are older
    // spellings {old, current}: an option given by its old name is stored
    // under its current one.
    Options(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
            std::vector<std::string> flagOptions, std::vector<std::pair<std::string, std::string>> aliases = {});
    // False after a usage error and when the usage was asked for.
    bool ok() const { return error_.empty() && !helpAsked_; }
    bool helpAsked() const { return helpAsked_; }
    const std::string& error() const { return error_; }
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::vector<std::string> positional_;
    std::string error_;
    bool helpAsked_ = false;
};

// For a command whose Options are not ok(): prints the command's usage and
// returns 0 when it was asked for, else reports the usage error (exit 2).
int usageOrError(const Options& o);

// The options through which a password is given without showing it on the
// command line: NAME (the password itself), NAME-env VAR (taken from the
// environment variable VAR) and NAME-stdin (the first line of standard input).
struct SecretOptions {
    std::vector<std::string> values;  // NAME, NAME-env
    std::vector<std::string> flags;   // NAME-stdin
};
SecretOptions secretOptions(const std::string& name);

// The Access password options of every command that opens an Access file:
// --db-password, --db-password-env, --db-password-stdin.
inline constexpr const char* kAccessPassword = "db-password";

// Reads the secret given through the options of secretOptions(name). Sets
// `given` when one of them was used. Returns an empty text, or the usage
// error to report (two ways at once, an unset variable, standard input read
// twice or empty).
std::string readSecret(const Options& o, const std::string& name, std::string& secret, bool& given);

// The MySQL login options that to-mysql and to-access share: --port
// (default 3306) and the password, from standard input with --password-stdin,
// from the variable named by --password-env, or else from MYSQL_PWD as the
// mysql client does.
struct MysqlLogin {
    long port = 3306;
    std::string password;
};
// Fills `login`; returns an empty text, or the usage error to report.
std::string readMysqlLogin(const Options& o, MysqlLogin& login);

// "FILE: what went wrong" for a failure to open or read an Access file; the
// file is named once, also when the description already names it.
std::string fileError(const std::string& path, const std::string& description);

// "Can't connect ... (111); connection refused: is the server running ...":
// the library's text with what it means, on one line.
std::string connectError(int32_t number, const std::string& description);

// Prints "veltrano-cli: <message>" on standard error and returns `code`.
int fail(int code, const std::string& message);

}  // namespace veltrano::cli
