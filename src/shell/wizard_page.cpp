#include "shell/wizard_page.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <exception>

#include "common/conversion_session.h"
#include "shell/frm_help.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/twips.h"
#include "shell/wizard.h"
#include "shell/wizard_run_host.h"

namespace veltrano {
namespace {

constexpr char kToMysql[] = "Veltrano (Access => MySQL)";
constexpr char kToAccess[] = "Veltrano (MySQL => Access)";
constexpr char kExitQuestion[] = "Do you really want to exit!? ";
using K = PageKind;
using P = PageId;

// clang-format off
const PageInfo kPages[kPageCount] = {
    {P::Main,  K::Main,   "frmMain",  "Veltrano (Main window)", "What do you want to convert?", "frmMain",
     P::None,  P::Frm1,   P::None,  "cmdBack", "cmdNext", "Next >>", "cmdExit", "Exit"},
    {P::Frm1,  K::Step,   "frm1",     kToMysql,  "1. Select Access Database",            "frm1",
     P::Main,  P::Frm2,   P::Frm5,  "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
    {P::Frm2,  K::Step,   "frm2",     kToMysql,  "2. Select Tables To Convert",          "frm2",
     P::Frm1,  P::Frm3,   P::Frm5,  "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
    {P::Frm3,  K::Step,   "frm3",     kToMysql,  "3. Connect to MySQL server",           "frm3",
     P::Frm2,  P::Frm4,   P::Frm5,  "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
    {P::Frm4,  K::Run,    "frm4",     kToMysql,  "4. Convert It",                        "frm4",
     P::Frm3,  P::Frm5,   P::Frm5,  "cmdBack", "cmdConvert", "Next >>", "cmdCancel", "Cancel"},
    {P::Frm5,  K::Report, "frm5",     kToMysql,  "5. Finished !!",                       "frm5",
     P::None,  P::None,   P::Frm5,  "cmdConvertAnother", "cmdFinish", "Finish", "cmdSaveReport", "Save Report"},
    {P::Tova1, K::Step,   "frmTova1", kToAccess, "1. Connect to MySQL server",           "frmTova1",
     P::Main,  P::Tova2,  P::Tova4, "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
    {P::Tova2, K::Step,   "frmTova2", kToAccess, "2. Select required tables",            "frmTova2",
     P::Tova1, P::Tova3,  P::Tova4, "cmdBack", "cmdNext", "Next >>", "cmdFinish", "Cancel"},
    {P::Tova3, K::Run,    "frmTova3", kToAccess, "3. Access database file destination",  "frmTova3",
     P::Tova2, P::Tova4,  P::Tova4, "cmdBack", "cmdNext", "Next >>", "cmdCancel", "Cancel"},
    {P::Tova4, K::Report, "frmTova4", kToAccess, "4. Finished !!",                       "frmTova4",
     P::None,  P::None,   P::Tova4, "cmdConvertAnother", "cmdFinish", "Finish", "cmdSaveReport", "Save Report"},
};
// clang-format on

QPushButton* makeButton(QWidget* page, const char* name, const QString& caption, int left) {
    auto* button = new QPushButton(caption, page);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    setTwipsGeometry(button, left, kButtonTop, kButtonWidth, kButtonHeight);
    return button;
}

}  // namespace

const PageInfo& pageInfo(PageId id) { return kPages[static_cast<int>(id)]; }

WizardPage::WizardPage(PageId id, QWidget* parent) : QWidget(parent, Qt::Window), id_(id) {
    const PageInfo& i = info();
    setObjectName(QString::fromLatin1(i.name));
    setWindowTitle(QString::fromLatin1(i.caption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);
    applyWindowBackground(this);
    QFont pageFont(QStringLiteral("Arial"));
    pageFont.setPointSizeF(8.25);
    setFont(pageFont);
    setTwipsClientSize(this, kPageWidth, kPageHeight);

    heading_ = new QLabel(QString::fromLatin1(i.heading), this);
    heading_->setObjectName(QStringLiteral("Label1"));
    QFont headingFont(QStringLiteral("Arial"));
    headingFont.setPointSize(14);
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    QPalette headingPalette = heading_->palette();
    headingPalette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    heading_->setPalette(headingPalette);
    setTwipsGeometry(heading_, 180, 120, 6615, 495);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    setTwipsGeometry(line, 120, 4860, kPageWidth - 240, 60);

    back_ = makeButton(this, i.backName, QStringLiteral("<< Back"), kBackLeft);
    forward_ = makeButton(this, i.forwardName, QString::fromLatin1(i.forwardCaption), kForwardLeft);
    cancel_ = makeButton(this, i.cancelName, QString::fromLatin1(i.cancelCaption), kCancelLeft);
    help_ = makeButton(this, "cmdHelp", QStringLiteral("Help"), kHelpLeft);
    back_->setEnabled(i.back != PageId::None);

    connect(back_, &QPushButton::clicked, this, &WizardPage::back);
    connect(forward_, &QPushButton::clicked, this, &WizardPage::forward);
    connect(cancel_, &QPushButton::clicked, this, &WizardPage::cancel);
    connect(help_, &QPushButton::clicked, this, &WizardPage::help);
}

WizardPage::~WizardPage() = default;

const PageInfo& WizardPage::info() const { return pageInfo(id_); }

QString WizardPage::heading() const { return heading_->text(); }

void WizardPage::setHeading(const QString& text) { heading_->setText(text); }

void WizardPage::load() {
    if (loaded_) return;
    loaded_ = true;
    onLoad();
}

void WizardPage::back() {
    if (info().back == PageId::None) return;  // the report pages' Back has no action
    onBack();
}

void WizardPage::forward() {
    if (info().kind == PageKind::Report) {
        onFinish();
    } else {
        onNext();
    }
}

void WizardPage::cancel() {
    if (info().kind == PageKind::Report) {
        onSaveReport();
    } else {
        onCancel();
    }
}

void WizardPage::help() { showHelp(QString::fromLatin1(info().helpKey)); }

void WizardPage::showRunProgress(int /*percent*/) {}

void WizardPage::onNext() { goForward(); }

void WizardPage::onBack() { goBack(); }

void WizardPage::goForward() {
    if (info().forward != PageId::None) wizard().show(info().forward, this);
}

void WizardPage::goBack() {
    const PageId target = info().back;
    if (target == PageId::None) return;
    beforeBack();
    switch (id_) {
        case PageId::Frm2:
            // Page 2 is built afresh from page 1's next Next.
            wizard().show(target, this);
            wizard().discard(PageId::Frm2);
            return;
        case PageId::Frm3:
            // Page 2's Next disables itself while it works; coming back re-enables it.
            if (WizardPage* frm2 = wizard().loadedPage(PageId::Frm2)) frm2->forwardButton()->setEnabled(true);
            break;
        case PageId::Tova1:
            goingBack_ = true;
            wizard().show(target, this);
            goingBack_ = false;
            return;
        default: break;
    }
    wizard().show(target, this);
}

bool WizardPage::askExit() { return MyMessage(QString::fromLatin1(kExitQuestion), kSetYesNo, kQuestion) == kYes; }

void WizardPage::onCancel() {
    if (info().kind == PageKind::Run) {
        if (MyMessage(QString::fromLatin1(kStopRunQuestion), kSetYesNo, kExclamation) != kYes) return;
        stopRequested_ = true;
        WizardPage* report = wizard().page(info().report);
        report->setHeading(QStringLiteral("Conversion Canceled!"));
        wizard().showModal(info().report, this);
        return;
    }
    if (!askExit()) return;
    onExitConfirmed();
    endProgram();
}

void WizardPage::closeRunObjects() { session().mysql.reset(); }

void WizardPage::onFinish() {
    if (id_ == PageId::Tova4) {
        endProgram();
        return;
    }
    session().quitting = true;
    try {
        closeRunObjects();
    } catch (const std::exception& e) {
        MyMessage(QString::fromStdString(e.what()), kSetOk, kExclamation);
    }
    wizard().closeAllWindows();
}

void WizardPage::placeTwips(QWidget* child, int left, int top, int width, int height) {
    setTwipsGeometry(child, left, top, width, height);
}

bool WizardPage::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && loaded_) onActivate();
    return QWidget::event(event);
}

bool WizardPage::allowClose() const {
    const bool quitting = session().quitting;
    switch (id_) {
        case PageId::Main:
        case PageId::Frm1:
        case PageId::Frm3:
        case PageId::Frm4:
        case PageId::Frm5: return quitting;
        case PageId::Frm2: return quitting || isHidden();
        case PageId::Tova1: return goingBack_;
        default: return false;
    }
}

void WizardPage::closeEvent(QCloseEvent* event) {
    if (programEnded() || allowClose()) {
        event->accept();
        return;
    }
    event->ignore();
    // A refused close runs the page's Cancel (Exit on the main window), or
    // Finish on the report pages: closing frm5 by its close box ends the
    // program like Finish rather than leaving it running without a window.
    if (info().kind == PageKind::Report) {
        onFinish();
    } else {
        onCancel();
    }
}

void WizardPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        event->accept();
        help();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace veltrano
