// veltrano-cli to-mysql: the wizard's Access-to-MySQL conversion without the
// wizard. The questions of the run are answered by the options; messages and
// progress go to standard error, the report to standard output or a file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <set>

#include "access/provider/provider.h"
#include "app/cli_access_file.h"
#include "app/cli_progress.h"
#include "app/cli_sql_file.h"
#include "common/conversion_session.h"
#include "common/run_host.h"
#include "mysql/mysql_connection.h"
#include "common/conversion_report.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"

namespace veltrano::cli {
namespace {

const char* const kSynopsis =
    "to-mysql FILE.mdb|FILE.accdb --host H [--port 3306] --user U [--password-env VAR | --password-stdin] "
    "(--database NEW | --append EXISTING) [--db-password PW | --db-password-env VAR | --db-password-stdin] "
    "[--tables T1,T2,...] [--definitions-only] [--spaces-to-underscores] [--existing skip|overwrite] "
    "[--overwrite-database] [--no-foreign-keys] [--no-views] [--report FILE | --sql-file FILE] [--quiet]";

const char* const kDetails =
    "Converts the Access file's tables (or those of --tables) into a new or an existing MySQL database;\n"
    "the report goes to standard output (or --report FILE), messages and progress to standard error.\n\n"
    "Options:\n"
    "  --host H, --port N, --user U   the MySQL server and login (port 3306 by default)\n"
    "  --password-env VAR     the MySQL password from the environment variable VAR\n"
    "  --password-stdin       the MySQL password from the first line of standard input\n"
    "                         (without either: from MYSQL_PWD, else none)\n"
    "  --database NEW         create the database NEW for the tables\n"
    "  --append EXISTING      add the tables to the existing database EXISTING\n"
    VELTRANO_CLI_ACCESS_PASSWORD_HELP
    "  --tables T1,T2,...     only these tables (default: every table)\n"
    "  --definitions-only     create the tables without their rows\n"
    "  --spaces-to-underscores  blanks in table and column names become \"_\"\n"
    "  --existing skip|overwrite  what to do with a table the database already has\n"
    "                         (without it such a table stops the run)\n"
    "  --overwrite-database   drop and re-create NEW when it exists\n"
    "  --no-foreign-keys      leave out the foreign keys made from the file's relationships\n"
    "  --no-views             leave out the views made from the file's saved select queries\n"
    "  --report FILE          write the report to FILE instead of standard output\n"
    "  --sql-file FILE        connect to no server: write the statements of the conversion to FILE\n"
    "                         (\"-\": standard output), to load later with `mariadb < FILE`; --host and\n"
    "                         --user are then not needed, --existing overwrite and --overwrite-database\n"
    "                         write DROP statements, and the load stops at a statement the server refuses\n"
    "  --quiet                print only errors: no progress, no report on standard output\n";

enum class Existing { Stop, Skip, Overwrite };

// The text after "Converting Table: ", for the progress bar.
std::string tableOfStatus(const std::string& text) {
    const std::string prefix = "Converting Table: ";
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

class CliRunHost : public RunHost {
public:
    CliRunHost(Existing existing, bool overwriteDatabase, ProgressStyle style, ProgressBar& bar)
        : existing_(existing), overwriteDatabase_(overwriteDatabase), style_(style), bar_(bar) {}

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

    void keepAlive() override {
        if (style_ == ProgressStyle::Bar) bar_.tick();
    }

    void progress(int percent) override {
        if (style_ == ProgressStyle::Bar) {
            bar_.setPercent(percent);
        } else if (style_ == ProgressStyle::Lines && percent / 10 != lastDecile_) {
            lastDecile_ = percent / 10;
            std::fprintf(stderr, "progress: %d%%\n", percent);
        }
    }

    void status(const std::string& text) {
        if (style_ == ProgressStyle::Bar) {
            bar_.setTable(tableOfStatus(text));
        } else if (style_ == ProgressStyle::Lines) {
            std::cerr << text << "\n";
        }
    }

    void endBar() { bar_.end(); }

private:
    Existing existing_;
    bool overwriteDatabase_;
    ProgressStyle style_;
    ProgressBar& bar_;
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
    Options o = withAccessPassword(
        args, {"host", "port", "user", "password-env", "database", "append", "tables", "existing", "report", "sql-file"},
        {"password-stdin", "definitions-only", "spaces-to-underscores", "overwrite-database", "quiet", "no-foreign-keys", "no-views"}, false);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 1) return fail(kExitUsage, "to-mysql needs exactly one Access file (.mdb or .accdb)");
    const bool sqlFile = o.has("sql-file");
    if (!sqlFile && (!o.has("host") || !o.has("user"))) return fail(kExitUsage, "to-mysql needs --host and --user");
    if (sqlFile && (o.value("existing") == "skip" || o.has("report")))
        return fail(kExitUsage, "--sql-file goes without --existing skip and --report");
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
    int code = kExitOk;
    if (!openAccessConnection(o, s.sourcePath, cnn, code)) return code;
    tomysql::ProviderSource source(cnn);
    s.typeNames = source.typeNames();
    auto names = source.tableNames();
    if (!names.isOk()) return fail(kExitFailure, fileError(s.sourcePath, names.status().description()));
    const std::vector<std::string>& all = *names;
    std::vector<std::string> selected = all;
    if (o.has("tables")) {
        selected = splitList(o.value("tables"));
        std::set<std::string> known(all.begin(), all.end());
        for (const auto& t : selected)
            if (!known.count(t)) return fail(kExitUsage, "no table named '" + t + "' in " + s.sourcePath);
        if (selected.empty()) return fail(kExitUsage, "--tables names no table");
    }
    s.sourceEmpty = all.empty();
    if (access::Status read = tomysql::buildDefinitions(s, source, selected); !read.isOk())
        return fail(kExitFailure, s.sourcePath + ": " + read.description());

    if (sqlFile) {
        SqlFileTarget target;
        target.path = o.value("sql-file");
        target.append = o.has("append");
        target.database = target.append ? o.value("append") : o.value("database");
        target.replaceDatabase = o.has("overwrite-database");
        target.replaceTables = existing == Existing::Overwrite;
        target.quiet = o.has("quiet");
        return writeSqlFile(s, source, target);
    }

    auto mysql = std::make_shared<MYSQL_CONNECTION>();
    s.mysql = mysql;
    mysql->OpenConnection(o.value("host"), o.value("user"), password, "", static_cast<int32_t>(port), 0);
    if (mysql->Error().Number() != 0)
        return fail(kExitFailure, connectError(mysql->Error().Number(), mysql->Error().Description()));

    const bool quiet = o.has("quiet");
    ProgressBar bar([&s] { return s.convertedRecords; }, s.totalRecords);
    CliRunHost host(existing, o.has("overwrite-database"), progressStyle(quiet), bar);
    tomysql::ConversionRun run(s, *mysql, source, host);
    run.onStatus = [&host](const std::string& text) { host.status(text); };
    run.carryForeignKeys = !o.has("no-foreign-keys");
    run.carryViews = !o.has("no-views");
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
    } else if (!quiet) {
        std::cout << text << std::flush;
    }
    mysql->CloseConnection();
    // What was changed, cut short or refused, on standard error too, so a
    // script sees it without reading the report.
    for (const auto& p : s.partialTables) std::cerr << "veltrano-cli: cut short: " << report::partialTableLine(p) << "\n";
    for (const auto& [table, count] : report::refusedPerTable(s.refusedRows))
        std::cerr << "veltrano-cli: " << table << ": " << count << " record(s) refused\n";
    for (const auto& n : s.notCarried) std::cerr << "veltrano-cli: not carried: " << report::notCarriedLine(n) << "\n";
    // Items named as not carried do not fail the run; every selected table
    // and row must have arrived.
    const bool clean = (outcome == tomysql::RunOutcome::Completed || outcome == tomysql::RunOutcome::SourceEmpty) &&
                       run.refusedRows() == 0 && s.partialTables.empty();
    return clean ? kExitOk : kExitFailure;
}

const Registrar kRegistrar{{"to-mysql", kSynopsis, &runToMysql, kDetails}};

}  // namespace
}  // namespace veltrano::cli
