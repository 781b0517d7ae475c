// Page 1 of the Access-to-MySQL path: the source .mdb file and its password.
// The connection opened by Next stays with this page; pages 2 and 4 read the
// source through source().
#pragma once

#include "access/provider/provider.h"
#include "shell/wizard_page.h"
#include "to_mysql/provider_source.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace veltrano {

class Frm1 : public WizardPage {
    Q_OBJECT

public:
    Frm1();

    QLineEdit* txtPath() const { return txtPath_; }
    QPushButton* cmdSelectDB() const { return cmdSelectDB_; }
    QCheckBox* chkPassword() const { return chkPassword_; }
    QLineEdit* txtPassword() const { return txtPassword_; }

    access::Connection& cnn1() { return sourceConnection_; }
    tomysql::ProviderSource& source() { return source_; }
    const std::string& connectionText() const { return connectionText_; }
    // Back on page 2 closes the source file.
    void closeSource() { sourceConnection_.close(); }

    void selectDatabase();  // cmdSelectDB

protected:
    void onLoad() override;
    void onNext() override;

private:
    QLineEdit* txtPath_ = nullptr;
    QPushButton* cmdSelectDB_ = nullptr;
    QCheckBox* chkPassword_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QString chosenPath_;
    std::string connectionText_;
    access::Connection sourceConnection_;
    tomysql::ProviderSource source_{sourceConnection_};
};

}  // namespace veltrano
