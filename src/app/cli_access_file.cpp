#include "app/cli_access_file.h"

#include "to_mysql/provider_source.h"

namespace veltrano::cli {

Options withAccessPassword(const std::vector<std::string>& args, std::vector<std::string> valueOptions,
                           std::vector<std::string> flagOptions, bool keepPasswordSpelling) {
    SecretOptions secret = secretOptions(kAccessPassword);
    valueOptions.insert(valueOptions.end(), secret.values.begin(), secret.values.end());
    flagOptions.insert(flagOptions.end(), secret.flags.begin(), secret.flags.end());
    std::vector<std::pair<std::string, std::string>> aliases;
    if (keepPasswordSpelling) aliases.emplace_back("password", kAccessPassword);
    return Options(args, std::move(valueOptions), std::move(flagOptions), std::move(aliases));
}

namespace {

// Reads the password options; false (with exitCode set) on a usage error.
bool accessPassword(const Options& o, std::string& password, bool& given, int& exitCode) {
    if (std::string problem = readSecret(o, kAccessPassword, password, given); !problem.empty()) {
        exitCode = fail(kExitUsage, problem);
        return false;
    }
    return true;
}

int openFailure(const std::string& path, const std::string& description, bool wrongPassword, bool given) {
    std::string text = fileError(path, description);
    // Say which option gives the password rather than leave the reader guessing.
    if (wrongPassword && !given)
        text += " (the file has a password: give it with --db-password-stdin, --db-password-env VAR or "
                "--db-password PW)";
    return fail(kExitFailure, text);
}

}  // namespace

std::unique_ptr<access::Database> openAccessFile(const Options& o, const std::string& path, int& exitCode,
                                                 access::OpenOptions* used) {
    access::OpenOptions opts;
    bool given = false;
    std::string password;
    if (!accessPassword(o, password, given, exitCode)) return nullptr;
    if (given) opts.password = password;
    auto db = access::Database::open(path, opts);
    if (!db.isOk()) {
        exitCode = openFailure(path, db.status().toString(),
                               db.status().category() == access::Category::WrongPassword, given);
        return nullptr;
    }
    if (used) *used = opts;
    return std::move(db).value();
}

bool openAccessConnection(const Options& o, const std::string& path, access::Connection& cnn, int& exitCode) {
    bool given = false;
    std::string password;
    if (!accessPassword(o, password, given, exitCode)) return false;
    access::Status st = cnn.open(tomysql::accessConnectionString(path, given, password));
    if (!st.isOk()) {
        exitCode = openFailure(path, st.description(), st.code() == access::kCodeWrongPassword, given);
        return false;
    }
    return true;
}

}  // namespace veltrano::cli
