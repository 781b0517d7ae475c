// The batch tool's commands register themselves here; cli_main dispatches.
//
// Exit codes (a public interface): 0 success, 1 the command failed or the run
// ended with refused rows or errors, 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace veltrano::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;     // first word on the command line
    const char* synopsis; // one line for --help
    int (*run)(const std::vector<std::string>& args);  // args after the command word
};

// Static registrar: `static Registrar r{{"tables", "...", &runTables}};`
struct Registrar {
    explicit Registrar(Command c);
};

const std::vector<Command>& commands();

// Small option parser shared by the commands: "--name value", "--name=value"
// and bare flags. Unknown options and missing values are usage errors.
class Options {
public:
    // valueOptions take a value; flagOptions do not.
    Options(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
            std::vector<std::string> flagOptions);
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    bool has(const std::string& name) const;
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::vector<std::string> positional_;
    std::string error_;
};

// The MySQL login options that to-mysql and to-access share: --port
// (default 3306) and the password, from the variable named by --password-env
// or else from MYSQL_PWD as the mysql client does.
struct MysqlLogin {
    long port = 3306;
    std::string password;
};
// Fills `login`; returns an empty text, or the usage error to report.
std::string readMysqlLogin(const Options& o, MysqlLogin& login);

// Prints "veltrano-cli: <message>" on standard error and returns `code`.
int fail(int code, const std::string& message);

}  // namespace veltrano::cli
