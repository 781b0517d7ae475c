#include "to_mysql/frm3.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "common/conversion_session.h"
#include "mysql/connect_error.h"
#include "mysql/mysql_connection.h"
#include "shell/my_message.h"

namespace veltrano {

Frm3::Frm3() : WizardPage(PageId::Frm3) {}

int Frm3::leadingNumber(const QString& text) {
    // Leading blanks, a sign, digits and one decimal point, like a port box
    // holding "3307abc" or " 3306.4".
    QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) ++i;
    while (i < t.size() && t[i].isDigit()) ++i;
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        while (i < t.size() && t[i].isDigit()) ++i;
    }
    bool ok = false;
    double v = t.left(i).toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 2147483647.0) return 0;
    return static_cast<int>(std::lround(v));
}

void Frm3::onLoad() {
    if (!session().mysql) session().mysql = std::make_shared<MYSQL_CONNECTION>();
    struct Box {
        const char* name;
        const char* label;
        const char* text;
        int top;
        QLineEdit** field;
    };
    const Box boxes[] = {{"txtHost", "Host", "LocalHost", 1320, &txtHost_},
                         {"txtUser", "Username", "root", 1920, &txtUser_},
                         {"txtPassword", "Password", "", 2520, &txtPassword_},
                         {"txtPort", "Port Number", "3306", 3120, &txtPort_}};
    for (const Box& b : boxes) {
        auto* label = new QLabel(QString::fromLatin1(b.label), this);
        placeTwips(label, 1200, b.top + 40, 1815, 255);
        auto* field = new QLineEdit(QString::fromLatin1(b.text), this);
        field->setObjectName(QString::fromLatin1(b.name));
        placeTwips(field, 3120, b.top, 3015, 315);
        field->installEventFilter(this);
        *b.field = field;
    }
    txtPassword_->setEchoMode(QLineEdit::Password);
}

bool Frm3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return) {
        QWidget* next = nullptr;
        if (watched == txtHost_) next = txtPort_;
        else if (watched == txtPort_) next = forwardButton();
        else if (watched == txtUser_) next = txtPassword_;
        else if (watched == txtPassword_) next = txtHost_;
        if (next) {
            next->setFocus();
            return true;
        }
    }
    return WizardPage::eventFilter(watched, event);
}

void Frm3::onActivate() {
    txtUser_->setCursorPosition(0);
    txtHost_->setCursorPosition(0);
    txtPort_->setCursorPosition(0);
    forwardButton()->setFocus();
}

void Frm3::onNext() {
    ConversionSession& s = session();
    if (!s.mysql) s.mysql = std::make_shared<MYSQL_CONNECTION>();
    MYSQL_CONNECTION& mysql = *s.mysql;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    mysql.Error().Clear();
    mysql.OpenConnection(txtHost_->text().toStdString(), txtUser_->text().toStdString(),
                         txtPassword_->text().toStdString(), "", leadingNumber(txtPort_->text()), 0);
    QApplication::restoreOverrideCursor();
    if (mysql.Error().Number() != 0) {
        MyMessage(QString::fromStdString(explainedConnectError(mysql.Error().Number(), mysql.Error().Description())),
                  kSetOk, kExclamation);
        return;
    }
    goForward();
}

}  // namespace veltrano
