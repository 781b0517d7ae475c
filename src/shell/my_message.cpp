#include "shell/my_message.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "shell/shell_hooks.h"
#include "shell/twips.h"

namespace veltrano {
namespace {

constexpr int kDesignWidth = 6195;
constexpr int kDesignHeight = 990;
constexpr int kPictureWidth = 645;
constexpr int kShortLimit = 7500;
constexpr int kMediumLimit = 13000;
constexpr int kButtonGap = 200;

struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* word;
    int result;
    int width;
    int height;
    int top;
};

constexpr ButtonDesign kButtons[] = {
    {"cmdYes", "Yes", "yes", kYes, 1230, 350, 600},
    {"cmdNo", "No", "no", kNo, 1230, 350, 597},
    {"cmdOK", "OK", "ok", kOk, 1230, 350, 597},
    {"cmdCancel", "Cancel", "cancel", kCancel, 1230, 350, 597},
    {"cmdSkip", "Skip", "skip", kSkip, 1230, 350, 597},
    {"cmdSkipAll", "Skip all", "skipall", kSkipAll, 1230, 345, 600},
    {"cmdOverwrite", "Overwrite", "overwrite", kOverwrite, 1230, 350, 597},
    {"cmdOverwriteAll", "Overwrite all", "overwriteall", kOverwriteAll, 1420, 345, 600},
};

// Buttons of each set, left to right.
QStringList buttonsOfSet(int set) {
    switch (set) {
        case kSetOk: return {"cmdOK"};
        case kSetOkCancel: return {"cmdOK", "cmdCancel"};
        case kSetYesNo: return {"cmdYes", "cmdNo"};
        case kSetYesNoCancel: return {"cmdYes", "cmdNo", "cmdCancel"};
        case kSetTableExists: return {"cmdSkip", "cmdSkipAll", "cmdOverwrite", "cmdOverwriteAll", "cmdCancel"};
        default: return {};
    }
}

int resultOfWord(const QString& word) {
    for (const auto& b : kButtons) {
        if (word == QLatin1String(b.word)) return b.result;
    }
    return kClosed;
}

// Line breaks may come as CR LF, CR or LF; the labels show each as one break.
QString displayText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace('\r', '\n');
    return out;
}

// Pixels to twips, rounded up so that a measured text still fits once the
// width is turned back into pixels.
int ceilTwips(int pixels) { return static_cast<int>(std::ceil(pixels * kTwipsPerInch / logicalDpi())); }

}  // namespace

FrmMessage::FrmMessage(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMessage"));
    setWindowTitle(QStringLiteral("Veltrano"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    applyWindowBackground(this);
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);

    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    QPalette textPalette = palette();
    textPalette.setColor(QPalette::WindowText, QColor(0, 0, 192));

    lblMessage_ = new QLabel(this);
    lblMessage_->setObjectName(QStringLiteral("lblMessage"));
    lblMessage_->setFont(font);
    lblMessage_->setPalette(textPalette);
    lblMessage_->setWordWrap(true);
    lblMessage_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage_->setTextFormat(Qt::PlainText);
    widgets_.insert(QStringLiteral("lblMessage"), lblMessage_);
    boxes_.insert(QStringLiteral("lblMessage"), {960, 120, 5085, 270});

    lblTemp_ = new QLabel(this);
    lblTemp_->setObjectName(QStringLiteral("lblTemp"));
    lblTemp_->setFont(font);
    lblTemp_->setTextFormat(Qt::PlainText);
    lblTemp_->hide();
    boxes_.insert(QStringLiteral("lblTemp"), {});

    img_ = new QLabel(this);
    img_->setObjectName(QStringLiteral("img"));
    img_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    widgets_.insert(QStringLiteral("img"), img_);
    boxes_.insert(QStringLiteral("img"), {0, 120, kPictureWidth, 675});
    setPicture(kExclamation);

    for (const auto& b : kButtons) {
        addButton(b.name, QString::fromLatin1(b.caption), QString::fromLatin1(b.word), b.width, b.height, b.top);
    }
    applyGeometry();
}

QPushButton* FrmMessage::addButton(const char* name, const QString& caption, const QString& word, int width,
                                   int height, int top) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);  // Enter has no binding of the dialog's own
    button->hide();
    connect(button, &QPushButton::clicked, this, [this, word] {
        answer_ = word;
        close();
    });
    widgets_.insert(button->objectName(), button);
    boxes_.insert(button->objectName(), {0, top, width, height});
    return button;
}

void FrmMessage::setPicture(int picture) {
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxWarning;
    picture_ = kExclamation;
    if (picture == kQuestion) {
        icon = QStyle::SP_MessageBoxQuestion;
        picture_ = kQuestion;
    } else if (picture == kInformation) {
        icon = QStyle::SP_MessageBoxInformation;
        picture_ = kInformation;
    }
    img_->setPixmap(style()->standardIcon(icon).pixmap(40, 40));
}

void FrmMessage::prepare(const QString& text, int buttonSet, int picture) {
    text_ = text;
    buttonSet_ = buttonSet;
    const QString shown = displayText(text);

    // 1. The text, at once.
    lblMessage_->setText(shown);

    // 2. Base width of the button set.
    const int okWidth = boxes_.value(QStringLiteral("cmdOK")).width;
    switch (buttonSet) {
        case kSetOk: baseWidth_ = okWidth + 1500; break;
        case kSetOkCancel:
        case kSetYesNo: baseWidth_ = 2 * okWidth + 1700; break;
        case kSetYesNoCancel:
        case kSetTableExists: baseWidth_ = 5 * okWidth + 1900; break;
        default: baseWidth_ = 0; break;
    }

    // 3. One-line width of the longest line.
    lblTemp_->setText(shown);
    const QFontMetrics metrics(lblTemp_->font());
    int widest = 0;
    for (const QString& line : shown.split('\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int lineCount = static_cast<int>(shown.count('\n')) + 1;
    boxes_[QStringLiteral("lblTemp")] = {0, 0, ceilTwips(widest), ceilTwips(metrics.height() * lineCount)};
    const int tempWidth = boxes_[QStringLiteral("lblTemp")].width;
    const int t = tempWidth + 810;

    // 4. Window and text size.
    TwipsBox& message = boxes_[QStringLiteral("lblMessage")];
    int buttonShift = 0;
    if (t > kShortLimit) {
        const bool isLong = t > kMediumLimit;
        message.height = isLong ? 800 : 600;
        message.width = 6200;
        message.left = 960;
        windowWidth_ = 7500;
        windowHeight_ += isLong ? 550 : 220;
        buttonShift = isLong ? 500 : 220;
    } else {
        windowWidth_ = t >= baseWidth_ ? tempWidth + 900 : baseWidth_ + 50;
        message.width = tempWidth;
        message.left = (windowWidth_ - kPictureWidth - message.width) / 2 + 550;
        message.top = (windowHeight_ - message.height - 405) / 2;
    }

    // A text taller than its label (many lines, or a long text wrapping
    // onto more lines than the label holds) would be cut off: the label,
    // the window and the buttons grow by what is missing.
    const QRect needed = metrics.boundingRect(QRect(0, 0, toPixels(message.width), 1 << 20),
                                              Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, shown);
    const int extra = ceilTwips(needed.height()) - message.height;
    if (extra > 0) {
        message.height += extra;
        windowHeight_ += extra;
        buttonShift += extra;
    }
    for (const auto& b : kButtons) boxes_[QString::fromLatin1(b.name)].top += buttonShift;

    // 5. The buttons of the set.
    const int sw = windowWidth_;
    const QStringList shownButtons = buttonsOfSet(buttonSet);
    auto at = [this](const char* name) -> TwipsBox& { return boxes_[QString::fromLatin1(name)]; };
    switch (buttonSet) {
        case kSetOk: at("cmdOK").left = (sw - at("cmdOK").width) / 2; break;
        case kSetOkCancel:
            at("cmdOK").left = (sw - 2 * at("cmdOK").width - kButtonGap) / 2;
            at("cmdCancel").left = at("cmdOK").left + at("cmdOK").width + kButtonGap;
            break;
        case kSetYesNo:
            at("cmdYes").left = (sw - 2 * at("cmdYes").width - kButtonGap) / 2;
            at("cmdNo").left = at("cmdYes").left + at("cmdYes").width + kButtonGap;
            break;
        case kSetYesNoCancel:
            at("cmdYes").left = (sw - 3 * at("cmdOK").width - 300) / 2;
            at("cmdNo").left = at("cmdYes").left + at("cmdYes").width + kButtonGap;
            at("cmdCancel").left = at("cmdNo").left + at("cmdNo").width + kButtonGap;
            break;
        case kSetTableExists:
            at("cmdSkip").left = (sw - 5 * at("cmdOverwriteAll").width - 100) / 2;
            for (qsizetype i = 1; i < shownButtons.size(); ++i) {
                const TwipsBox& before = boxes_[shownButtons[i - 1]];
                boxes_[shownButtons[i]].left = before.left + before.width + kButtonGap;
            }
            break;
        default: break;
    }
    for (const auto& b : kButtons) {
        widgets_.value(QString::fromLatin1(b.name))->setVisible(shownButtons.contains(QLatin1String(b.name)));
    }

    // 6. The picture.
    setPicture(picture);
    applyGeometry();
}

void FrmMessage::applyGeometry() {
    for (auto it = widgets_.cbegin(); it != widgets_.cend(); ++it) {
        const TwipsBox& b = boxes_.value(it.key());
        setTwipsGeometry(it.value(), b.left, b.top, b.width, b.height);
    }
    setTwipsClientSize(this, windowWidth_, windowHeight_);
}

int FrmMessage::result() const { return resultOfWord(answer_); }

bool FrmMessage::press(int code) {
    if (code == kClosed) {
        close();
        return true;
    }
    for (const auto& b : kButtons) {
        auto* button = static_cast<QPushButton*>(widgets_.value(QString::fromLatin1(b.name)));
        if (b.result == code && !button->isHidden()) {
            button->click();
            return true;
        }
    }
    return false;
}

QStringList FrmMessage::visibleButtons() const {
    QStringList names;
    for (const auto& b : kButtons) {
        if (!widgets_.value(QString::fromLatin1(b.name))->isHidden()) names << QString::fromLatin1(b.name);
    }
    std::sort(names.begin(), names.end(),
              [this](const QString& a, const QString& b) { return boxes_.value(a).left < boxes_.value(b).left; });
    return names;
}

void FrmMessage::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the dialog: only a button or the close box does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int MyMessage(const QString& text, int buttonSet, int picture) {
    if (programEnded()) return kClosed;
    FrmMessage dialog;
    dialog.prepare(text, buttonSet, picture);
    if (shellHooks().messageResponder) {
        shellHooks().messageResponder(dialog);
    } else {
        shellHooks().runModal(dialog);
    }
    return dialog.result();
}

}  // namespace veltrano

namespace veltrano {

void answerMessagesWith(std::function<int(const QString& text, int buttonSet, int picture)> answer) {
    shellHooks().messageResponder = [answer = std::move(answer)](FrmMessage& dialog) {
        if (!dialog.press(answer(dialog.text(), dialog.buttonSet(), dialog.picture()))) dialog.press(kClosed);
    };
}

}  // namespace veltrano
