#include "to_access/frmTova3.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "shell/wizard_run_host.h"
#include "to_access/tova_run.h"

namespace veltrano {

namespace {

// A box that only shows a path must not look like one to type in: the
// window's grey instead of an input field's white, and no place in the Tab
// order. A click still selects the path, for copying.
void showAsDisplay(QLineEdit* box) {
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(207, 207, 207));
    box->setPalette(palette);
}

}  // namespace

FrmTova3::FrmTova3() : WizardPage(PageId::Tova3) {}

void FrmTova3::onLoad() {
    Option1_ = new QRadioButton(QStringLiteral("Create a new Access database"), this);
    Option1_->setObjectName(QStringLiteral("Option1"));
    placeTwips(Option1_, 480, 840, 4695, 315);
    Option1_->setChecked(true);
    // The path boxes only show the destination; it is chosen with Browse.
    Text1_ = new QLineEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    showAsDisplay(Text1_);
    placeTwips(Text1_, 720, 1200, 5175, 315);
    Command1_ = new QPushButton(QStringLiteral("Browse"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1_, 6060, 1170, 1215, 375);

    Option2_ = new QRadioButton(QStringLiteral("Append to an existing Access database"), this);
    Option2_->setObjectName(QStringLiteral("Option2"));
    placeTwips(Option2_, 480, 1800, 4695, 315);
    Text2_ = new QLineEdit(this);
    Text2_->setObjectName(QStringLiteral("Text2"));
    showAsDisplay(Text2_);
    Text2_->setEnabled(false);
    placeTwips(Text2_, 720, 2160, 5175, 315);
    BROWSE2_ = new QPushButton(QStringLiteral("Browse"), this);
    BROWSE2_->setObjectName(QStringLiteral("BROWSE2"));
    BROWSE2_->setEnabled(false);
    placeTwips(BROWSE2_, 6060, 2130, 1215, 375);
    chkPassword_ = new QCheckBox(QStringLiteral("Use Password"), this);
    chkPassword_->setObjectName(QStringLiteral("chkPassword"));
    chkPassword_->setEnabled(false);
    placeTwips(chkPassword_, 720, 2640, 1695, 315);
    txtPassword_ = new QLineEdit(this);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    txtPassword_->setEnabled(false);
    txtPassword_->installEventFilter(this);
    placeTwips(txtPassword_, 2520, 2610, 2175, 315);

    Check1_ = new QCheckBox(QStringLiteral("Convert Table definition only"), this);
    Check1_->setObjectName(QStringLiteral("Check1"));
    placeTwips(Check1_, 480, 3240, 4695, 315);

    lblStatus_ = new QLabel(QStringLiteral("status"), this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->hide();
    placeTwips(lblStatus_, 480, 3840, 6975, 255);
    prog_ = new QProgressBar(this);
    prog_->setObjectName(QStringLiteral("prog"));
    prog_->setRange(0, 100);
    prog_->setValue(0);
    prog_->hide();
    placeTwips(prog_, 480, 4200, 6975, 315);

    for (QWidget* w : std::initializer_list<QWidget*>{Check1_, chkPassword_, Option1_, Option2_})
        applyWindowBackground(w);

    connect(Option1_, &QRadioButton::clicked, this, [this] {
        BROWSE2_->setEnabled(false);
        Text2_->setEnabled(false);
        Command1_->setEnabled(true);
        Text1_->setEnabled(true);
        chkPassword_->setEnabled(false);
        txtPassword_->setEnabled(false);
    });
    connect(Option2_, &QRadioButton::clicked, this, [this] {
        BROWSE2_->setEnabled(true);
        Text2_->setEnabled(true);
        Command1_->setEnabled(false);
        Text1_->setEnabled(false);
        chkPassword_->setEnabled(true);
    });
    connect(chkPassword_, &QCheckBox::clicked, this, [this] {
        txtPassword_->setEnabled(chkPassword_->isChecked());
        if (chkPassword_->isChecked()) txtPassword_->setFocus();
    });
    connect(Command1_, &QPushButton::clicked, this, &FrmTova3::browseNew);
    connect(BROWSE2_, &QPushButton::clicked, this, &FrmTova3::browseExisting);
}

bool FrmTova3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtPassword_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            forwardButton()->setFocus();
            return true;
        }
    }
    return WizardPage::eventFilter(watched, event);
}

void FrmTova3::setNewFileText(const QString& path) {
    load();
    Text1_->setText(path);
}

void FrmTova3::chooseNewFile(bool create) {
    ConversionSession& s = session();
    const QString initial = QString::fromStdString(s.destinationPath.empty() ? s.sourceDatabase + ".mdb"
                                                                             : s.destinationPath);
    const QString filter = QString::fromLatin1(kFilter);
    auto choice = create ? chooseSaveFile(this, filter, initial) : chooseOpenFile(this, filter, initial);
    if (!choice) return;  // cancelled: the destination stays as it was
    s.destinationPath = choice->path.toStdString();
    s.destinationFileName = choice->fileName.toStdString();
    (create ? Text1_ : Text2_)->setText(choice->path);
}

void FrmTova3::browseNew() { chooseNewFile(true); }

void FrmTova3::browseExisting() { chooseNewFile(false); }

void FrmTova3::showRunProgress(int percent) {
    prog_->setValue(percent);
    prog_->show();
}

// No second run may start, and the page may not be left, while one is going.
void FrmTova3::setRunning(bool running) {
    running_ = running;
    Command1_->setEnabled(!running && Option1_->isChecked());
    BROWSE2_->setEnabled(!running && Option2_->isChecked());
    forwardButton()->setEnabled(!running);
    backButton()->setEnabled(!running);
}

void FrmTova3::onNext() {
    if (running_) return;
    ConversionSession& s = session();
    if (!s.sourceConnection) s.sourceConnection = std::make_shared<MYSQL_CONNECTION>();
    std::shared_ptr<MYSQL_CONNECTION> source = s.sourceConnection;

    TovaRunOptions options;
    options.newFile = Option1_->isChecked();
    options.usePassword = !options.newFile && chkPassword_->isChecked();
    options.password = txtPassword_->text().toStdString();
    options.definitionsOnly = Check1_->isChecked();

    WizardRunHost host(this);
    TovaRun run(s, *source, host);
    run.onStatus = [this](const std::string& text) {
        lblStatus_->setText(QString::fromStdString(text));
        lblStatus_->show();
    };
    setRunning(true);
    const TovaRunOutcome outcome = run.run(options);
    setRunning(false);

    // A confirmed Cancel has shown the report already (and the program may have ended).
    if (programEnded() || stopRequested()) return;
    switch (outcome) {
        case TovaRunOutcome::Finished:
            Command1_->setEnabled(false);
            BROWSE2_->setEnabled(false);
            cancelButton()->setEnabled(false);
            prog_->hide();
            forwardButton()->setEnabled(false);
            backButton()->setEnabled(false);
            goForward();
            return;
        case TovaRunOutcome::Cancelled:
            wizard().page(PageId::Tova4)->setHeading(QStringLiteral("Conversion Canceled!"));
            goForward();
            return;
        case TovaRunOutcome::WrongPassword:
            chkPassword_->setEnabled(true);
            chkPassword_->setChecked(true);
            txtPassword_->setEnabled(true);
            txtPassword_->setFocus();
            [[fallthrough]];
        case TovaRunOutcome::Stopped:
            prog_->hide();
            prog_->setValue(0);
            return;
    }
}

}  // namespace veltrano
