// Every sample file converted end to end, once through the wizard driven
// offscreen and once through veltrano-cli, and the result compared with what
// our reader reads from the file.
#include <sys/wait.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <zlib.h>

#include "access/read/database.h"
#include "access/write/writer.h"
#include "common/conversion_session.h"
#include "mysql/mysql_rs.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_mysql/frm1.h"
#include "to_mysql/frm2.h"
#include "to_mysql/frm3.h"
#include "to_mysql/frm4.h"
#include "to_mysql/frm5.h"
#include "to_mysql/run_support.h"
#include "shell/table_selection.h"
#include "to_mysql/to_mysql_pages.h"

namespace veltrano::tomysql {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs veltrano-cli to-mysql against the test server; its exit code, -1 when it did not exit.
int runCli(const std::string& args, const std::string& out, const std::string& err) {
    const auto* login = test::testServer();
    setenv("VT_TM_PASSWORD", login->password.c_str(), 1);
    const std::string cmd = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli to-mysql " + args + " --host " +
                            login->host + " --port " + std::to_string(login->port) + " --user " + login->user +
                            " --password-env VT_TM_PASSWORD >" + out + " 2>" + err;
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

void ensureApp() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "to_mysql_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // kept: widgets of a failed test must not outlive it
    QApplication::setQuitOnLastWindowClosed(false);
    installShellFonts();
}

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApp();
        if (!test::testServer()) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_HOST/PORT not set";
        ASSERT_TRUE(test::openTestConnection(check_));
    }
    void TearDown() override {
        for (const auto& d : dbs_) test::dropDatabase(d);
        wizard().reset();
    }
    std::string newDb(const std::string& tag) {
        dbs_.push_back(test::uniqueName(tag));
        return dbs_.back();
    }

    void expectChildTablesHoldEveryValue(const std::string& db, const std::string& path);

    MYSQL_CONNECTION check_;
    std::vector<std::string> dbs_;
};

// Walks the wizard from the main window to the report page.
struct WizardDriver {
    std::vector<std::string> told;
    std::deque<int> answers;
    std::string openPath, savePath;
    bool ended = false;

    WizardDriver() {
        wizard().reset();
        shellHooks().messageResponder = [this](FrmMessage& m) {
            told.push_back(m.text().toStdString());
            int a = kOk;
            if (m.buttonSet() != kSetOk) {
                a = answers.empty() ? kClosed : answers.front();
                if (!answers.empty()) answers.pop_front();
            }
            m.press(a);
        };
        shellHooks().fileDialog = [this](const FileDialogRequest& r) -> std::optional<FileChoice> {
            const std::string& p = r.kind == FileDialogKind::Open ? openPath : savePath;
            if (p.empty()) return std::nullopt;
            return FileChoice{QString::fromStdString(p),
                              QString::fromStdString(p.substr(p.rfind('/') + 1))};
        };
        shellHooks().endProgram = [this] { ended = true; };
        registerAccessToMysqlPages();
        wizard().start();
    }

    // Pages 1 to 4; true when the run reached the report page.
    bool convert(const test::SampleFile& f, const std::string& db, bool spaces,
                 bool append = false) {
        wizard().page(PageId::Main)->forward();
        auto* f1 = wizard().pageAs<Frm1>(PageId::Frm1);
        openPath = f.path;
        f1->selectDatabase();
        if (!f.password.empty()) {
            f1->chkPassword()->click();
            f1->txtPassword()->setText(QString::fromStdString(f.password));
        }
        f1->forward();
        auto* f2 = wizard().pageAs<Frm2>(PageId::Frm2);
        if (!f2->isVisible()) return false;
        f2->selection()->moveRightAll();
        if (spaces) f2->chkConvertSpaces()->click();
        f2->forward();
        auto* f3 = wizard().pageAs<Frm3>(PageId::Frm3);
        const auto* login = test::testServer();
        f3->txtHost()->setText(QString::fromStdString(login->host));
        f3->txtPort()->setText(QString::number(login->port));
        f3->txtUser()->setText(QString::fromStdString(login->user));
        f3->txtPassword()->setText(QString::fromStdString(login->password));
        f3->forward();
        auto* f4 = wizard().pageAs<Frm4>(PageId::Frm4);
        if (!f4->isVisible()) return false;
        if (append) {
            f4->optAppend()->click();
            f4->cmbDatabases()->setEditText(QString::fromStdString(db));
        } else {
            f4->txtDatabaseName()->setText(QString::fromStdString(db));
        }
        f4->forward();
        WizardPage* f5 = wizard().loadedPage(PageId::Frm5);
        return f5 && f5->isVisible();
    }
};

TEST_F(EndToEnd, WizardConvertsEverySampleFile) {
    for (const auto& f : test::sampleFiles()) {
        SCOPED_TRACE(f.path);
        WizardDriver w;
        const std::string db = newDb("wiz");
        const bool empty = f.path.find("/empty") != std::string::npos ||
                           f.path.find("adox_jet4") != std::string::npos;
        const bool reached = w.convert(f, db, false);
        if (empty) {
            // No tables: the message, and page 4 starts over instead of a report.
            EXPECT_FALSE(reached);
            EXPECT_EQ(w.told.at(0), "The Database is empty ");
            continue;
        }
        ASSERT_TRUE(reached) << (w.told.empty() ? "" : w.told.back());
        EXPECT_TRUE(w.told.empty()) << w.told[0];
        test::expectSameAsSource(check_, db, f.path, f.password, false);
    }
}

TEST_F(EndToEnd, WizardConvertsEveryAccdbSample) {
    for (const auto& e : std::filesystem::directory_iterator(std::string(VELTRANO_TESTDATA_DIR) + "/../accdb")) {
        const std::string name = e.path().filename().string();
        if (name.find("empty") != std::string::npos) continue;  // no tables: covered above
        test::SampleFile f{e.path().string(), name.find("with-password") != std::string::npos ? "password" : ""};
        SCOPED_TRACE(f.path);
        WizardDriver w;
        const std::string db = newDb("ace");
        ASSERT_TRUE(w.convert(f, db, false)) << (w.told.empty() ? "" : w.told.back());
        if (name == "extDateTestV2019.accdb") {
            // Every stored cell is compared below at the microsecond; a year before 1000 is refused, by name.
            EXPECT_EQ(w.told, (std::vector<std::string>{
                                  "column DateExt: the date 0100-06-14 12:45:00.1234567 lies outside the years 1000 "
                                  "to 9999 that MySQL's DATETIME holds",
                                  "Error populating 'Table1' table, Record #8"}));
            test::expectSameAsSource(check_, db, f.path, f.password, false, 1);
            ASSERT_EQ(session().notCarried.size(), 1u);
            EXPECT_NE(session().notCarried[0].reason.find("seventh decimal digit"), std::string::npos);
            EXPECT_NE(test::scalar(check_, "SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                                               db + "' AND COLUMN_TYPE = 'datetime(6)'"),
                      "0");
            continue;
        }
        EXPECT_TRUE(w.told.empty()) << w.told[0];
        test::expectSameAsSource(check_, db, f.path, f.password, false);
        // Attachment and multi-value values show as text in the table, and each lands whole in its child table.
        if (name == "complexDataTestV2010.accdb") {
            EXPECT_EQ(session().notCarried.size(), 1u);  // the memo's history
            auto rs = check_.Execute("SELECT `multi-value-data`, `attach-data` FROM `" + db + "`.`Table1` WHERE id = 'row2'");
            ASSERT_TRUE(rs && !rs->Eof());
            EXPECT_EQ(rs->Fields(0).Value().asText(), "value1; value4");
            EXPECT_EQ(rs->Fields(1).Value().asText(), "test_data.txt; test_data2.txt");
        }
        if (name == "calcFieldTestV2010.accdb") {  // each calculated column keeps its expression as the comment
            auto comments = test::rows(check_, "SELECT COLUMN_COMMENT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                                                   db + "' AND COLUMN_COMMENT <> '' ORDER BY ORDINAL_POSITION");
            EXPECT_EQ(comments.size(), 11u);
            EXPECT_NE(std::find(comments.begin(), comments.end(), "[LastName] & \", \" & [FirstName]"), comments.end());
        }
        if (name == "complexDataTestV2010.accdb" || name == "attachmentsV2016.accdb")
            expectChildTablesHoldEveryValue(db, f.path);
    }
}

// Each complex column's child table holds, per parent key, what our reader
// reads: each file's name, length and checksum, or each value.
void EndToEnd::expectChildTablesHoldEveryValue(const std::string& db, const std::string& path) {
    auto opened = access::Database::open(path);
    ASSERT_TRUE(opened.isOk());
    access::Database& source = **opened;
    auto def = source.tableDef("Table1");
    ASSERT_TRUE(def.isOk());
    const access::TableDef& t = **def;
    size_t children = 0;
    for (size_t c = 0; c < t.columns.size(); ++c) {
        if (t.columns[c].type != access::ColumnType::Complex) continue;
        ++children;
        SCOPED_TRACE(t.columns[c].name);
        auto values = source.complexValues("Table1", t.columns[c].name);
        ASSERT_TRUE(values.isOk());
        const bool attachment = values->kind == access::ComplexKind::Attachment;
        auto field = [&](const char* n) {
            return static_cast<size_t>(std::find(values->fields.begin(), values->fields.end(), n) - values->fields.begin());
        };
        std::vector<std::string> expected;
        access::TableCursor rows(source.pager(), *def);
        while (rows.next()) {
            auto items = values->items.find(static_cast<int32_t>(rows.value(c).integer));
            if (items == values->items.end()) continue;
            for (const auto& item : items->second) {
                std::string line = access::canonicalText(rows.value(0)) + "|";
                if (attachment) {
                    const std::string& data = item.at(field("FileData")).bytes;
                    line += item.at(field("FileName")).bytes + "|" + std::to_string(data.size()) + "|" +
                            std::to_string(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                                 static_cast<uInt>(data.size())));
                } else {
                    line += access::canonicalText(item.at(0));
                }
                expected.push_back(line);
            }
        }
        ASSERT_FALSE(expected.empty());
        const std::string child = "`" + db + "`.`Table1_" + t.columns[c].name + "`";
        std::vector<std::string> actual = test::rows(
            check_, attachment ? "SELECT CONCAT_WS('|', " + t.columns[0].name + ", FileName, LENGTH(FileData), "
                                 "CRC32(FileData)) FROM " + child
                               : "SELECT CONCAT_WS('|', " + t.columns[0].name + ", Value) FROM " + child);
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual, expected);
    }
    EXPECT_GT(children, 0u);
}

TEST_F(EndToEnd, WizardReportPageAndSavedReport) {
    WizardDriver w;
    const std::string db = newDb("rep");
    test::SampleFile f{std::string(VELTRANO_TESTDATA_DIR) + "/testV2000.mdb", ""};
    // Table2 exists already and is skipped.
    check_.Execute("CREATE DATABASE `" + db + "`");
    check_.Execute("CREATE TABLE `" + db + "`.`Table2` (x INT)");
    w.answers = {kSkip};
    ASSERT_TRUE(w.convert(f, db, false, true));
    EXPECT_EQ(w.told, std::vector<std::string>{"Table \"Table2 \" already exists."});
    auto* f5 = wizard().pageAs<Frm5>(PageId::Frm5);
    EXPECT_EQ(f5->lblConverted()->text().toStdString(), "Converted Tables: (3)");
    EXPECT_EQ(f5->lblSkipped()->text().toStdString(), "Skipped Tables: (1)");
    ASSERT_EQ(f5->lstSkipped()->count(), 1);
    EXPECT_EQ(f5->lstSkipped()->item(0)->text().toStdString(), "Table2");
    EXPECT_TRUE(f5->lblFinish()->text().startsWith("Veltrano has successfully appended: \n" +
                                                   QString::fromStdString(f.path) +
                                                   "\nTo: " + QString::fromStdString(db)));
    w.savePath = testing::TempDir() + "vt_tm_report.txt";
    f5->cancelButton()->click();  // Save Report
    const std::string text = slurp(w.savePath);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_NE(text.find("Total Converted Records: 2  record(s)\r\n"), std::string::npos) << text;
    EXPECT_NE(
        text.find("Converted Tables:\r\n******************\r\nTable1\r\nTable3\r\nTable4\r\n\r\n"
                  "Skipped Tables:\r\n******************\r\nTable2\r\n\r\n"),
        std::string::npos)
        << text;
    std::remove(w.savePath.c_str());
    f5->forward();  // Finish
    EXPECT_TRUE(w.ended);
    EXPECT_FALSE(session().mysql);
}

TEST_F(EndToEnd, EmptyFilePortTextProposedNameAndRefusalsOnTheReportPage) {
    // The port box takes the number the text starts with.
    EXPECT_EQ(Frm3::leadingNumber(QStringLiteral("3307abc")), 3307);
    EXPECT_EQ(Frm3::leadingNumber(QStringLiteral(" 3306.4")), 3306);
    EXPECT_EQ(Frm3::leadingNumber(QStringLiteral("abc")), 0);

    // An empty file: the message, the new database is made, and page 4 starts over.
    WizardDriver empty;
    const std::string db = newDb("empty");
    EXPECT_FALSE(empty.convert({std::string(VELTRANO_TESTDATA_DIR) + "/emptyV2000.mdb", ""}, db, false));
    EXPECT_EQ(empty.told, std::vector<std::string>{"The Database is empty "});
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" + db + "'"), "1");
    EXPECT_TRUE(wizard().loadedPage(PageId::Frm4)->isVisible());
    EXPECT_EQ(wizard().loadedPage(PageId::Frm5), nullptr);
    wizard().reset();

    // shop.v2.mdb proposes "shop"; a refused record is named on the report page.
    const std::string path = testing::TempDir() + "shop.v2.mdb";
    std::remove(path.c_str());
    {
        ASSERT_TRUE(access::createDatabase(path).isOk());
        access::WriteConnection c;
        ASSERT_TRUE(c.open(path, "").isOk());
        ASSERT_TRUE(c.execute("CREATE TABLE [Items]([id] long,[d] datetime);").isOk());
        auto app = c.openTableForAppend("Items");
        ASSERT_TRUE(app.isOk());
        for (double d : {36526.0, -500000.0}) {  // 2000-01-01, then a date of year 531
            ASSERT_TRUE(app->addNew().isOk());
            ASSERT_TRUE(app->setField(0, FieldValue(1)).isOk());
            ASSERT_TRUE(app->setField(1, FieldValue::dateTime(d)).isOk());
            ASSERT_TRUE(app->update().isOk());
        }
        ASSERT_TRUE(app->close().isOk());
        ASSERT_TRUE(c.close().isOk());
    }
    WizardDriver w;
    session().sourcePath = path;
    EXPECT_EQ(wizard().pageAs<Frm4>(PageId::Frm4)->txtDatabaseName()->text().toStdString(), "shop");
    ASSERT_TRUE(w.convert({path, ""}, newDb("shop"), false));
    auto* f5 = wizard().pageAs<Frm5>(PageId::Frm5);
    ASSERT_NE(f5->txtDetails(), nullptr);
    const std::string details = f5->txtDetails()->toPlainText().toStdString();
    EXPECT_NE(details.find("Items: 1 record(s) refused"), std::string::npos) << details;
    EXPECT_NE(details.find("Items, record 2: column d: the date 0531-01-16"), std::string::npos) << details;
    // The batch tool names it on standard error and exits 1: a row did not arrive.
    const std::string err = testing::TempDir() + "vt_tm_cli_shop_err.txt";
    EXPECT_EQ(runCli("'" + path + "' --database " + newDb("shopcli"), "/dev/null", err), 1);
    EXPECT_NE(slurp(err).find("veltrano-cli: Items: 1 record(s) refused"), std::string::npos) << slurp(err);
    std::remove(err.c_str());
    std::remove(path.c_str());
}

TEST_F(EndToEnd, WizardCancelDuringTheRunShowsTheReportAfterwards) {
    WizardDriver w;
    const std::string db = newDb("cancel");
    bool clicked = false;
    shellHooks().processEvents = [&] {
        auto* f4 = dynamic_cast<Frm4*>(wizard().loadedPage(PageId::Frm4));
        if (clicked || !f4 || !f4->running()) return;
        clicked = true;
        w.answers = {kYes};
        f4->cancelButton()->click();
    };
    std::vector<std::string> modal;
    shellHooks().runModal = [&](QWidget& page) {
        modal.push_back(page.objectName().toStdString());
    };
    test::SampleFile f{std::string(VELTRANO_TESTDATA_DIR) + "/compIndexTestV2000.mdb", ""};
    w.convert(f, db, false);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(w.told.at(0).rfind("Do you really want to stop conversion?", 0), 0u);
    EXPECT_EQ(modal, std::vector<std::string>{"frm5"});
    auto* f5 = wizard().pageAs<Frm5>(PageId::Frm5);
    EXPECT_EQ(f5->heading().toStdString(), "Conversion Canceled!");
    // What the report counts is what the server holds.
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM `" + db + "`.`Table1`"),
              std::to_string(session().convertedRecords));
    EXPECT_LT(session().convertedRecords, 512);
}

TEST_F(EndToEnd, WizardWrongPasswordThenRightOne) {
    WizardDriver w;
    wizard().page(PageId::Main)->forward();
    auto* f1 = wizard().pageAs<Frm1>(PageId::Frm1);
    EXPECT_FALSE(f1->forwardButton()->isEnabled());
    w.openPath = std::string(VELTRANO_TESTDATA_DIR) + "/V2000_with-password.mdb";
    f1->selectDatabase();
    f1->chkPassword()->click();
    f1->txtPassword()->setText("wrong");
    f1->forward();
    EXPECT_EQ(w.told, std::vector<std::string>{"Not a valid password "});
    EXPECT_TRUE(f1->isVisible());
    f1->txtPassword()->setText("password");
    f1->forward();
    auto* f2 = wizard().pageAs<Frm2>(PageId::Frm2);
    EXPECT_TRUE(f2->isVisible());
    EXPECT_EQ(f2->selection()->availableNames(), QStringList{"Table1"});
    // Next without a selection is refused.
    f2->forward();
    EXPECT_EQ(w.told.back(), "Select at least one table to convert.");
}

TEST_F(EndToEnd, BatchToolConvertsEverySampleFile) {
    const std::string out = testing::TempDir() + "vt_tm_cli_out.txt";
    const std::string err = testing::TempDir() + "vt_tm_cli_err.txt";
    auto run = [&](const std::string& args) { return runCli(args, out, err); };
    for (const auto& f : test::sampleFiles()) {
        SCOPED_TRACE(f.path);
        const std::string db = newDb("cli");
        std::string args = "'" + f.path + "' --database " + db + " --spaces-to-underscores";
        if (!f.password.empty()) args += " --db-password " + f.password;
        ASSERT_EQ(run(args), 0) << slurp(err);
        EXPECT_NE(slurp(out).find("Conversion Type        : Access to MySQL\r\n"),
                  std::string::npos);
        test::expectSameAsSource(check_, db, f.path, f.password, true);
    }

    // The database exists now: refused without --overwrite-database, and an
    // existing table stops the run without --existing.
    const std::string file = "'" + std::string(VELTRANO_TESTDATA_DIR) + "/testV1997.mdb'";
    const std::string db = dbs_.back();
    EXPECT_EQ(run(file + " --database " + db), 1);
    EXPECT_NE(slurp(err).find("--overwrite-database"), std::string::npos);
    EXPECT_EQ(run(file + " --append " + db + " --tables Table1"), 1);
    EXPECT_NE(slurp(err).find("already exists"), std::string::npos);
    EXPECT_EQ(run(file + " --append " + db + " --tables Table1,Table3 --existing skip"), 0);
    EXPECT_NE(slurp(out).find("Skipped Tables:\r\n******************\r\nTable1\r\nTable3\r\n"),
              std::string::npos);
    EXPECT_EQ(
        run(file + " --append " + db + " --existing overwrite --definitions-only --report " + out),
        0);
    EXPECT_NE(slurp(out).find("Total Converted Records: 0  record(s)"), std::string::npos);
    EXPECT_EQ(test::scalar(check_, "SELECT COUNT(*) FROM `" + db + "`.`Table1`"), "0");
    // Usage errors.
    EXPECT_EQ(run(file), 2);
    EXPECT_EQ(run(file + " --database a --append b"), 2);
    EXPECT_EQ(run(file + " --database a --existing sometimes"), 2);
    EXPECT_EQ(run(file + " --database a --tables NoSuchTable"), 2);
}

TEST_F(EndToEnd, BatchToolSqlFileLoadsIntoTheSameTablesAsADirectRun) {
    const std::string cli = std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli";
    const auto* login = test::testServer();
    setenv("MYSQL_PWD", login->password.c_str(), 1);
    // Names of its own: ctest runs the other batch-tool tests at the same time.
    const std::string sql = testing::TempDir() + "vt_tm_sqlfile.sql";
    const std::string err = testing::TempDir() + "vt_tm_sqlfile_err.txt";
    auto sh = [](const std::string& cmd) {
        int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    };
    const std::string mariadb = "mariadb -h " + login->host + " -P " + std::to_string(login->port) + " -u " +
                                login->user + " < '" + sql + "' 2>'" + err + "'";
    for (const auto& f : test::sampleFiles()) {
        SCOPED_TRACE(f.path);
        const std::string db = newDb("sqlfile");
        std::string args = " to-mysql '" + f.path + "' --database " + db + " --spaces-to-underscores --sql-file '" +
                           sql + "'";
        if (!f.password.empty()) args += " --db-password " + f.password;
        ASSERT_EQ(sh(cli + args + " 2>'" + err + "'"), 0) << slurp(err);
        ASSERT_EQ(sh(mariadb), 0) << slurp(err);
        test::expectSameAsSource(check_, db, f.path, f.password, true);
    }
    // The file has no child tables: the attachments it holds only by name are named.
    const std::string complex = std::string(VELTRANO_TESTDATA_DIR) + "/../accdb/complexDataTestV2010.accdb";
    ASSERT_EQ(sh(cli + " to-mysql '" + complex + "' --database x --sql-file '" + sql + "' 2>'" + err + "'"), 0);
    EXPECT_NE(slurp(err).find("not carried: Table1: values of column attach-data: the SQL file holds them as text only"),
              std::string::npos) << slurp(err);
    // A run that fails writes no file.
    std::remove(sql.c_str());
    const std::string locked = std::string(VELTRANO_TESTDATA_DIR) + "/V2000_with-password.mdb";
    EXPECT_EQ(sh(cli + " to-mysql '" + locked + "' --database x --db-password wrong --sql-file '" + sql + "' 2>/dev/null"), 1);
    EXPECT_FALSE(std::filesystem::exists(sql));
    EXPECT_FALSE(std::filesystem::exists(sql + ".partial"));
}

}  // namespace
}  // namespace veltrano::tomysql
