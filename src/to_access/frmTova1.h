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

    QLineEdit* txtHost() const { return txtHost_; }
    QLineEdit* txtUser() const { return txtUser_; }
    QLineEdit* txtPW() const { return txtPW_; }
    QLineEdit* txtPort() const { return txtPort_; }
    QComboBox* listDb() const { return listDb_; }
    QPushButton* cmdConnect() const { return cmdConnect_; }
    QPushButton* cmddisconnect() const { return cmddisconnect_; }

    void connectToServer();  // cmdConnect
    void disconnect();       // cmddisconnect

    static constexpr const char* kNoDatabase = "<select db name or type it>";

protected:
    void onLoad() override;
    void onActivate() override;
    void onNext() override;
    void onExitConfirmed() override;

private:
    QLineEdit* txtHost_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLineEdit* txtPW_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
    QComboBox* listDb_ = nullptr;
    QPushButton* cmdConnect_ = nullptr;
    QPushButton* cmddisconnect_ = nullptr;
};

}  // namespace veltrano
