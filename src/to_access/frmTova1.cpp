#include "to_access/frmTova1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "common/conversion_session.h"
#include "mysql/connect_error.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "shell/my_message.h"
#include "shell/wizard.h"
#include "to_access/frmTova2.h"
#include "to_access/mysql_schema.h"
#include "shell/table_selection.h"

namespace veltrano {

namespace {

MYSQL_CONNECTION& sourceConnection() {
    auto& c = session().sourceConnection;
    if (!c) c = std::make_shared<MYSQL_CONNECTION>();  // using it creates a fresh, unconnected one
    return *c;
}

}  // namespace

FrmTova1::FrmTova1() : WizardPage(PageId::Tova1) {}

void FrmTova1::onLoad() {
    auto label = [this](const char* text, int top) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(QStringLiteral("Label2"));
        placeTwips(l, 720, top, 1575, 255);
        return l;
    };
    auto edit = [this](const char* name, const char* text, int top, int width) {
        auto* e = new QLineEdit(QString::fromUtf8(text), this);
        e->setObjectName(QString::fromLatin1(name));
        placeTwips(e, 2400, top, width, 315);
        return e;
    };
    label("Host", 1140);
    hostBox_ = edit("txtHost", "localhost", 1080, 3135);
    label("User Name", 1620);
    userBox_ = edit("txtUser", "root", 1560, 3135);
    label("Password", 2100);
    passwordBox_ = edit("txtPW", "", 2040, 3135);
    passwordBox_->setEchoMode(QLineEdit::Password);
    auto* port = new QLabel(QStringLiteral("Port Numberr"), this);
    port->setObjectName(QStringLiteral("lblPortNumber"));
    placeTwips(port, 720, 2580, 1575, 255);
    portBox_ = edit("txtPort", "3306", 2520, 1095);

    connectButton_ = new QPushButton(QStringLiteral("Connect"), this);
    connectButton_->setObjectName(QStringLiteral("cmdConnect"));
    placeTwips(connectButton_, 5880, 1050, 1575, 375);
    disconnectButton_ = new QPushButton(QStringLiteral("Disconnect"), this);
    disconnectButton_->setObjectName(QStringLiteral("cmddisconnect"));
    placeTwips(disconnectButton_, 5880, 1530, 1575, 375);
    disconnectButton_->setEnabled(false);

    label("MySQL Database", 3420);
    databaseBox_ = new QComboBox(this);
    databaseBox_->setObjectName(QStringLiteral("listDb"));
    databaseBox_->setEditable(true);
    databaseBox_->setInsertPolicy(QComboBox::NoInsert);
    databaseBox_->setEditText(QString::fromLatin1(kNoDatabase));
    databaseBox_->setEnabled(false);
    placeTwips(databaseBox_, 2400, 3360, 3135, 315);

    connect(connectButton_, &QPushButton::clicked, this, &FrmTova1::connectToServer);
    connect(disconnectButton_, &QPushButton::clicked, this, &FrmTova1::disconnect);
}

void FrmTova1::onActivate() {
    for (QLineEdit* e : {userBox_, hostBox_, passwordBox_, portBox_}) e->setCursorPosition(0);
}

void FrmTova1::connectToServer() {
    bool isNumber = false;
    const double port = portBox_->text().trimmed().toDouble(&isNumber);
    if (!isNumber || port < 0 || port > 65535) {
        MyMessage(QStringLiteral("Please enter a valid port number."), kSetOk, kExclamation);
        portBox_->setFocus();
        return;
    }
    MYSQL_CONNECTION& c = sourceConnection();
    c.OpenConnection(hostBox_->text().toStdString(), userBox_->text().toStdString(),
                     passwordBox_->text().toStdString(), "", static_cast<int32_t>(std::lround(port)), 0);
    if (c.State() == 1) {
        if (c.Error().Number() != 0)
            MyMessage(QString::fromStdString(explainedConnectError(c.Error().Number(), c.Error().Description())),
                      kSetOk, kExclamation);
        else
            MyMessage(QStringLiteral("Unable to connect to MySQL Server."), kSetOk, kInformation);
        return;
    }
    forwardButton()->setEnabled(true);
    databaseBox_->setEnabled(true);
    databaseBox_->setFocus();
    disconnectButton_->setEnabled(true);
    connectButton_->setEnabled(false);

    // The list is not emptied: connecting again appends the names once more.
    const QString typed = databaseBox_->currentText();
    auto rs = c.Execute("show databases");
    for (rs->MoveFirst(); rs->State() == 0 && !rs->Eof(); rs->MoveNext()) {
        FieldValue v = rs->Fields(0).Value();
        databaseBox_->addItem(QString::fromStdString(v.isText() ? v.asText() : std::string()));
    }
    databaseBox_->setEditText(typed);
    databaseBox_->setFocus();
}

void FrmTova1::disconnect() {
    if (auto& c = session().sourceConnection) {
        c->CloseConnection();
        c.reset();
    }
    disconnectButton_->setEnabled(false);
    connectButton_->setEnabled(true);
}

void FrmTova1::onExitConfirmed() { disconnect(); }

void FrmTova1::onNext() {
    if (!databaseBox_->isEnabled()) {
        MyMessage(QStringLiteral("Please Connect to MySQL Server first"), kSetOk, kInformation);
        connectButton_->setFocus();
        return;
    }
    if (databaseBox_->currentText() == QString::fromLatin1(kNoDatabase)) {
        MyMessage(QStringLiteral("Please select Mysql database or type its name"), kSetOk, kInformation);
        databaseBox_->setFocus();
        return;
    }
    const std::string db = databaseBox_->currentText().toStdString();
    ConversionSession& s = session();
    MYSQL_CONNECTION& c = sourceConnection();
    c.Error().Clear();
    std::vector<std::string> names;
    if (!show_tables(c, db, names)) {
        s.databaseTables.clear();
        s.tableCount = 0;
        MyMessage(QString::fromStdString(c.Error().Description()), kSetOk, kExclamation);
        return;
    }
    s.databaseTables = names;
    s.tableCount = static_cast<int64_t>(names.size());
    s.sourceDatabase = db;
    s.sourceHost = hostBox_->text().toStdString();
    s.sourcePassword = passwordBox_->text().toStdString();
    s.sourceUser = userBox_->text().toStdString();
    s.sourceTables.assign(static_cast<size_t>(s.tableCount) + 1, SourceTable{});

    auto* page2 = wizard().pageAs<FrmTova2>(PageId::Tova2);
    page2->selection()->clear();
    for (const std::string& name : s.databaseTables) page2->selection()->addAvailable(QString::fromStdString(name));
    goForward();
}

}  // namespace veltrano
