#include "to_mysql/frm1.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_mysql/frm2.h"
#include "shell/table_selection.h"

namespace veltrano {

namespace {

// The hourglass for the length of a step.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

Frm1::Frm1() : WizardPage(PageId::Frm1) {}

void Frm1::onLoad() {
    auto* lblPath = new QLabel(QStringLiteral("Access database file:"), this);
    placeTwips(lblPath, 480, 1200, 3000, 255);
    txtPath_ = new QLineEdit(this);
    txtPath_->setObjectName(QStringLiteral("txtPath"));
    txtPath_->setEnabled(false);
    placeTwips(txtPath_, 480, 1500, 5295, 315);
    cmdSelectDB_ = new QPushButton(QStringLiteral("Browse ..."), this);
    cmdSelectDB_->setObjectName(QStringLiteral("cmdSelectDB"));
    cmdSelectDB_->setAutoDefault(false);
    placeTwips(cmdSelectDB_, 5880, 1470, 1455, 375);
    chkPassword_ = new QCheckBox(QStringLiteral("Use Password"), this);
    chkPassword_->setObjectName(QStringLiteral("chkPassword"));
    chkPassword_->setEnabled(false);
    placeTwips(chkPassword_, 480, 2280, 1935, 315);
    txtPassword_ = new QLineEdit(this);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    txtPassword_->setEnabled(false);
    placeTwips(txtPassword_, 2520, 2280, 3255, 315);
    forwardButton()->setEnabled(false);

    connect(cmdSelectDB_, &QPushButton::clicked, this, &Frm1::selectDatabase);
    connect(chkPassword_, &QCheckBox::clicked, this, [this] {
        txtPassword_->setEnabled(chkPassword_->isChecked());
        if (chkPassword_->isChecked()) txtPassword_->setFocus();
    });
    connect(txtPassword_, &QLineEdit::returnPressed, this, [this] {
        if (forwardButton()->isEnabled()) forwardButton()->setFocus();
    });
}

void Frm1::selectDatabase() {
    auto choice = chooseOpenFile(this, QStringLiteral("Access files|*.mdb;*.accdb"));
    if (!choice) return;
    chosenPath_ = choice->path;
    txtPath_->setText(choice->path);
    forwardButton()->setEnabled(true);
    chkPassword_->setEnabled(true);
}

void Frm1::onNext() {
    ConversionSession& s = session();
    {
        WaitCursor wait;
        s.sourceEmpty = false;
        s.sourcePath = chosenPath_.toStdString();
        connectionText_ = tomysql::accessConnectionString(s.sourcePath, chkPassword_->isChecked(),
                                                      txtPassword_->text().toStdString());
        sourceConnection_.close();
        access::Status st = sourceConnection_.open(connectionText_);
        if (!st.isOk()) {
            QString text;
            // "In use" is told apart by its kind: other failures share its
            // code but are not about another program holding the file.
            if (st.category() == access::Category::WrongPassword)
                text = QStringLiteral("Not a valid password ");
            else if (st.category() == access::Category::InUse)
                text = QStringLiteral("File already in use by another program");
            else
                text = QString::fromStdString(st.description());
            QApplication::restoreOverrideCursor();
            MyMessage(text, kSetOk, kExclamation);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            return;
        }
        auto* frm2 = wizard().pageAs<Frm2>(PageId::Frm2);
        frm2->selection()->clear();
        s.typeNames = source_.typeNames();
        auto names = source_.tableNames();
        if (!names.isOk()) {
            QApplication::restoreOverrideCursor();
            MyMessage(QString::fromStdString(names.status().description()), kSetOk, kExclamation);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            return;
        }
        for (const auto& name : *names) frm2->selection()->addAvailable(QString::fromStdString(name));
        if (frm2->selection()->lstAll()->count() == 0) {
            MyMessage(QStringLiteral("The Database is empty "), kSetOk, kInformation);
            s.sourceEmpty = true;
        }
    }
    goForward();
}

}  // namespace veltrano
