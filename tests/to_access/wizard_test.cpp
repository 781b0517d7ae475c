// The MySQL-to-Access pages driven offscreen, as a user walks them: login,
// database, tables, destination, the run, the report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <deque>
#include <filesystem>
#include <fstream>

#include "access/write/writer.h"
#include "common/conversion_session.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_access/dataset_support.h"
#include "to_access/frmTova1.h"
#include "to_access/frmTova2.h"
#include "to_access/frmTova3.h"
#include "to_access/frmTova4.h"
#include "to_access/to_access_pages.h"
#include "shell/table_selection.h"

namespace veltrano::tatest {
namespace {

class TovaWizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "to_access_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);  // kept for the whole program
            QApplication::setQuitOnLastWindowClosed(false);
        }
        wizard().reset();
        registerMysqlToAccessPages();
        ShellHooks& h = shellHooks();
        h.endProgram = [this] { ++ended_; };
        h.processEvents = [this] {
            QCoreApplication::processEvents();
            if (onEvents_) onEvents_();
        };
        h.runModal = [this](QWidget& w) {
            modal_.push_back(w.objectName().toStdString());
            w.show();
        };
        h.fileDialog = [this](const FileDialogRequest& r) -> std::optional<FileChoice> {
            dialogs_.push_back(r);
            if (!nextFile_) return std::nullopt;
            FileChoice c{QString::fromStdString(*nextFile_),
                         QString::fromStdString(std::filesystem::path(*nextFile_).filename().string())};
            return c;
        };
        h.messageResponder = [this](FrmMessage& m) {
            asked_.push_back(m.text().toStdString());
            int code = answers_.empty() ? kOk : answers_.front();
            if (!answers_.empty()) answers_.pop_front();
            if (!m.press(code)) m.press(kClosed);
        };
    }

    void TearDown() override {
        wizard().reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    FrmTova1* page1() { return wizard().pageAs<FrmTova1>(PageId::Tova1); }
    FrmTova2* page2() { return wizard().pageAs<FrmTova2>(PageId::Tova2); }
    FrmTova3* page3() { return wizard().pageAs<FrmTova3>(PageId::Tova3); }
    bool visible(PageId id) {
        WizardPage* p = wizard().loadedPage(id);
        return p && p->isVisible();
    }

    // Page 1 and 2: log in, pick `db`, select every table, go to page 3.
    void walkToPage3(const std::string& db) {
        wizard().show(PageId::Tova1);
        const Login* l = testLogin();
        page1()->txtHost()->setText(QString::fromStdString(l->host));
        page1()->txtUser()->setText(QString::fromStdString(l->user));
        page1()->txtPW()->setText(QString::fromStdString(l->password));
        page1()->txtPort()->setText(QString::number(l->port));
        page1()->cmdConnect()->click();
        ASSERT_TRUE(page1()->listDb()->isEnabled()) << (asked_.empty() ? "" : asked_.back());
        ASSERT_GE(page1()->listDb()->findText(QString::fromStdString(db)), 0);
        page1()->listDb()->setEditText(QString::fromStdString(db));
        page1()->forwardButton()->click();
        ASSERT_TRUE(visible(PageId::Tova2));
        page2()->selection()->cmdRightAll()->click();
        page2()->forwardButton()->click();
        ASSERT_TRUE(visible(PageId::Tova3));
    }

    int ended_ = 0;
    std::vector<std::string> modal_;
    std::vector<std::string> asked_;
    std::deque<int> answers_;
    std::vector<FileDialogRequest> dialogs_;
    std::optional<std::string> nextFile_;
    std::function<void()> onEvents_;
    ScratchFolder folder_;
};

TEST_F(TovaWizardTest, ConvertsADatabaseIntoANewFileAndReportsIt) {
    ScratchDatabase db("wiz_types");
    createDataset(db);
    walkToPage3(db.name());
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(session().tableCount, 3);
    EXPECT_EQ(page3()->text1()->text().toStdString(), FrmTova2::defaultDestination(db.name()));
    EXPECT_EQ(session().destinationFileName, db.name() + ".mdb");

    const std::string file = folder_.file("wizard.mdb");
    nextFile_ = file;
    page3()->command1()->click();
    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].kind, FileDialogKind::Save);
    EXPECT_EQ(dialogs_[0].filter, QStringLiteral("Access Databases(*.mdb)|*.mdb"));
    EXPECT_EQ(page3()->text1()->text().toStdString(), file);

    page3()->forwardButton()->click();
    EXPECT_TRUE(asked_.empty()) << asked_.front();
    ASSERT_TRUE(visible(PageId::Tova4));
    EXPECT_FALSE(visible(PageId::Tova3));
    auto* report = wizard().pageAs<FrmTova4>(PageId::Tova4);
    EXPECT_EQ(report->lstConverted()->count(), 3);
    EXPECT_EQ(report->lstSkipped()->count(), 0);
    EXPECT_TRUE(report->lblFinish()->text().startsWith(
        QString::fromStdString("Veltrano has successfully converted: " + db.name() + "\nTo: " + file)));
    EXPECT_NE(report->tovaReportText().find("Total Converted Records: 7  record(s)"), std::string::npos);
    // The lists end above the separator line and show whole rows, none cut short by it.
    const auto* line = report->findChild<QFrame*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    const int row = report->lstConverted()->sizeHintForRow(0);
    for (QListWidget* list : {report->lstConverted(), report->lstSkipped()}) {
        EXPECT_LT(list->geometry().bottom(), line->geometry().top());
        EXPECT_EQ((list->height() - 2 * list->frameWidth()) % row, 0);
    }
    expectDatasetFile(file);

    report->forwardButton()->click();  // Finish ends the program
    EXPECT_EQ(ended_, 1);
}

TEST_F(TovaWizardTest, PagesRefuseWhatTheyCannotUse) {
    ScratchDatabase db("wiz_checks");
    db.exec("CREATE TABLE t (a int)");
    db.exec("INSERT INTO t VALUES (1)");
    wizard().show(PageId::Tova1);
    page1()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "Please Connect to MySQL Server first");
    page1()->txtPort()->setText(QStringLiteral("1"));
    page1()->cmdConnect()->click();
    EXPECT_FALSE(page1()->listDb()->isEnabled());
    const Login* l = testLogin();
    page1()->txtHost()->setText(QString::fromStdString(l->host));
    page1()->txtUser()->setText(QString::fromStdString(l->user));
    page1()->txtPW()->setText(QString::fromStdString(l->password));
    page1()->txtPort()->setText(QString::number(l->port));
    page1()->cmdConnect()->click();
    ASSERT_TRUE(page1()->listDb()->isEnabled());
    page1()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "Please select Mysql database or type its name");
    page1()->listDb()->setEditText(QStringLiteral("vt_ta_no_such_db"));
    page1()->forwardButton()->click();
    EXPECT_NE(asked_.back().find("vt_ta_no_such_db"), std::string::npos) << asked_.back();
    EXPECT_FALSE(visible(PageId::Tova2));

    page1()->listDb()->setEditText(QString::fromStdString(db.name()));
    page1()->forwardButton()->click();
    ASSERT_TRUE(visible(PageId::Tova2));
    page2()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "Select at least one table to convert.");
    page2()->selection()->cmdRightAll()->click();
    page2()->forwardButton()->click();
    ASSERT_TRUE(visible(PageId::Tova3));

    // A new file over an existing one: No keeps the page as it was.
    const std::string file = folder_.file("exists.mdb");
    std::ofstream(file) << "x";
    nextFile_ = file;
    page3()->command1()->click();
    answers_ = {kNo};
    page3()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "exists.mdb  already exists, do you want to overwrite it?");
    EXPECT_TRUE(visible(PageId::Tova3));
    EXPECT_TRUE(page3()->forwardButton()->isEnabled());

    page3()->option2()->click();
    EXPECT_TRUE(page3()->browse2()->isEnabled());
    EXPECT_FALSE(page3()->command1()->isEnabled());
    nextFile_ = folder_.file("missing.mdb");
    page3()->browse2()->click();
    EXPECT_EQ(dialogs_.back().kind, FileDialogKind::Open);
    page3()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "specified Access file not found ");
}

TEST_F(TovaWizardTest, WrongPasswordAndCancelDuringTheRun) {
    ScratchDatabase db("wiz_cancel");
    db.exec("CREATE TABLE t (a int)");
    // Enough rows that the copy outlasts several rounds of window events on
    // any machine: Cancel is pressed at the first round after a row is in.
    db.exec("INSERT INTO t SELECT seq FROM seq_1_to_400000");
    walkToPage3(db.name());
    ASSERT_FALSE(HasFatalFailure());

    // An existing file with a password holding the table, first opened without it.
    const std::string file = folder_.file("pw.mdb");
    ASSERT_TRUE(access::createDatabase(file, "pw"));
    {
        access::WriteConnection w;
        ASSERT_TRUE(w.open(file, "pw"));
        ASSERT_TRUE(w.execute("CREATE TABLE [t]([a] integer)"));
        ASSERT_TRUE(w.close());
    }
    page3()->option2()->click();
    nextFile_ = file;
    page3()->browse2()->click();
    page3()->forwardButton()->click();
    EXPECT_EQ(asked_.back(), "Invalid Password ");
    EXPECT_TRUE(page3()->chkPassword()->isChecked());
    EXPECT_TRUE(page3()->txtPassword()->isEnabled());
    EXPECT_FALSE(page3()->prog()->isVisible());
    EXPECT_TRUE(visible(PageId::Tova3));

    // With the password the file opens; the table exists: Overwrite, and
    // Cancel (answered Yes) while its rows are copied.
    page3()->txtPassword()->setText(QStringLiteral("pw"));
    bool cancelled = false;
    onEvents_ = [&] {
        if (cancelled || session().convertedRecords == 0) return;
        cancelled = true;
        answers_.push_back(kYes);
        page3()->cancelButton()->click();
    };
    // The report appears only once what was stored is in the file.
    int64_t rowsWhenShown = -1;
    shellHooks().runModal = [&](QWidget& w) {
        modal_.push_back(w.objectName().toStdString());
        std::string csv = ourExport(file, "t", "pw");
        rowsWhenShown = static_cast<int64_t>(std::count(csv.begin(), csv.end(), '\n')) - 1;
        w.show();
    };
    answers_ = {kOverwrite};
    page3()->forwardButton()->click();
    onEvents_ = nullptr;
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(rowsWhenShown, session().convertedRecords);
    EXPECT_EQ(modal_, std::vector<std::string>{"frmTova4"});
    auto* report = wizard().pageAs<FrmTova4>(PageId::Tova4);
    EXPECT_EQ(report->heading(), QStringLiteral("Conversion Canceled!"));
    ASSERT_NE(report->txtDetails(), nullptr);
    EXPECT_TRUE(report->txtDetails()->toPlainText().contains(QStringLiteral("Tables Cut Short:")));
    EXPECT_TRUE(report->lstSkipped()->findItems(QStringLiteral("t"), Qt::MatchExactly).size() == 1);
    EXPECT_LT(session().convertedRecords, 400000);
    // What was stored before the Cancel stays in the file.
    std::string csv = ourExport(file, "t", "pw");
    EXPECT_EQ(static_cast<int64_t>(std::count(csv.begin(), csv.end(), '\n')) - 1, session().convertedRecords);
}

}  // namespace
}  // namespace veltrano::tatest
