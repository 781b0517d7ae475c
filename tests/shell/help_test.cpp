#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/frm_help.h"
#include "shell/help_texts.h"
#include "shell/twips.h"
#include "shell_test_support.h"

namespace veltrano {
namespace {

using testing::ShellTest;

const QString kCrLf = QStringLiteral("\r\n");

TEST(HelpTexts, LookupIgnoresCaseAndTextsAreJoinedWithBlankLines) {
    ASSERT_NE(findHelpText("frmTova2"), nullptr);
    EXPECT_EQ(findHelpText("frmTova2")->caption, "Step 2 of 4: Select required tables");
    EXPECT_EQ(findHelpText("FRMMAIN")->caption, "Veltrano Main window Help");
    EXPECT_EQ(findHelpText("frmMain"), findHelpText("frmmain"));
    EXPECT_EQ(findHelpText("frm6"), nullptr);
    EXPECT_EQ(findHelpText(""), nullptr);

    // Both report pages share their paragraph under their own captions.
    EXPECT_EQ(findHelpText("frm5")->text, findHelpText("frmTova4")->text);
    EXPECT_EQ(findHelpText("frm5")->caption, "Step 5 of 5: Finished!");
    EXPECT_EQ(findHelpText("frmTova4")->caption, "Step 4 of 4: Finished!");

    EXPECT_EQ(helpTextCount(), 10);
    for (int i = 0; i < helpTextCount(); ++i) {
        const QString& text = helpTextAt(i).text;
        SCOPED_TRACE(helpTextAt(i).key.toStdString());
        EXPECT_TRUE(text.endsWith(kCrLf.repeated(4)));
        EXPECT_FALSE(text.endsWith(kCrLf.repeated(5)));
        // No lone line breaks: every break is CR LF.
        EXPECT_EQ(text.count('\r'), text.count('\n'));
    }
    const QString frm3 = findHelpText("frm3")->text;
    EXPECT_TRUE(frm3.startsWith("In this window, type your MySQL server login parameters."));
    EXPECT_EQ(frm3.split(kCrLf + kCrLf, Qt::SkipEmptyParts).size(), 3);
    EXPECT_TRUE(frm3.contains("ask your server administrator." + kCrLf + kCrLf + "NOTE: The default port"));
}

class HelpWindowTest : public ShellTest {};

TEST_F(HelpWindowTest, ShowsThePagesTextAndKeepsItForAnUnknownKey) {
    showHelp("frmTova2");
    FrmHelp* help = helpWindow();
    EXPECT_EQ(modalShown_, QStringList{"frmHelp"});
    EXPECT_EQ(help->windowTitle(), "Step 2 of 4: Select required tables");
    EXPECT_EQ(help->text(), findHelpText("frmtova2")->text);
    EXPECT_TRUE(help->textBox()->toPlainText().startsWith(
        "This window shows a list of the tables available in your MySQL database.\n\nUse the arrow"));
    EXPECT_EQ(help->palette().color(QPalette::Window), QColor(207, 207, 207));
    EXPECT_EQ(help->textBox()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(help->closeButton()->text(), "Close (Esc)");
    help->hide();

    showHelp("no such page");
    EXPECT_EQ(helpWindow(), help) << "the help window is created once";
    EXPECT_EQ(help->windowTitle(), "Step 2 of 4: Select required tables");
    EXPECT_EQ(help->text(), findHelpText("frmtova2")->text);
    help->hide();
}

TEST_F(HelpWindowTest, EscapeInTheTextAndTheCloseButtonHideIt) {
    showHelp("frm1");
    FrmHelp* help = helpWindow();
    ASSERT_TRUE(help->isVisible());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(help->textBox(), &escape);
    EXPECT_FALSE(help->isVisible());

    showHelp("frm1");
    ASSERT_TRUE(help->isVisible());
    help->closeButton()->click();
    EXPECT_FALSE(help->isVisible());
    EXPECT_TRUE(helpWindowLoaded());
}

TEST_F(HelpWindowTest, ResizingKeepsTheTextAboveTheCloseButton) {
    showHelp("frm1");
    FrmHelp* help = helpWindow();
    help->resize(toPixels(9000), toPixels(6000));
    QApplication::processEvents();
    const QRect text = help->textBox()->geometry();
    EXPECT_EQ(text.x(), toPixels(60));
    EXPECT_EQ(text.y(), toPixels(60));
    EXPECT_EQ(text.width(), toPixels(9000 - 120));
    EXPECT_EQ(text.height(), toPixels(6000 - 60 - 375 - 10 * toTwips(1)));
    EXPECT_EQ(help->closeButton()->geometry(), twipsRect(4260, 2580, 1695, 375));
    help->hide();
}

}  // namespace
}  // namespace veltrano
