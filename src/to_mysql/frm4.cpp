#include "to_mysql/frm4.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "shell/wizard_run_host.h"
#include "to_mysql/frm1.h"

namespace veltrano {

Frm4::Frm4() : WizardPage(PageId::Frm4) {}

void Frm4::onLoad() {
    ConversionSession& s = session();
    s.skipAllExisting = false;
    s.overwriteAllExisting = false;

    optCreateNew_ = new QRadioButton(QStringLiteral("Create new MySQl database"), this);
    optCreateNew_->setObjectName(QStringLiteral("optCreateNew"));
    optCreateNew_->setChecked(true);
    placeTwips(optCreateNew_, 600, 1080, 4095, 315);
    auto* lblName = new QLabel(QStringLiteral("Database Name :"), this);
    placeTwips(lblName, 960, 1560, 1575, 255);
    txtDatabaseName_ = new QLineEdit(this);
    txtDatabaseName_->setObjectName(QStringLiteral("txtDatabaseName"));
    placeTwips(txtDatabaseName_, 2640, 1500, 3495, 315);
    optAppend_ = new QRadioButton(QStringLiteral("Append to an existing database"), this);
    optAppend_->setObjectName(QStringLiteral("optAppend"));
    placeTwips(optAppend_, 600, 2160, 4095, 315);
    cmbDatabases_ = new QComboBox(this);
    cmbDatabases_->setObjectName(QStringLiteral("cmbDatabases"));
    cmbDatabases_->setEditable(true);
    cmbDatabases_->setInsertPolicy(QComboBox::NoInsert);
    cmbDatabases_->setEnabled(false);
    placeTwips(cmbDatabases_, 2640, 2580, 3495, 315);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("prog"));
    progressBar_->setRange(0, 100);
    progressBar_->hide();
    placeTwips(progressBar_, 600, 3960, 6735, 315);
    lblStatus_ = new QLabel(QStringLiteral("status"), this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->hide();
    placeTwips(lblStatus_, 600, 3600, 6735, 255);

    // The proposed name: the file name without its folder, cut before its first ".".
    QString name = QFileInfo(QString::fromStdString(s.sourcePath)).fileName();
    txtDatabaseName_->setText(name.left(name.indexOf(QLatin1Char('.')) < 0 ? name.size()
                                                                            : name.indexOf(QLatin1Char('.'))));
    if (s.mysql) {
        rsDatabases_ = s.mysql->Execute("SHOW DATABASES;");
        if (rsDatabases_ && rsDatabases_->State() == 0 && rsDatabases_->RecordCount() > 0) {
            for (rsDatabases_->MoveFirst(); !rsDatabases_->Eof(); rsDatabases_->MoveNext()) {
                FieldValue v = rsDatabases_->Fields(0).Value();
                cmbDatabases_->addItem(QString::fromStdString(v.isText() ? v.asText() : std::string()));
            }
        }
    }
    cmbDatabases_->setCurrentIndex(-1);
    cmbDatabases_->setEditText(QString::fromLatin1(tomysql::kSelectDatabasePrompt));

    connect(optCreateNew_, &QRadioButton::clicked, this, &Frm4::chooseTarget);
    connect(optAppend_, &QRadioButton::clicked, this, &Frm4::chooseTarget);
    txtDatabaseName_->installEventFilter(this);
    cmbDatabases_->installEventFilter(this);
    if (cmbDatabases_->lineEdit()) cmbDatabases_->lineEdit()->installEventFilter(this);
}

void Frm4::chooseTarget() {
    const bool append = optAppend_->isChecked();
    cmbDatabases_->setEnabled(append);
    txtDatabaseName_->setEnabled(!append);
}

bool Frm4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return &&
        (watched == txtDatabaseName_ || watched == cmbDatabases_ || watched == cmbDatabases_->lineEdit())) {
        forwardButton()->setFocus();
        return true;
    }
    return WizardPage::eventFilter(watched, event);
}

void Frm4::showRunProgress(int percent) {
    if (percent >= 0 && percent <= 100) progressBar_->setValue(percent);
}

void Frm4::onNext() {
    ConversionSession& s = session();
    if (!s.mysql) return;
    auto* frm1 = wizard().pageAs<Frm1>(PageId::Frm1);
    StoppableRunHost host(this, stopAsked_);
    stopAsked_ = false;
    tomysql::ConversionRun run(s, *s.mysql, frm1->source(), host);
    run.onStatus = [this](const std::string& text) {
        lblStatus_->setText(QString::fromStdString(text));
        lblStatus_->show();
    };
    run.onStarted = [this] {
        for (QWidget* w : {static_cast<QWidget*>(backButton()), static_cast<QWidget*>(forwardButton()),
                           static_cast<QWidget*>(optCreateNew_), static_cast<QWidget*>(optAppend_),
                           static_cast<QWidget*>(txtDatabaseName_), static_cast<QWidget*>(cmbDatabases_)})
            w->setEnabled(false);
        progressBar_->setValue(0);
        progressBar_->show();
    };
    tomysql::TargetChoice target;
    target.append = optAppend_->isChecked();
    target.existingName = cmbDatabases_->currentText().toStdString();
    target.newName = txtDatabaseName_->text().toStdString();
    running_ = true;
    lastOutcome_ = run.convert(target);
    running_ = false;
    if (programEnded()) return;

    switch (lastOutcome_) {
        case tomysql::RunOutcome::NotStarted:
            if (target.append) cmbDatabases_->setFocus();
            break;
        case tomysql::RunOutcome::SourceEmpty:
            // Nothing to convert: the page starts over, freshly loaded.
            progressBar_->setValue(100);
            wizard().discard(PageId::Frm4);
            wizard().show(PageId::Frm4, nullptr);
            break;
        case tomysql::RunOutcome::Completed:
            wizard().show(PageId::Frm5, this);
            break;
        case tomysql::RunOutcome::CancelledAtQuestion:
            wizard().page(PageId::Frm5)->setHeading(QStringLiteral("Conversion Canceled!"));
            wizard().show(PageId::Frm5, this);
            break;
        case tomysql::RunOutcome::Cancelled:
            wizard().page(PageId::Frm5)->setHeading(QStringLiteral("Conversion Canceled!"));
            wizard().showModal(PageId::Frm5, this);
            break;
        case tomysql::RunOutcome::Failed:  // the page stays; Cancel is the way out
            break;
    }
}

void Frm4::onCancel() {
    if (!running_) {
        WizardPage::onCancel();
        return;
    }
    if (MyMessage(QString::fromLatin1(kStopRunQuestion), kSetYesNo, kExclamation) == kYes) stopAsked_ = true;
}

}  // namespace veltrano
