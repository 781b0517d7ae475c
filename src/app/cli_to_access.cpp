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

#include "app/cli_access_file.h"
#include "app/cli_progress.h"
#include "common/conversion_session.h"
#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "mysql/sql_text.h"
#include "to_access/mysql_schema.h"
#include "to_access/conversion_run.h"
#include "common/conversion_report.h"

namespace veltrano::cli {

namespace {

constexpr const char* kSynopsis =
    "to-access --host H [--port 3306] --user U [--password-env VAR | --password-stdin] --database DB FILE.mdb\n"
    "            [--append] [--db-password PW | --db-password-env VAR | --db-password-stdin]\n"
    "            [--tables T1,T2,...] [--definitions-only] [--existing skip|overwrite] [--overwrite-file]\n"
    "            [--report FILE] [--quiet]";

constexpr const char* kDetails =
    "Converts the MySQL database DB (or the tables of --tables) into a new Access 2000 file, or into an\n"
    "existing one with --append; the report goes to standard output (or --report FILE), messages and\n"
    "progress to standard error.\n\n"
    "Options:\n"
    "  --host H, --port N, --user U   the MySQL server and login (port 3306 by default)\n"
    "  --password-env VAR     the MySQL password from the environment variable VAR\n"
    "  --password-stdin       the MySQL password from the first line of standard input\n"
    "                         (without either: from MYSQL_PWD, else none)\n"
    "  --database DB          the MySQL database to convert\n"
    "  --append               add the tables to the existing FILE.mdb\n"
    VELTRANO_CLI_ACCESS_PASSWORD_HELP
    "                         (a new file gets this password; an existing one is opened with it)\n"
    "  --tables T1,T2,...     only these tables (default: every table)\n"
    "  --definitions-only     create the tables without their rows\n"
    "  --existing skip|overwrite  what to do with a table the file already has (with --append)\n"
    "  --overwrite-file       replace FILE.mdb when it exists\n"
    "  --report FILE          write the report to FILE instead of standard output\n"
    "  --quiet                print only errors: no progress, no report on standard output\n";

// Answers the run's questions from the options; messages go to standard
// error, progress too (a bar on a terminal, lines otherwise).
class CliRunHost : public RunHost {
public:
    CliRunHost(ProgressStyle style, ProgressBar& bar) : style_(style), bar_(bar) {}

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

    void keepAlive() override {
        if (style_ == ProgressStyle::Bar) bar_.tick();
    }

    void progress(int percent) override {
        if (style_ == ProgressStyle::Bar) {
            bar_.setPercent(percent);
        } else if (style_ == ProgressStyle::Lines && percent != last_) {
            std::cerr << "progress " << percent << "%\n";
        }
        last_ = percent;
    }

    void status(const std::string& text) {
        const std::string prefix = "Converting Table: ";
        if (style_ == ProgressStyle::Bar)
            bar_.setTable(text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text);
        else if (style_ == ProgressStyle::Lines)
            std::cerr << text << "\n";
    }

    void endProgressLine() { bar_.end(); }

private:
    ProgressStyle style_;
    ProgressBar& bar_;
    int last_ = -1;
};

// The server's count of the tables' rows, for the progress bar: exact for
// MyISAM, an estimate for InnoDB; 0 when it cannot say.
int64_t estimatedRows(MYSQL_CONNECTION& c, const std::string& database, const std::vector<std::string>& tables) {
    std::string sql = "SELECT SUM(TABLE_ROWS) FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
                      sqlTextLiteral(database) + " AND TABLE_NAME IN (";
    for (size_t i = 0; i < tables.size(); ++i) sql += (i ? ", " : "") + sqlTextLiteral(tables[i]);
    auto rs = c.Execute(sql + ")");
    int64_t rows = 0;
    if (c.Error().Number() == 0 && rs->State() == 0 && rs->RecordCount() > 0) {
        rs->MoveFirst();
        FieldValue v = rs->Fields(0).Value();
        if (v.isText()) rows = std::atoll(v.asText().c_str());
    }
    c.Error().Clear();
    return rows;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}

int runToAccess(const std::vector<std::string>& args) {
    Options o = withAccessPassword(args, {"host", "port", "user", "password-env", "database", "tables", "existing", "report"},
                                   {"password-stdin", "append", "definitions-only", "overwrite-file", "quiet"}, false);
    if (!o.ok()) return usageOrError(o);
    if (!o.has("host") || !o.has("user") || !o.has("database"))
        return fail(kExitUsage, "to-access needs --host, --user and --database");
    if (o.positional().size() != 1) return fail(kExitUsage, "to-access needs exactly one FILE.mdb");
    std::string existing = o.value("existing");
    if (o.has("existing") && existing != "skip" && existing != "overwrite")
        return fail(kExitUsage, "--existing takes skip or overwrite");
    MysqlLogin login;
    if (std::string problem = readMysqlLogin(o, login); !problem.empty())
        return fail(kExitUsage, problem);
    std::string accessPassword;
    bool accessPasswordGiven = false;
    if (std::string problem = readSecret(o, kAccessPassword, accessPassword, accessPasswordGiven); !problem.empty())
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
        return fail(kExitFailure, c.Error().Number() != 0 ? connectError(c.Error().Number(), c.Error().Description())
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

    const bool quiet = o.has("quiet");
    const ProgressStyle style = progressStyle(quiet);
    const int64_t rowsExpected = style == ProgressStyle::Bar && !o.has("definitions-only")
                                     ? estimatedRows(c, s.sourceDatabase, chosen)
                                     : 0;
    ProgressBar bar([&s] { return s.convertedRecords; }, rowsExpected, true);
    CliRunHost host(style, bar);
    host.existing = existing;
    host.overwriteFile = o.has("overwrite-file");
    toaccess::RunOptions options;
    options.newFile = !append;
    options.usePassword = accessPasswordGiven;
    options.password = accessPassword;
    options.definitionsOnly = o.has("definitions-only");
    toaccess::ConversionRun run(s, c, host);
    run.onStatus = [&host](const std::string& text) { host.status(text); };
    toaccess::RunOutcome outcome = run.run(options);
    host.endProgressLine();
    c.CloseConnection();

    if (outcome == toaccess::RunOutcome::WrongPassword)
        return fail(kExitFailure, file.string() + ": the database password is wrong or missing (give it with "
                                                  "--db-password-stdin, --db-password-env VAR or --db-password PW)");
    if (outcome == toaccess::RunOutcome::Stopped) return kExitFailure;
    auto facts = report::mysqlToAccessFacts(s, std::chrono::system_clock::now());
    std::string text = toaccess::withRefusedRecords(report::reportText(facts, report::currentDateText()), s.refusedRecords);
    if (o.has("report")) {
        if (!report::writeReportFile(o.value("report"), text))
            return fail(kExitFailure, "cannot write the report to " + o.value("report"));
    } else if (!quiet) {
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

Registrar registrar{{"to-access", kSynopsis, &runToAccess, kDetails}};

}  // namespace

}  // namespace veltrano::cli
