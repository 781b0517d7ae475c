// veltrano-cli to-mysql: the wizard's Access-to-MySQL conversion without the
// wizard. The questions of the run are answered by the options; messages and
// progress go to standard error, the report to standard output or a file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>

#include "access/provider/provider.h"
#include "app/cli_command.h"
#include "common/conversion_session.h"
#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "common/conversion_report.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"

namespace veltrano::cli {
namespace {

const char* const kSynopsis =
    "to-mysql FILE.mdb|FILE.accdb --host H [--port 3306] --user U [--password-env VAR] (--database NEW | --append EXISTING) "
    "[--db-password PW] [--tables T1,T2,...] [--definitions-only] [--spaces-to-underscores] "
    "[--existing skip|overwrite] [--overwrite-database] [--report FILE]";

enum class Existing { Stop, Skip, Overwrite };

class CliRunHost : public RunHost {
public:
    CliRunHost(Existing existing, bool overwriteDatabase)
        : existing_(existing), overwriteDatabase_(overwriteDatabase), tty_(isatty(STDERR_FILENO) == 1) {}

    int ask(const std::string& text, int buttonSet, int /*picture*/) override {
        endBar();
        if (buttonSet == kSetTableExists) {
            if (existing_ == Existing::Skip) return kSkipAll;
            if (existing_ == Existing::Overwrite) return kOverwriteAll;
            std::cerr << "veltrano-cli: " << text << " (use --existing skip|overwrite)\n";
            return kClosed;
        }
        if (buttonSet == kSetYesNo) {
            if (overwriteDatabase_) return kYes;
            std::cerr << "veltrano-cli: " << text << " (use --overwrite-database)\n";
            return kNo;
        }
        std::cerr << "veltrano-cli: " << text << "\n";
        return kOk;
    }

    void progress(int percent) override {
        if (tty_) {
            const int width = 40, filled = percent * width / 100;
            std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                         std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
            std::fflush(stderr);
            barShown_ = true;
        } else if (percent / 10 != lastDecile_) {
            lastDecile_ = percent / 10;
            std::fprintf(stderr, "progress: %d%%\n", percent);
        }
    }

    void status(const std::string& text) {
        endBar();
        std::cerr << text << "\n";
    }

    void endBar() {
        if (barShown_) std::fputc('\n', stderr);
        barShown_ = false;
    }

private:
    Existing existing_;
    bool overwriteDatabase_;
    bool tty_;
    bool barShown_ = false;
    int lastDecile_ = -1;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) out.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

int runToMysql(const std::vector<std::string>& args) {
    Options o(args,
              {"host", "port", "user", "password-env", "database", "append", "db-password", "tables", "existing",
               "report"},
              {"definitions-only", "spaces-to-underscores", "overwrite-database"});
    if (!o.ok()) return fail(kExitUsage, o.error());
    if (o.positional().size() != 1) return fail(kExitUsage, "to-mysql needs exactly one Access file (.mdb or .accdb)");
    if (!o.has("host") || !o.has("user")) return fail(kExitUsage, "to-mysql needs --host and --user");
    if (o.has("database") == o.has("append"))
        return fail(kExitUsage, "give either --database NEW or --append EXISTING");
    Existing existing = Existing::Stop;
    if (o.has("existing")) {
        const std::string e = o.value("existing");
        if (e == "skip") existing = Existing::Skip;
        else if (e == "overwrite") existing = Existing::Overwrite;
        else return fail(kExitUsage, "--existing takes skip or overwrite");
    }
    MysqlLogin login;
    if (std::string problem = readMysqlLogin(o, login); !problem.empty())
        return fail(kExitUsage, problem);
    const long port = login.port;
    const std::string& password = login.password;

    resetSession();
    ConversionSession& s = session();
    s.direction = 1;
    s.sourcePath = o.positional()[0];
    s.convertSpaces = o.has("spaces-to-underscores");
    s.definitionOnly = o.has("definitions-only");

    access::Connection cnn;
    access::Status st = cnn.open(tomysql::accessConnectionString(s.sourcePath, o.has("db-password"),
                                                                 o.value("db-password")));
    if (!st.isOk()) {
        if (st.code() == access::kCodeWrongPassword) return fail(kExitFailure, "Not a valid password");
        return fail(kExitFailure, s.sourcePath + ": " + st.description());
    }
    tomysql::ProviderSource source(cnn);
    s.typeNames = source.typeNames();
    std::string error;
    std::vector<std::string> all = source.tableNames(error);
    if (!error.empty()) return fail(kExitFailure, error);
    std::vector<std::string> selected = all;
    if (o.has("tables")) {
        selected = splitList(o.value("tables"));
        std::set<std::string> known(all.begin(), all.end());
        for (const auto& t : selected)
            if (!known.count(t)) return fail(kExitUsage, "no table named '" + t + "' in " + s.sourcePath);
        if (selected.empty()) return fail(kExitUsage, "--tables names no table");
    }
    s.sourceEmpty = all.empty();
    tomysql::buildDefinitions(s, source, selected);

    auto mysql = std::make_shared<MYSQL_CONNECTION>();
    s.mysql = mysql;
    mysql->OpenConnection(o.value("host"), o.value("user"), password, "", static_cast<int32_t>(port), 0);
    if (mysql->Error().Number() != 0) return fail(kExitFailure, mysql->Error().Description());

    CliRunHost host(existing, o.has("overwrite-database"));
    tomysql::ConversionRun run(s, *mysql, source, host);
    run.onStatus = [&host](const std::string& text) { host.status(text); };
    tomysql::TargetChoice target;
    target.append = o.has("append");
    target.existingName = o.value("append");
    target.newName = o.value("database");
    tomysql::RunOutcome outcome = run.convert(target);
    host.endBar();
    if (outcome == tomysql::RunOutcome::NotStarted) return kExitFailure;

    report::Facts facts = report::accessToMysqlFacts(s, std::chrono::system_clock::now());
    const std::string text = report::reportText(facts, report::currentDateText());
    if (o.has("report")) {
        if (!report::writeReportFile(o.value("report"), text))
            return fail(kExitFailure, "cannot write the report to " + o.value("report"));
    } else {
        std::cout << text << std::flush;
    }
    mysql->CloseConnection();
    const bool clean = (outcome == tomysql::RunOutcome::Completed || outcome == tomysql::RunOutcome::SourceEmpty) &&
                       run.refusedRows() == 0;
    return clean ? kExitOk : kExitFailure;
}

const Registrar kRegistrar{{"to-mysql", kSynopsis, &runToMysql}};

}  // namespace
}  // namespace veltrano::cli
