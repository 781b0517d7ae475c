#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <cmath>

#include "shell/my_message.h"
#include "shell/twips.h"
#include "shell_test_support.h"

namespace veltrano {
namespace {

using testing::ShellTest;

class MessageTest : public ShellTest {
protected:
    QFont messageFont() {
        FrmMessage d;
        return d.findChild<QLabel*>("lblTemp")->font();
    }
    // A one-line text exactly `pixels` wide, or empty when none is found.
    QString textOfWidth(int pixels) {
        const QFontMetrics fm(messageFont());
        for (int wide = 0; wide < 200; ++wide) {
            for (int narrow = 0; narrow < 30; ++narrow) {
                const QString s = QString(wide, 'm') + QString(narrow, 'i');
                if (fm.horizontalAdvance(s) == pixels) return s;
            }
        }
        return {};
    }
    // Widest whole-pixel width whose text still measures at most `twips`.
    static int widestPixelsWithin(int twips) {
        return static_cast<int>(std::floor(twips * logicalDpi() / kTwipsPerInch));
    }
    static QString sentence(int minimumTwips) {
        QString s;
        FrmMessage probe;
        do {
            s += QStringLiteral("The quick brown fox jumps over the lazy dog. ");
            probe.prepare(s, kSetOk, kQuestion);
        } while (probe.measuredWidth() + 810 <= minimumTwips);
        return s;
    }
};

TEST_F(MessageTest, ShortTextNarrowerThanTheButtonsTakesTheButtonWidth) {
    FrmMessage d;
    d.prepare("Hi", kSetOk, kInformation);
    const int w = d.measuredWidth();
    ASSERT_LT(w + 810, 2730);
    EXPECT_EQ(d.windowTitle(), "Veltrano");
    EXPECT_EQ(d.palette().color(QPalette::Window), QColor(207, 207, 207));
    EXPECT_EQ(d.baseWidth(), 2730);
    EXPECT_EQ(d.windowWidth(), 2780);
    EXPECT_EQ(d.windowHeight(), 990);
    EXPECT_EQ(d.box("lblMessage"), (TwipsBox{(2780 - 645 - w) / 2 + 550, 157, w, 270}));
    EXPECT_EQ(d.box("cmdOK"), (TwipsBox{775, 597, 1230, 350}));
    EXPECT_EQ(d.box("img"), (TwipsBox{0, 120, 645, 675}));
    EXPECT_EQ(d.size(), QSize(toPixels(2780), toPixels(990)));
    auto* label = d.findChild<QLabel*>("lblMessage");
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_TRUE(label->font().bold());
}

TEST_F(MessageTest, ShortTextWiderThanTheButtonsGrowsTheWindow) {
    FrmMessage d;
    d.prepare("Do you really want to exit!? ", kSetOk, kQuestion);
    const int w = d.measuredWidth();
    ASSERT_GE(w + 810, d.baseWidth());
    ASSERT_LE(w + 810, 7500);
    EXPECT_EQ(d.windowWidth(), w + 900);
    EXPECT_EQ(d.box("lblMessage").width, w);
    EXPECT_EQ(d.windowHeight(), 990);
}

TEST_F(MessageTest, ThresholdsSeparateShortMediumAndLongTexts) {
    // At 96 DPI the first text measures exactly 6690 twips: 7500 with the margin.
    const int shortPixels = widestPixelsWithin(7500 - 810);
    FrmMessage atLimit;
    atLimit.prepare(textOfWidth(shortPixels), kSetOk, kQuestion);
    ASSERT_LE(atLimit.measuredWidth() + 810, 7500);
    if (logicalDpi() == 96.0) {
        EXPECT_EQ(atLimit.measuredWidth() + 810, 7500);
    }
    EXPECT_EQ(atLimit.windowWidth(), atLimit.measuredWidth() + 900) << "up to 7500 is short";
    EXPECT_EQ(atLimit.windowHeight(), 990);

    FrmMessage medium;
    medium.prepare(textOfWidth(shortPixels + 1), kSetYesNo, kQuestion);
    ASSERT_GT(medium.measuredWidth() + 810, 7500);
    EXPECT_EQ(medium.windowWidth(), 7500);
    EXPECT_EQ(medium.windowHeight(), 990 + 220);
    EXPECT_EQ(medium.box("lblMessage"), (TwipsBox{960, 120, 6200, 600}));
    EXPECT_EQ(medium.box("cmdYes"), (TwipsBox{(7500 - 2460 - 200) / 2, 820, 1230, 350}));
    EXPECT_EQ(medium.box("cmdNo"), (TwipsBox{(7500 - 2460 - 200) / 2 + 1430, 817, 1230, 350}));

    const int mediumPixels = widestPixelsWithin(13000 - 810);
    FrmMessage atMedium;
    atMedium.prepare(textOfWidth(mediumPixels), kSetOk, kQuestion);
    ASSERT_LE(atMedium.measuredWidth() + 810, 13000);
    EXPECT_EQ(atMedium.windowHeight(), 990 + 220) << "up to 13000 is medium";
    EXPECT_EQ(atMedium.box("lblMessage").height, 600);

    FrmMessage over;
    over.prepare(textOfWidth(mediumPixels + 1), kSetOk, kQuestion);
    ASSERT_GT(over.measuredWidth() + 810, 13000);
    EXPECT_EQ(over.windowHeight(), 990 + 550);
    EXPECT_EQ(over.box("lblMessage").height, 800);
}

TEST_F(MessageTest, LongTextWrapsInTheWideLabel) {
    FrmMessage d;
    d.prepare(sentence(13000), kSetOk, kExclamation);
    EXPECT_GT(d.measuredWidth() + 810, 13000);
    EXPECT_EQ(d.windowWidth(), 7500);
    EXPECT_EQ(d.windowHeight(), 990 + 550);
    EXPECT_EQ(d.box("lblMessage"), (TwipsBox{960, 120, 6200, 800}));
    EXPECT_EQ(d.box("cmdOK"), (TwipsBox{(7500 - 1230) / 2, 597 + 500, 1230, 350}));
}

TEST_F(MessageTest, TextThatDoesNotFitItsLabelGrowsTheWindowInsteadOfBeingCut) {
    FrmMessage d;
    d.prepare("First line\r\nSecond line\r\nThird line", kSetOk, kExclamation);
    const TwipsBox label = d.box("lblMessage");
    const int lineHeight = toTwips(QFontMetrics(d.findChild<QLabel*>("lblMessage")->font()).height());
    EXPECT_GE(label.height, 3 * lineHeight - toTwips(1));
    const int extra = label.height - 270;
    EXPECT_EQ(d.windowHeight(), 990 + extra);
    EXPECT_EQ(d.box("cmdOK").top, 597 + extra);

    FrmMessage veryLong;
    QString text = sentence(13000);
    text = text + text + text;
    veryLong.prepare(text, kSetYesNo, kQuestion);
    const int grown = veryLong.box("lblMessage").height - 800;
    EXPECT_GT(grown, 0);
    EXPECT_EQ(veryLong.windowHeight(), 990 + 550 + grown);
    EXPECT_EQ(veryLong.box("cmdYes").top, 600 + 500 + grown);
}

TEST_F(MessageTest, EachButtonSetShowsItsButtonsInOrderAtTheirPlaces) {
    struct Expect {
        int set;
        int window;
        QStringList buttons;
        std::vector<int> lefts;
    };
    const Expect sets[] = {
        {kSetOk, 2780, {"cmdOK"}, {775}},
        {kSetOkCancel, 4210, {"cmdOK", "cmdCancel"}, {775, 2205}},
        {kSetYesNo, 4210, {"cmdYes", "cmdNo"}, {775, 2205}},
        {kSetYesNoCancel, 8100, {"cmdYes", "cmdNo", "cmdCancel"}, {2055, 3485, 4915}},
        {kSetTableExists, 8100, {"cmdSkip", "cmdSkipAll", "cmdOverwrite", "cmdOverwriteAll", "cmdCancel"},
         {450, 1880, 3310, 4740, 6360}},
    };
    for (const Expect& e : sets) {
        SCOPED_TRACE(e.set);
        FrmMessage d;
        d.prepare("Hi", e.set, kQuestion);
        EXPECT_EQ(d.windowWidth(), e.window);
        EXPECT_EQ(d.visibleButtons(), e.buttons);
        for (int i = 0; i < e.buttons.size(); ++i) EXPECT_EQ(d.box(e.buttons[i]).left, e.lefts[i]) << i;
    }
}

TEST_F(MessageTest, EachButtonAnswersItsCode) {
    struct Press {
        int set;
        int code;
        const char* word;
    };
    const Press presses[] = {
        {kSetOk, kOk, "ok"},           {kSetOkCancel, kCancel, "cancel"},      {kSetYesNo, kYes, "yes"},
        {kSetYesNo, kNo, "no"},        {kSetYesNoCancel, kCancel, "cancel"},   {kSetTableExists, kSkip, "skip"},
        {kSetTableExists, kSkipAll, "skipall"}, {kSetTableExists, kOverwrite, "overwrite"},
        {kSetTableExists, kOverwriteAll, "overwriteall"}, {kSetTableExists, kCancel, "cancel"},
    };
    for (const Press& p : presses) {
        answer({p.code});
        EXPECT_EQ(MyMessage("Table \"x\" already exists.", p.set, kQuestion), p.code) << p.word;
    }
    answer({kClosed});
    EXPECT_EQ(MyMessage("Closed by its close box", kSetYesNo, kQuestion), kClosed);

    // An answer the set does not offer closes the dialog.
    answerMessagesWith([](const QString& text, int set, int) { return text == "ok?" && set == kSetYesNo ? kOk : kYes; });
    EXPECT_EQ(MyMessage("ok?", kSetYesNo, kQuestion), kClosed);
    EXPECT_EQ(MyMessage("yes?", kSetYesNo, kQuestion), kYes);

    FrmMessage d;
    d.prepare("Hi", kSetYesNo, kQuestion);
    EXPECT_FALSE(d.press(kOk)) << "set 3 offers no OK";
    EXPECT_EQ(d.answerWord(), "");
    ASSERT_TRUE(d.press(kNo));
    EXPECT_EQ(d.answerWord(), "no");
    EXPECT_EQ(d.result(), kNo);
}

TEST_F(MessageTest, UnknownSetShowsNoButtonAndUnknownPictureIsTheExclamation) {
    for (int set : {0, 6, -1}) {
        FrmMessage d;
        d.prepare("Hi", set, 0);
        EXPECT_TRUE(d.visibleButtons().isEmpty());
        EXPECT_EQ(d.baseWidth(), 0);
        EXPECT_EQ(d.windowWidth(), d.measuredWidth() + 900);
        EXPECT_EQ(d.picture(), kExclamation);
        EXPECT_FALSE(d.press(kOk));
    }
    const int pictures[][2] = {{kQuestion, kQuestion}, {kExclamation, kExclamation}, {kInformation, kInformation},
                               {0, kExclamation}, {7, kExclamation}};
    for (const auto& p : pictures) {
        FrmMessage d;
        d.prepare("Hi", kSetOk, p[0]);
        EXPECT_EQ(d.picture(), p[1]) << p[0];
        EXPECT_FALSE(d.findChild<QLabel*>("img")->pixmap().isNull());
    }
    answer({kClosed});
    EXPECT_EQ(MyMessage("No buttons", 9, 9), kClosed);
    EXPECT_EQ(asked_.back().buttonSet, 9);
}

TEST_F(MessageTest, EscapeDoesNotCloseTheDialog) {
    FrmMessage d;
    d.prepare("Hi", kSetYesNo, kQuestion);
    d.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&d, &escape);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), kClosed);
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), kClosed);
}

}  // namespace
}  // namespace veltrano
