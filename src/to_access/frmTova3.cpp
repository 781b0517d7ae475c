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
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "shell/wizard_run_host.h"
#include "to_access/conversion_run.h"

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
    newFileOption_ = new QRadioButton(QStringLiteral("Create a new Access database"), this);
    newFileOption_->setObjectName(QStringLiteral("Option1"));
    placeTwips(newFileOption_, 480, 840, 4695, 315);
    newFileOption_->setChecked(true);
    // The path boxes only show the destination; it is chosen with Browse.
    newFilePath_ = new QLineEdit(this);
    newFilePath_->setObjectName(QStringLiteral("Text1"));
    showAsDisplay(newFilePath_);
    placeTwips(newFilePath_, 720, 1200, 5175, 315);
    browseNewButton_ = new QPushButton(QStringLiteral("Browse"), this);
    browseNewButton_->setObjectName(QStringLiteral("Command1"));
    placeTwips(browseNewButton_, 6060, 1170, 1215, 375);

    appendOption_ = new QRadioButton(QStringLiteral("Append to an existing Access database"), this);
    appendOption_->setObjectName(QStringLiteral("Option2"));
    placeTwips(appendOption_, 480, 1800, 4695, 315);
    existingFilePath_ = new QLineEdit(this);
    existingFilePath_->setObjectName(QStringLiteral("Text2"));
    showAsDisplay(existingFilePath_);
    existingFilePath_->setEnabled(false);
    placeTwips(existingFilePath_, 720, 2160, 5175, 315);
    browseExistingButton_ = new QPushButton(QStringLiteral("Browse"), this);
    browseExistingButton_->setObjectName(QStringLiteral("BROWSE2"));
    browseExistingButton_->setEnabled(false);
    placeTwips(browseExistingButton_, 6060, 2130, 1215, 375);
    usePasswordBox_ = new QCheckBox(QStringLiteral("Use Password"), this);
    usePasswordBox_->setObjectName(QStringLiteral("chkPassword"));
    usePasswordBox_->setEnabled(false);
    placeTwips(usePasswordBox_, 720, 2640, 1695, 315);
    passwordBox_ = new QLineEdit(this);
    passwordBox_->setObjectName(QStringLiteral("txtPassword"));
    passwordBox_->setEchoMode(QLineEdit::Password);
    passwordBox_->setEnabled(false);
    passwordBox_->installEventFilter(this);
    placeTwips(passwordBox_, 2520, 2610, 2175, 315);

    definitionsOnlyBox_ = new QCheckBox(QStringLiteral("Convert Table definition only"), this);
    definitionsOnlyBox_->setObjectName(QStringLiteral("Check1"));
    placeTwips(definitionsOnlyBox_, 480, 3240, 4695, 315);

    statusLabel_ = new QLabel(QStringLiteral("status"), this);
    statusLabel_->setObjectName(QStringLiteral("lblStatus"));
    statusLabel_->hide();
    placeTwips(statusLabel_, 480, 3840, 6975, 255);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("prog"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->hide();
    placeTwips(progressBar_, 480, 4200, 6975, 315);

    for (QWidget* w : std::initializer_list<QWidget*>{definitionsOnlyBox_, usePasswordBox_, newFileOption_, appendOption_})
        applyWindowBackground(w);

    connect(newFileOption_, &QRadioButton::clicked, this, [this] {
        browseExistingButton_->setEnabled(false);
        existingFilePath_->setEnabled(false);
        browseNewButton_->setEnabled(true);
        newFilePath_->setEnabled(true);
        usePasswordBox_->setEnabled(false);
        passwordBox_->setEnabled(false);
    });
    connect(appendOption_, &QRadioButton::clicked, this, [this] {
        browseExistingButton_->setEnabled(true);
        existingFilePath_->setEnabled(true);
        browseNewButton_->setEnabled(false);
        newFilePath_->setEnabled(false);
        usePasswordBox_->setEnabled(true);
    });
    connect(usePasswordBox_, &QCheckBox::clicked, this, [this] {
        passwordBox_->setEnabled(usePasswordBox_->isChecked());
        if (usePasswordBox_->isChecked()) passwordBox_->setFocus();
    });
    connect(browseNewButton_, &QPushButton::clicked, this, &FrmTova3::browseNew);
    connect(browseExistingButton_, &QPushButton::clicked, this, &FrmTova3::browseExisting);
}

void FrmTova3::onCancel() {
    if (!running_) {
        WizardPage::onCancel();
        return;
    }
    if (MyMessage(QString::fromLatin1(kStopRunQuestion), kSetYesNo, kExclamation) == kYes) stopAsked_ = true;
}

bool FrmTova3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == passwordBox_ && event->type() == QEvent::KeyPress) {
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
    newFilePath_->setText(path);
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
    (create ? newFilePath_ : existingFilePath_)->setText(choice->path);
}

void FrmTova3::browseNew() { chooseNewFile(true); }

void FrmTova3::browseExisting() { chooseNewFile(false); }

void FrmTova3::showRunProgress(int percent) {
    progressBar_->setValue(percent);
    progressBar_->show();
}

// No second run may start, and the page may not be left, while one is going.
void FrmTova3::setRunning(bool running) {
    running_ = running;
    browseNewButton_->setEnabled(!running && newFileOption_->isChecked());
    browseExistingButton_->setEnabled(!running && appendOption_->isChecked());
    forwardButton()->setEnabled(!running);
    backButton()->setEnabled(!running);
}

void FrmTova3::onNext() {
    if (running_) return;
    ConversionSession& s = session();
    if (!s.sourceConnection) s.sourceConnection = std::make_shared<MYSQL_CONNECTION>();
    std::shared_ptr<MYSQL_CONNECTION> source = s.sourceConnection;

    toaccess::RunOptions options;
    options.newFile = newFileOption_->isChecked();
    options.usePassword = !options.newFile && usePasswordBox_->isChecked();
    options.password = passwordBox_->text().toStdString();
    options.definitionsOnly = definitionsOnlyBox_->isChecked();

    stopAsked_ = false;
    StoppableRunHost host(this, stopAsked_);
    toaccess::ConversionRun run(s, *source, host);
    run.onStatus = [this](const std::string& text) {
        statusLabel_->setText(QString::fromStdString(text));
        statusLabel_->show();
    };
    setRunning(true);
    const toaccess::RunOutcome outcome = run.run(options);
    setRunning(false);

    if (programEnded() || stopRequested()) return;
    switch (outcome) {
        case toaccess::RunOutcome::Finished:
            browseNewButton_->setEnabled(false);
            browseExistingButton_->setEnabled(false);
            cancelButton()->setEnabled(false);
            progressBar_->hide();
            forwardButton()->setEnabled(false);
            backButton()->setEnabled(false);
            goForward();
            return;
        case toaccess::RunOutcome::Cancelled:
            wizard().page(PageId::Tova4)->setHeading(QStringLiteral("Conversion Canceled!"));
            if (stopAsked_) {
                // The page's own Cancel shows the report modal, as it does between runs.
                wizard().showModal(PageId::Tova4, this);
            } else {
                goForward();
            }
            return;
        case toaccess::RunOutcome::Failed:
            wizard().page(PageId::Tova4)->setHeading(QStringLiteral("Conversion Failed!"));
            goForward();
            return;
        case toaccess::RunOutcome::WrongPassword:
            usePasswordBox_->setEnabled(true);
            usePasswordBox_->setChecked(true);
            passwordBox_->setEnabled(true);
            passwordBox_->setFocus();
            [[fallthrough]];
        case toaccess::RunOutcome::Stopped:
            progressBar_->hide();
            progressBar_->setValue(0);
            return;
    }
}

}  // namespace veltrano
