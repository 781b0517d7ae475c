// veltrano-cli: converts without the wizard. Each command lives in its own
// cli_<command>.cpp and registers itself.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/cli_command.h"

namespace veltrano::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> r;
    return r;
}
}  // namespace

Registrar::Registrar(Command c) { registry().push_back(c); }
const std::vector<Command>& commands() { return registry(); }

Options::Options(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                 std::vector<std::string> flagOptions) {
    auto isIn = [](const std::vector<std::string>& v, const std::string& s) {
        for (const auto& x : v)
            if (x == s) return true;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.rfind("--", 0) == 0) {
            std::string name = a.substr(2), value;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
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

std::string readMysqlLogin(const Options& o, MysqlLogin& login) {
    const std::string portText = o.value("port", "3306");
    char* end = nullptr;
    long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port < 0 || port > 65535)
        return "--port takes a number from 0 to 65535";
    login.port = port;
    if (o.has("password-env")) {
        const char* p = std::getenv(o.value("password-env").c_str());
        if (!p) return "environment variable " + o.value("password-env") + " is not set";
        login.password = p;
    } else if (const char* p = std::getenv("MYSQL_PWD")) {
        login.password = p;
    }
    return {};
}

int fail(int code, const std::string& message) {
    std::cerr << "veltrano-cli: " << message << "\n";
    return code;
}

}  // namespace veltrano::cli

namespace {

void printHelp() {
    std::cout << "Usage: veltrano-cli COMMAND [ARGS...]\n"
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
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "veltrano-cli " << VELTRANO_VERSION << "\n";
        return kExitOk;
    }
    for (const auto& c : commands()) {
        if (args[0] == c.name) return c.run({args.begin() + 1, args.end()});
    }
    return fail(kExitUsage, "unknown command '" + args[0] + "' (try --help)");
}
