#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "common/conversion_session.h"
#include "shell/frm_about.h"
#include "shell/frm_main.h"
#include "shell/link_label.h"
#include "shell/twips.h"
#include "shell_test_support.h"

namespace veltrano {
namespace {

using testing::ShellTest;

TwipsBox twipsOf(const QWidget* w) {
    const QRect r = w->geometry();
    return {toTwips(r.x()), toTwips(r.y()), toTwips(r.width()), toTwips(r.height())};
}

QString textOf(QWidget* parent, const char* name) {
    auto* label = parent->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

class MainWindowTest : public ShellTest {
protected:
    FrmMain* main() { return wizard().pageAs<FrmMain>(PageId::Main); }
};

TEST_F(MainWindowTest, OpensWithItsDesignState) {
    session().quitting = true;
    wizard().start();
    FrmMain* m = main();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(session().quitting) << "loading the main window clears quitting";
    EXPECT_EQ(m->windowTitle(), "Veltrano (Main window)");
    EXPECT_EQ(m->objectName(), "frmMain");
    EXPECT_EQ(m->palette().color(QPalette::Window), QColor(207, 207, 207));
    EXPECT_EQ(m->heading(), "What do you want to convert?");
    EXPECT_TRUE(m->optLenn()->isChecked());
    EXPECT_FALSE(m->optTova()->isChecked());
    EXPECT_EQ(m->optLenn()->text(), "Access to MySQL");
    EXPECT_EQ(m->optTova()->text(), "MySQL to Access");
    EXPECT_EQ(textOf(m, "lblLenn"), "I have an Access database and I want to export its data to MySQL");
    EXPECT_EQ(textOf(m, "lblTova"), "I have a MySQL database and I want to export its data to Access.");
    EXPECT_EQ(m->aboutLink()->text(), "About this program");
    EXPECT_EQ(m->aboutLink()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(twipsOf(m->headingLabel()), (TwipsBox{180, 120, 6615, 495}));
    EXPECT_EQ(twipsOf(m->optLenn()), (TwipsBox{1620, 1500, 3555, 495}));
    EXPECT_EQ(twipsOf(m->optTova()), (TwipsBox{1620, 3120, 4815, 495}));
    EXPECT_EQ(twipsOf(m->aboutLink()), (TwipsBox{6060, 4620, 1635, 225}));

    EXPECT_EQ(m->backButton()->objectName(), "cmdBack");
    EXPECT_FALSE(m->backButton()->isEnabled());
    EXPECT_EQ(m->forwardButton()->objectName(), "cmdNext");
    EXPECT_EQ(m->cancelButton()->objectName(), "cmdExit");
    EXPECT_EQ(m->cancelButton()->text(), "Exit");
    EXPECT_EQ(m->helpButton()->text(), "Help");
    EXPECT_EQ(twipsOf(m->backButton()), (TwipsBox{180, 5100, 1575, 375}));
    EXPECT_EQ(twipsOf(m->forwardButton()), (TwipsBox{1920, 5100, 1575, 375}));
    EXPECT_EQ(twipsOf(m->cancelButton()), (TwipsBox{4380, 5100, 1575, 375}));
    EXPECT_EQ(twipsOf(m->helpButton()), (TwipsBox{6120, 5100, 1575, 375}));
}

TEST_F(MainWindowTest, DirectionFollowsTheChoiceAndPagesKeepTheirState) {
    wizard().start();
    main()->forwardButton()->click();
    EXPECT_EQ(session().direction, 1);
    WizardPage* frm1 = wizard().loadedPage(PageId::Frm1);
    ASSERT_NE(frm1, nullptr);
    EXPECT_TRUE(frm1->isVisible());
    EXPECT_FALSE(main()->isVisible());

    frm1->setProperty("marker", 42);  // stands for the page's contents
    frm1->backButton()->click();
    EXPECT_TRUE(main()->isVisible());
    EXPECT_FALSE(frm1->isVisible());

    main()->optTova()->click();
    main()->forwardButton()->click();
    EXPECT_EQ(session().direction, 0);
    WizardPage* tova1 = wizard().loadedPage(PageId::Tova1);
    ASSERT_NE(tova1, nullptr);
    EXPECT_TRUE(tova1->isVisible());

    tova1->backButton()->click();
    EXPECT_TRUE(main()->isVisible());
    main()->optLenn()->click();
    main()->forwardButton()->click();
    EXPECT_EQ(session().direction, 1);
    EXPECT_EQ(wizard().loadedPage(PageId::Frm1), frm1) << "the first page is shown again, not rebuilt";
    EXPECT_EQ(frm1->property("marker").toInt(), 42);
    EXPECT_EQ(endCount_, 0);
}

TEST_F(MainWindowTest, ExitAnsweredNoKeepsTheWindowAndYesEndsTheProgram) {
    wizard().start();
    answer({kNo});
    main()->cancelButton()->click();
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].text, "Do you really want to exit!? ");
    EXPECT_EQ(asked_[0].buttonSet, kSetYesNo);
    EXPECT_EQ(asked_[0].picture, kQuestion);
    EXPECT_EQ(endCount_, 0);
    EXPECT_TRUE(main()->isVisible());
    EXPECT_TRUE(main()->optLenn()->isChecked());

    // The close box asks the same question.
    answer({kNo});
    EXPECT_FALSE(main()->close());
    EXPECT_EQ(asked_.size(), 2u);
    EXPECT_TRUE(main()->isVisible());

    // A dialog closed without an answer is not a Yes.
    answer({kClosed});
    main()->cancelButton()->click();
    EXPECT_EQ(endCount_, 0);

    answer({kYes});
    main()->cancelButton()->click();
    EXPECT_EQ(endCount_, 1);
}

TEST_F(MainWindowTest, AboutWindowOpensTheProjectPagesAndCloses) {
    wizard().start();
    bool sawAbout = false;
    onModal_ = [&](QWidget& w) {
        auto* about = qobject_cast<FrmAbout*>(&w);
        ASSERT_NE(about, nullptr);
        sawAbout = true;
        EXPECT_EQ(about->windowTitle(), "About Veltrano");
        EXPECT_EQ(about->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_EQ(textOf(about, "lblMaker"), "Orvane");
        EXPECT_EQ(textOf(about, "lblVersion"), "Version 1.0");
        const char* links[] = {"lblHomepage", "lblSupport", "lblMakerHomepage"};
        for (const char* name : links) {
            LinkLabel* link = about->link(QString::fromLatin1(name));
            ASSERT_NE(link, nullptr) << name;
            EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
            link->click();
        }
        EXPECT_EQ(about->link("lblHomepage")->text(), "Veltrano Homepage");
        EXPECT_EQ(about->link("lblSupport")->text(), "Veltrano Support");
        EXPECT_EQ(about->link("lblMakerHomepage")->text(), "Orvane Homepage");
        about->link("lblClose")->click();
        EXPECT_FALSE(about->isVisible());
    };
    main()->aboutLink()->click();
    EXPECT_TRUE(sawAbout);
    EXPECT_EQ(modalShown_, QStringList{"frmAbout"});
    ASSERT_EQ(openedUrls_.size(), 3u);
    EXPECT_EQ(openedUrls_[0], QUrl(kHomepageUrl));
    EXPECT_EQ(openedUrls_[1], QUrl(kSupportUrl));
    EXPECT_EQ(openedUrls_[2], QUrl(kMakerUrl));
}

}  // namespace
}  // namespace veltrano
