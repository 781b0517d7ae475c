// Page 1 of the MySQL-to-Access path: the MySQL login and the source database.
// Connect opens the path's connection (session().sourceConnection) and lists
// the server's databases; Next lists the chosen database's tables into page 2.
// A confirmed Cancel disconnects first (onExitConfirmed).
#pragma once

#include "shell/wizard_page.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace veltrano {

class FrmTova1 : public WizardPage {
    Q_OBJECT

public:
    FrmTova1();

    QLineEdit* txtHost() const { return hostBox_; }
    QLineEdit* txtUser() const { return userBox_; }
    QLineEdit* txtPW() const { return passwordBox_; }
    QLineEdit* txtPort() const { return portBox_; }
    QComboBox* listDb() const { return databaseBox_; }
    QPushButton* cmdConnect() const { return connectButton_; }
    QPushButton* cmddisconnect() const { return disconnectButton_; }

    void connectToServer();  // cmdConnect
    void disconnect();       // cmddisconnect

    static constexpr const char* kNoDatabase = "<select db name or type it>";

protected:
    void onLoad() override;
    void onActivate() override;
    void onNext() override;
    void onExitConfirmed() override;

private:
    QLineEdit* hostBox_ = nullptr;
    QLineEdit* userBox_ = nullptr;
    QLineEdit* passwordBox_ = nullptr;
    QLineEdit* portBox_ = nullptr;
    QComboBox* databaseBox_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* disconnectButton_ = nullptr;
};

}  // namespace veltrano
