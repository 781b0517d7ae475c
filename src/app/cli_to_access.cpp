// veltrano-cli to-access: converts a MySQL database (or some of its tables)
// into a new or an existing .mdb file, the same run as the wizard's, with
// the questions answered by the options.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/cli_command.h"
#include "common/conversion_session.h"
#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "to_access/mysql_schema.h"
#include "to_access/conversion_run.h"
#include "common/conversion_report.h"

namespace veltrano::cli {

namespace {

constexpr const char* kSynopsis =
    "to-access --host H [--port 3306] --user U [--password-env VAR] --database DB FILE.mdb\n"
    "            [--append] [--db-password PW] [--tables T1,T2,...] [--definitions-only]\n"
    "            [--existing skip|overwrite] [--overwrite-file] [--report FILE]";

// Answers the run's questions from the options; messages go to standard
// error, progress too (a bar on a terminal).
class CliRunHost : public RunHost {
public:
    std::string existing;  // "", "skip" or "overwrite"
    bool overwriteFile = false;
    bool failed = false;   // a message reported a failure

    int ask(const std::string& text, int buttonSet, int /*picture*/) override {
        endProgressLine();
        switch (buttonSet) {
            case kSetTableExists:
                if (existing == "skip") return kSkipAll;
                if (existing == "overwrite") return kOverwriteAll;
                std::cerr << "veltrano-cli: " << text
                          << " (use --existing skip|overwrite to settle existing tables)\n";
                failed = true;
                return kClosed;
            case kSetYesNo:
                return overwriteFile ? kYes : kNo;
            default:
                std::cerr << "veltrano-cli: " << text << "\n";
                failed = true;
                return kOk;
        }
    }

    void progress(int percent) override {
        if (terminal_) {
            int filled = percent * 40 / 100;
            std::cerr << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] "
                      << percent << "%" << std::flush;
            open_ = true;
        } else if (percent != last_) {
            std::cerr << "progress " << percent << "%\n";
        }
        last_ = percent;
    }

    void endProgressLine() {
        if (open_) std::cerr << "\n";
        open_ = false;
    }

private:
    bool terminal_ = isatty(STDERR_FILENO) != 0;
    bool open_ = false;
    int last_ = -1;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}

int runToAccess(const std::vector<std::string>& args) {
    Options o(args,
              {"host", "port", "user", "password-env", "database", "db-password", "tables", "existing",
               "report"},
              {"append", "definitions-only", "overwrite-file"});
    if (!o.ok()) return fail(kExitUsage, o.error());
    if (!o.has("host") || !o.has("user") || !o.has("database"))
        return fail(kExitUsage, "to-access needs --host, --user and --database");
    if (o.positional().size() != 1) return fail(kExitUsage, "to-access needs exactly one FILE.mdb");
    std::string existing = o.value("existing");
    if (o.has("existing") && existing != "skip" && existing != "overwrite")
        return fail(kExitUsage, "--existing takes skip or overwrite");
    MysqlLogin login;
    if (std::string problem = readMysqlLogin(o, login); !problem.empty())
        return fail(kExitUsage, problem);
    const long port = login.port;
    const std::string& password = login.password;

    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path file = fs::absolute(fs::path(o.positional()[0]), ec);
    bool append = o.has("append");
    if (!append && fs::exists(file, ec) && !o.has("overwrite-file"))
        return fail(kExitFailure, file.string() + " exists (use --overwrite-file to replace it, or --append)");

    resetSession();
    ConversionSession& s = session();
    s.direction = 0;
    s.sourceConnection = std::make_shared<MYSQL_CONNECTION>();
    MYSQL_CONNECTION& c = *s.sourceConnection;
    c.OpenConnection(o.value("host"), o.value("user"), password, "", static_cast<int32_t>(port), 0);
    if (c.State() != 0)
        return fail(kExitFailure, c.Error().Number() != 0 ? c.Error().Description()
                                                          : "Unable to connect to MySQL Server.");
    s.sourceDatabase = o.value("database");
    s.sourceHost = o.value("host");
    s.sourceUser = o.value("user");
    if (!show_tables(c, s.sourceDatabase, s.databaseTables)) return fail(kExitFailure, c.Error().Description());

    std::vector<std::string> chosen = s.databaseTables;
    if (o.has("tables")) {
        chosen = splitList(o.value("tables"));
        for (const std::string& t : chosen) {
            bool known = false;
            for (const std::string& d : s.databaseTables) known = known || d == t;
            if (!known) return fail(kExitUsage, "no table named '" + t + "' in database " + s.sourceDatabase);
        }
        if (chosen.empty()) return fail(kExitUsage, "--tables names no table");
    }
    s.sourceTables.assign(chosen.size() + 1, SourceTable{});
    for (size_t i = 0; i < chosen.size(); ++i) {
        s.sourceTables[i].name = chosen[i];
        s.sourceTables[i].selected = true;
    }
    s.tableCount = static_cast<int64_t>(chosen.size());
    s.destinationPath = file.string();
    s.destinationFileName = file.filename().string();

    CliRunHost host;
    host.existing = existing;
    host.overwriteFile = o.has("overwrite-file");
    toaccess::RunOptions options;
    options.newFile = !append;
    options.usePassword = o.has("db-password");
    options.password = o.value("db-password");
    options.definitionsOnly = o.has("definitions-only");
    toaccess::ConversionRun run(s, c, host);
    run.onStatus = [&host](const std::string& text) {
        host.endProgressLine();
        std::cerr << text << "\n";
    };
    toaccess::RunOutcome outcome = run.run(options);
    host.endProgressLine();
    c.CloseConnection();

    if (outcome == toaccess::RunOutcome::Stopped || outcome == toaccess::RunOutcome::WrongPassword) return kExitFailure;
    auto facts = report::mysqlToAccessFacts(s, std::chrono::system_clock::now());
    std::string text = toaccess::withRefusedRecords(report::reportText(facts, report::currentDateText()), s.refusedRecords);
    if (o.has("report")) {
        if (!report::writeReportFile(o.value("report"), text))
            return fail(kExitFailure, "cannot write the report to " + o.value("report"));
    } else {
        std::cout << text << std::flush;
    }
    // Each refused row and each table that did not arrive whole, named on
    // standard error as well, for scripts that keep only that.
    for (const RefusedRow& r : s.refusedRows) std::cerr << "veltrano-cli: refused: " << report::refusedRowLine(r) << "\n";
    for (const PartialTable& p : s.partialTables)
        std::cerr << "veltrano-cli: cut short: " << report::partialTableLine(p) << "\n";
    for (const std::string& t : run.failedTables()) std::cerr << "veltrano-cli: table not converted: " << t << "\n";
    if (s.refusedRecords > 0)
        std::cerr << "veltrano-cli: " << s.refusedRecords << " row(s) refused by the Access file\n";
    if (outcome == toaccess::RunOutcome::Cancelled) return fail(kExitFailure, "conversion cancelled");
    if (outcome == toaccess::RunOutcome::Failed) return fail(kExitFailure, "conversion stopped by a failed write");
    // Items Access cannot hold are named in the report and do not fail the run.
    bool everythingArrived = s.refusedRecords == 0 && run.failedTables().empty() && s.partialTables.empty();
    return host.failed || !everythingArrived ? kExitFailure : kExitOk;
}

Registrar registrar{{"to-access", kSynopsis, &runToAccess}};

}  // namespace

}  // namespace veltrano::cli
