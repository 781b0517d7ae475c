#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/frm_help.h"
#include "shell/twips.h"
#include "shell/wizard_run_host.h"
#include "shell_test_support.h"

namespace veltrano {
namespace {

using testing::ShellTest;

constexpr char kExit[] = "Do you really want to exit!? ";
constexpr char kStop[] =
    "Do you really want to stop conversion?, if you do you won't be able to undo changes made to the destination "
    "database.";

const PageId kAllPages[] = {PageId::Main, PageId::Frm1,  PageId::Frm2,  PageId::Frm3,  PageId::Frm4,
                            PageId::Frm5, PageId::Tova1, PageId::Tova2, PageId::Tova3, PageId::Tova4};

class FlowTest : public ShellTest {
protected:
    // Shows `id` as the only visible page.
    WizardPage* showOnly(PageId id) {
        for (WizardPage* p : wizard().loadedPages()) p->hide();
        wizard().show(id);
        return wizard().page(id);
    }
    bool visible(PageId id) {
        WizardPage* p = wizard().loadedPage(id);
        return p && p->isVisible();
    }
    static void pressF1(QWidget* target) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }
};

TEST_F(FlowTest, EveryPageHasItsCaptionHeadingAndButtonRow) {
    struct Row {
        PageId id;
        const char* name;
        const char* caption;
        const char* heading;
        const char* back;
        const char* forward;
        const char* forwardCaption;
        const char* cancel;
        const char* cancelCaption;
    };
    const char* toMysql = "Veltrano (Access => MySQL)";
    const char* toAccess = "Veltrano (MySQL => Access)";
    const Row rows[] = {
        {PageId::Frm1, "frm1", toMysql, "1. Select Access Database", "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Frm2, "frm2", toMysql, "2. Select Tables To Convert", "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Frm3, "frm3", toMysql, "3. Connect to MySQL server", "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Frm4, "frm4", toMysql, "4. Convert It", "cmdBack", "cmdConvert", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Frm5, "frm5", toMysql, "5. Finished !!", "cmdConvertAnother", "cmdFinish", "Finish", "cmdSaveReport", "Save Report"},
        {PageId::Tova1, "frmTova1", toAccess, "1. Connect to MySQL server", "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Tova2, "frmTova2", toAccess, "2. Select required tables", "cmdBack", "cmdNext", "Next >>", "cmdFinish", "Cancel"},
        {PageId::Tova3, "frmTova3", toAccess, "3. Access database file destination", "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
        {PageId::Tova4, "frmTova4", toAccess, "4. Finished !!", "cmdConvertAnother", "cmdFinish", "Finish", "cmdSaveReport", "Save Report"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        WizardPage* p = wizard().page(r.id);
        EXPECT_EQ(p->objectName(), r.name);
        EXPECT_EQ(p->windowTitle(), r.caption);
        EXPECT_EQ(p->heading(), r.heading);
        EXPECT_EQ(p->palette().color(QPalette::Window), QColor(207, 207, 207));
        EXPECT_EQ(p->backButton()->objectName(), r.back);
        EXPECT_EQ(p->backButton()->text(), "<< Back");
        EXPECT_EQ(p->forwardButton()->objectName(), r.forward);
        EXPECT_EQ(p->forwardButton()->text(), r.forwardCaption);
        EXPECT_EQ(p->cancelButton()->objectName(), r.cancel);
        EXPECT_EQ(p->cancelButton()->text(), r.cancelCaption);
        EXPECT_EQ(p->helpButton()->objectName(), "cmdHelp");
        const bool report = r.id == PageId::Frm5 || r.id == PageId::Tova4;
        EXPECT_EQ(p->backButton()->isEnabled(), !report);
        const int lefts[] = {180, 1920, 4380, 6120};
        QPushButton* buttons[] = {p->backButton(), p->forwardButton(), p->cancelButton(), p->helpButton()};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(buttons[i]->geometry(), twipsRect(lefts[i], 5100, 1575, 375)) << i;
        }
    }
}

TEST_F(FlowTest, BackAndForwardLeadToTheNeighbouringPages) {
    struct Step {
        PageId page;
        PageId back;
        PageId forward;
    };
    const Step steps[] = {
        {PageId::Frm1, PageId::Main, PageId::Frm2},   {PageId::Frm2, PageId::Frm1, PageId::Frm3},
        {PageId::Frm3, PageId::Frm2, PageId::Frm4},   {PageId::Frm4, PageId::Frm3, PageId::Frm5},
        {PageId::Tova1, PageId::Main, PageId::Tova2}, {PageId::Tova2, PageId::Tova1, PageId::Tova3},
        {PageId::Tova3, PageId::Tova2, PageId::Tova4},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(pageInfo(s.page).name);
        WizardPage* p = showOnly(s.page);
        p->forwardButton()->click();
        EXPECT_TRUE(visible(s.forward));
        EXPECT_FALSE(p->isVisible());
        p = showOnly(s.page);
        p->backButton()->click();
        EXPECT_TRUE(visible(s.back));
        EXPECT_FALSE(visible(s.page));
    }
    // The report pages stay where they are: Back is disabled and does nothing.
    for (PageId report : {PageId::Frm5, PageId::Tova4}) {
        WizardPage* p = showOnly(report);
        p->back();
        EXPECT_TRUE(p->isVisible());
    }
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(endCount_, 0);
}

TEST_F(FlowTest, BothPathsCanBeWalkedFromTheMainWindow) {
    wizard().start();
    for (int i = 0; i < 4; ++i) wizard().loadedPages().back()->forwardButton()->click();
    EXPECT_TRUE(visible(PageId::Frm4));
    wizard().page(PageId::Frm4)->forwardButton()->click();
    EXPECT_TRUE(visible(PageId::Frm5));
    EXPECT_EQ(wizard().loadedPages().size(), 6u);
}

TEST_F(FlowTest, BackFromPage2DiscardsItAndPage3ReenablesItsNext) {
    WizardPage* frm2 = showOnly(PageId::Frm2);
    frm2->forwardButton()->setEnabled(false);  // page 2's Next disables itself while it works
    frm2->forwardButton()->click();
    ASSERT_FALSE(frm2->forwardButton()->isEnabled());
    wizard().page(PageId::Frm3)->backButton()->click();
    EXPECT_TRUE(frm2->forwardButton()->isEnabled());
    EXPECT_TRUE(frm2->isVisible());

    QPointer<WizardPage> old = frm2;
    frm2->backButton()->click();
    EXPECT_TRUE(visible(PageId::Frm1));
    EXPECT_EQ(wizard().loadedPage(PageId::Frm2), nullptr);
    flushDeletes();
    EXPECT_TRUE(old.isNull());

    wizard().page(PageId::Frm1)->forwardButton()->click();
    WizardPage* fresh = wizard().loadedPage(PageId::Frm2);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->isVisible());
}

TEST_F(FlowTest, CloseBoxIsRefusedAndRunsCancelUnlessQuitting) {
    // Pages whose close turns into the exit question while not quitting.
    for (PageId id : {PageId::Main, PageId::Frm1, PageId::Frm2, PageId::Frm3, PageId::Tova1, PageId::Tova2}) {
        SCOPED_TRACE(pageInfo(id).name);
        WizardPage* p = showOnly(id);
        asked_.clear();
        answer({kNo});
        EXPECT_FALSE(p->close());
        EXPECT_TRUE(p->isVisible());
        ASSERT_EQ(asked_.size(), 1u);
        EXPECT_EQ(asked_[0].text, kExit);
    }
    // The run pages ask whether to stop instead.
    for (PageId id : {PageId::Frm4, PageId::Tova3}) {
        WizardPage* p = showOnly(id);
        asked_.clear();
        answer({kNo});
        EXPECT_FALSE(p->close());
        ASSERT_EQ(asked_.size(), 1u);
        EXPECT_EQ(asked_[0].text, kStop);
        EXPECT_EQ(asked_[0].picture, kExclamation);
    }
    EXPECT_EQ(endCount_, 0);

    // A hidden page 2 closes without a question.
    WizardPage* frm2 = wizard().page(PageId::Frm2);
    frm2->hide();
    asked_.clear();
    EXPECT_TRUE(frm2->close());

    // While quitting, the Access-to-MySQL pages and the main window close
    // quietly; frmTova2 and frmTova3 still refuse and ask.
    session().quitting = true;
    for (PageId id : {PageId::Main, PageId::Frm1, PageId::Frm3, PageId::Frm4}) {
        EXPECT_TRUE(showOnly(id)->close()) << pageInfo(id).name;
    }
    EXPECT_TRUE(asked_.empty());
    answer({kNo, kNo});
    EXPECT_FALSE(showOnly(PageId::Tova2)->close());
    EXPECT_FALSE(showOnly(PageId::Tova3)->close());
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_EQ(endCount_, 0);
}

TEST_F(FlowTest, ConfirmedCancelOnAStepPageEndsTheProgram) {
    for (PageId id : {PageId::Frm1, PageId::Frm2, PageId::Frm3, PageId::Tova1, PageId::Tova2}) {
        answer({kYes});
        showOnly(id)->cancelButton()->click();
    }
    EXPECT_EQ(endCount_, 1) << "the first Yes ended the program; later questions are not shown";
    EXPECT_EQ(asked_.size(), 1u);
    answers_.clear();
}

TEST_F(FlowTest, ClosingTheReportPagesEndsTheProgram) {
    WizardPage* tova4 = showOnly(PageId::Tova4);
    EXPECT_FALSE(tova4->close());
    EXPECT_EQ(endCount_, 1);
    EXPECT_TRUE(asked_.empty());

    wizard().reset();
    SetUp();
    // frm5 has no close rule of its own; closing it runs Finish rather than
    // leaving a program without a window.
    WizardPage* frm5 = showOnly(PageId::Frm5);
    frm5->close();
    EXPECT_TRUE(session().quitting);
    EXPECT_EQ(endCount_, 1);
}

TEST_F(FlowTest, FinishOnPage5ClosesEveryWindowAndAsksOnBehalfOfTheOtherPath) {
    wizard().start();
    showOnly(PageId::Tova1);
    showOnly(PageId::Frm1);
    WizardPage* frm5 = showOnly(PageId::Frm5);
    bool released = false;
    session().mysql = std::shared_ptr<MYSQL_CONNECTION>(nullptr, [&released](MYSQL_CONNECTION*) { released = true; });
    answer({kYes});
    frm5->forwardButton()->click();
    EXPECT_TRUE(session().quitting);
    EXPECT_TRUE(released) << "Finish releases the run's MySQL connection";
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].text, kExit);
    EXPECT_EQ(endCount_, 1);
    EXPECT_FALSE(visible(PageId::Main));
    EXPECT_FALSE(visible(PageId::Frm1));

    // Answered No, frmTova1 stays loaded but hidden: the program still ends
    // instead of running on without a window.
    wizard().reset();
    SetUp();
    showOnly(PageId::Tova2);
    frm5 = showOnly(PageId::Frm5);
    answer({kNo});
    frm5->forwardButton()->click();
    EXPECT_EQ(asked_.size(), 1u);
    EXPECT_EQ(endCount_, 1);
    for (WizardPage* p : wizard().loadedPages()) EXPECT_FALSE(p->isVisible()) << p->objectName().toStdString();

    wizard().reset();
    SetUp();
    showOnly(PageId::Tova4)->forwardButton()->click();
    EXPECT_EQ(endCount_, 1);
}

TEST_F(FlowTest, ConfirmedStopShowsTheCancelledReportModal) {
    for (PageId id : {PageId::Frm4, PageId::Tova3}) {
        SCOPED_TRACE(pageInfo(id).name);
        const PageId report = id == PageId::Frm4 ? PageId::Frm5 : PageId::Tova4;
        WizardPage* run = showOnly(id);
        WizardRunHost host(run);
        answer({kNo});
        run->cancelButton()->click();
        EXPECT_TRUE(run->isVisible());
        EXPECT_FALSE(host.cancelRequested());
        EXPECT_EQ(wizard().loadedPage(report), nullptr);

        answer({kYes});
        run->cancelButton()->click();
        EXPECT_TRUE(host.cancelRequested());
        EXPECT_FALSE(run->isVisible());
        ASSERT_NE(wizard().loadedPage(report), nullptr);
        EXPECT_EQ(wizard().loadedPage(report)->heading(), "Conversion Canceled!");
        EXPECT_TRUE(visible(report));
        EXPECT_EQ(modalShown_.back(), pageInfo(report).name);
    }
    EXPECT_EQ(endCount_, 0);
}

TEST_F(FlowTest, F1AndHelpShowThePagesHelpText) {
    const char* captions[] = {"Veltrano Main window Help",
                              "Step 1 of 5: Select your Access database",
                              "Step 2 of 5: Select tables to convert",
                              "Step 3 of 5: Connect to MySQL server",
                              "Step 4 of 5: Convert it",
                              "Step 5 of 5: Finished!",
                              "Step 1 of 4: Connect to MySQL server",
                              "Step 2 of 4: Select required tables",
                              "Step 3 of 4: Access database file destination",
                              "Step 4 of 4: Finished!"};
    int i = 0;
    for (PageId id : kAllPages) {
        SCOPED_TRACE(pageInfo(id).name);
        WizardPage* p = showOnly(id);
        modalShown_.clear();
        // F1 reaches the page also from one of its buttons.
        pressF1(i % 2 ? static_cast<QWidget*>(p->forwardButton()) : p);
        EXPECT_EQ(session().helpKey, pageInfo(id).helpKey);
        EXPECT_EQ(modalShown_, QStringList{"frmHelp"});
        EXPECT_EQ(helpWindow()->windowTitle(), captions[i]);
        helpWindow()->hide();

        session().helpKey.clear();
        p->helpButton()->click();
        EXPECT_EQ(session().helpKey, pageInfo(id).helpKey);
        EXPECT_EQ(helpWindow()->windowTitle(), captions[i]);
        helpWindow()->hide();
        ++i;
    }
    EXPECT_EQ(endCount_, 0);
}

// A page that counts its activations.
class CountingPage : public WizardPage {
public:
    using WizardPage::WizardPage;
    int loads = 0;
    int activations = 0;

protected:
    void onLoad() override { ++loads; }
    void onActivate() override { ++activations; }
};

TEST_F(FlowTest, RegisteredPagesLoadOnceAndHearEachActivation) {
    wizard().registerPage(PageId::Tova2, [] { return new CountingPage(PageId::Tova2); });
    wizard().start();
    auto* tova2 = dynamic_cast<CountingPage*>(wizard().page(PageId::Tova2));
    ASSERT_NE(tova2, nullptr);
    EXPECT_EQ(tova2->loads, 1);
    EXPECT_EQ(tova2->activations, 0) << "loading does not show the page";
    wizard().show(PageId::Tova2, wizard().page(PageId::Main));
    QApplication::processEvents();
    EXPECT_EQ(tova2->activations, 1);
    tova2->forwardButton()->click();
    QApplication::processEvents();
    wizard().page(PageId::Tova3)->backButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(tova2->activations, 2);
    EXPECT_EQ(tova2->loads, 1);
    EXPECT_EQ(wizard().page(PageId::Tova2), tova2);
}

TEST_F(FlowTest, RunHostAsksThroughTheDialogAndLetsEventsRunAtABoundedRate) {
    WizardPage* run = showOnly(PageId::Frm4);
    WizardRunHost host(run);
    answer({kSkipAll});
    EXPECT_EQ(host.ask("Table \"a b\" already exists.", kSetTableExists, kQuestion), kSkipAll);
    EXPECT_EQ(asked_.back().text, "Table \"a b\" already exists.");

    for (int i = 0; i < 1000; ++i) host.keepAlive();
    EXPECT_GE(processEventsCount_, 1);
    EXPECT_LE(processEventsCount_, 3);
    const int before = processEventsCount_;
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() <= WizardRunHost::kKeepAliveMs + 5) {
    }
    host.keepAlive();
    EXPECT_EQ(processEventsCount_, before + 1);

    EXPECT_FALSE(host.cancelRequested());
    endProgram();
    EXPECT_TRUE(host.cancelRequested()) << "a run stops once the program has ended";
}

}  // namespace
}  // namespace veltrano
