#include "shell/frm_help.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/help_texts.h"
#include "shell/shell_hooks.h"
#include "shell/twips.h"

namespace veltrano {
namespace {

constexpr int kTextLeft = 60;
constexpr int kTextTop = 60;
constexpr int kCloseHeight = 375;
FrmHelp* theHelpWindow = nullptr;

}  // namespace

FrmHelp::FrmHelp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("What's this"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    applyWindowBackground(this);
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    text1_->setFont(font);
    QPalette p = text1_->palette();
    p.setColor(QPalette::Base, Qt::white);
    text1_->setPalette(p);
    setTwipsGeometry(text1_, kTextLeft, kTextTop, 5955, 2475);

    close_ = new QPushButton(QStringLiteral("Close (Esc)"), this);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setAutoDefault(false);
    setTwipsGeometry(close_, 4260, 2580, 1695, kCloseHeight);
    connect(close_, &QPushButton::clicked, this, &QWidget::hide);

    resize(toPixels(6075), toPixels(3060));
}

void FrmHelp::refresh() {
    if (const HelpText* help = findHelpText(QString::fromStdString(session().helpKey))) {
        setWindowTitle(help->caption);
        text_ = help->text;
        QString shown = text_;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text1_->setPlainText(shown);
    }
    text1_->setFocus();
}

bool FrmHelp::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) refresh();
    return QDialog::event(event);
}

void FrmHelp::showEvent(QShowEvent* event) {
    refresh();
    QDialog::showEvent(event);
}

void FrmHelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmHelp::resizeEvent(QResizeEvent* event) {
    // The text box fills the window above the close button, which keeps its place.
    const int innerWidth = toTwips(width());
    const int innerHeight = toTwips(height());
    const int onePixel = toTwips(1);
    setTwipsGeometry(text1_, kTextLeft, kTextTop, innerWidth - 2 * kTextLeft,
                     innerHeight - kTextTop - kCloseHeight - 10 * onePixel);
    QDialog::resizeEvent(event);
}

FrmHelp* helpWindow() {
    if (!theHelpWindow) theHelpWindow = new FrmHelp;
    return theHelpWindow;
}

bool helpWindowLoaded() { return theHelpWindow != nullptr; }

void discardHelpWindow() {
    delete theHelpWindow;
    theHelpWindow = nullptr;
}

void showHelp(const QString& key) {
    session().helpKey = key.toStdString();
    FrmHelp* help = helpWindow();
    shellHooks().runModal(*help);
}

}  // namespace veltrano
