// veltrano-cli: converts without the wizard. Each command lives in its own
// cli_<command>.cpp and registers itself.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli_command.h"
#include "mysql/connect_error.h"

namespace veltrano::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> r;
    return r;
}
}  // namespace

Registrar::Registrar(Command c) { registry().push_back(c); }
const std::vector<Command>& commands() { return registry(); }

namespace {
// The command main() is running, for usageOrError.
const Command* activeCommand = nullptr;
// Standard input holds one secret at most: the first line.
bool stdinSecretRead = false;
}  // namespace

void printUsage(const Command& c) {
    // A synopsis may end in "   what it does": that goes on a line of its own.
    std::string synopsis = c.synopsis, purpose;
    for (size_t at = synopsis.find("   "); at != std::string::npos; at = synopsis.find("   ", at + 1))
        if (at + 3 < synopsis.size() && std::isalpha(static_cast<unsigned char>(synopsis[at + 3]))) {
            purpose = synopsis.substr(at + 3);
            synopsis.resize(at);
            break;
        }
    std::cout << "Usage: veltrano-cli " << synopsis << "\n";
    if (!purpose.empty()) std::cout << "\n" << static_cast<char>(std::toupper(static_cast<unsigned char>(purpose[0])))
                                    << purpose.substr(1) << ".\n";
    if (c.details && *c.details) std::cout << "\n" << c.details;
    std::cout << "\nExit status: 0 success, 1 failure (or rows refused), 2 usage error.\n";
}

Options::Options(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                 std::vector<std::string> flagOptions, std::vector<std::pair<std::string, std::string>> aliases) {
    auto isIn = [](const std::vector<std::string>& v, const std::string& s) {
        for (const auto& x : v)
            if (x == s) return true;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            helpAsked_ = true;
            return;
        }
        if (a.size() > 2 && a.rfind("--", 0) == 0) {
            std::string name = a.substr(2), value;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
            for (const auto& [old, current] : aliases)
                if (name == old) name = current;
            if (isIn(valueOptions, name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        error_ = "option --" + name + " needs a value";
                        return;
                    }
                    value = args[++i];
                }
                values_.emplace_back(name, value);
            } else if (isIn(flagOptions, name) && !inlineValue) {
                values_.emplace_back(name, "");
            } else {
                error_ = "unknown option " + a;
                return;
            }
        } else {
            positional_.push_back(a);
        }
    }
}

bool Options::has(const std::string& name) const {
    for (const auto& [n, v] : values_)
        if (n == name) return true;
    return false;
}

std::string Options::value(const std::string& name, const std::string& fallback) const {
    std::string result = fallback;
    for (const auto& [n, v] : values_)
        if (n == name) result = v;  // the last one given wins
    return result;
}

int usageOrError(const Options& o) {
    if (o.helpAsked() && activeCommand) {
        printUsage(*activeCommand);
        return kExitOk;
    }
    return fail(kExitUsage, o.error());
}

SecretOptions secretOptions(const std::string& name) { return {{name, name + "-env"}, {name + "-stdin"}}; }

std::string readSecret(const Options& o, const std::string& name, std::string& secret, bool& given) {
    const std::string env = name + "-env", in = name + "-stdin";
    given = o.has(name) || o.has(env) || o.has(in);
    if (int(o.has(name)) + int(o.has(env)) + int(o.has(in)) > 1)
        return "give --" + name + ", --" + env + " or --" + in + ", not more than one";
    if (o.has(name)) {
        secret = o.value(name);
    } else if (o.has(env)) {
        const char* p = std::getenv(o.value(env).c_str());
        if (!p) return "environment variable " + o.value(env) + " (from --" + env + ") is not set";
        secret = p;
    } else if (o.has(in)) {
        if (stdinSecretRead) return "only one password can come from standard input";
        stdinSecretRead = true;
        std::string line;
        if (!std::getline(std::cin, line) && line.empty())
            return "--" + in + ": standard input holds no password line";
        if (!line.empty() && line.back() == '\r') line.pop_back();
        secret = line;
    }
    return {};
}

std::string readMysqlLogin(const Options& o, MysqlLogin& login) {
    const std::string portText = o.value("port", "3306");
    char* end = nullptr;
    long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port < 0 || port > 65535)
        return "--port takes a number from 0 to 65535";
    login.port = port;
    bool given = false;
    if (std::string problem = readSecret(o, "password", login.password, given); !problem.empty()) return problem;
    if (!given)
        if (const char* p = std::getenv("MYSQL_PWD")) login.password = p;
    return {};
}

std::string fileError(const std::string& path, const std::string& description) {
    if (description.find(path) != std::string::npos) return description;
    return path + ": " + description;
}

std::string connectError(int32_t number, const std::string& description) {
    std::string meaning = connectErrorMeaning(number, description);
    return meaning.empty() ? description : description + "; " + meaning;
}

int fail(int code, const std::string& message) {
    std::cerr << "veltrano-cli: " << message << "\n";
    return code;
}

}  // namespace veltrano::cli

namespace {

void printHelp() {
    std::cout << "Usage: veltrano-cli COMMAND [ARGS...]\n"
                 "       veltrano-cli help COMMAND | COMMAND --help\n"
                 "       veltrano-cli --help | --version\n\n"
                 "Converts databases between Microsoft Access files (.mdb; .accdb as a source) and MySQL/MariaDB.\n\n"
                 "Commands:\n";
    for (const auto& c : veltrano::cli::commands()) std::cout << "  " << c.synopsis << "\n";
    std::cout << "\nExit status: 0 success, 1 failure (or rows refused), 2 usage error.\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veltrano::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printHelp();
        return kExitUsage;
    }
    if (args[0] == "help" && args.size() > 1) {
        for (const auto& c : commands())
            if (args[1] == c.name) {
                printUsage(c);
                return kExitOk;
            }
        return fail(kExitUsage, "unknown command '" + args[1] + "' (try --help)");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "veltrano-cli " << VELTRANO_VERSION << "\n";
        return kExitOk;
    }
    for (const auto& c : commands()) {
        if (args[0] == c.name) {
            activeCommand = &c;
            return c.run({args.begin() + 1, args.end()});
        }
    }
    return fail(kExitUsage, "unknown command '" + args[0] + "' (try --help)");
}
