// Page 3 of the Access-to-MySQL path: the MySQL login.
#pragma once

#include "shell/wizard_page.h"

class QLineEdit;

namespace veltrano {

class Frm3 : public WizardPage {
    Q_OBJECT

public:
    Frm3();

    QLineEdit* txtHost() const { return txtHost_; }
    QLineEdit* txtUser() const { return txtUser_; }
    QLineEdit* txtPassword() const { return txtPassword_; }
    QLineEdit* txtPort() const { return txtPort_; }

    // The number at the start of a text, rounded; 0 when there is none.
    static int leadingNumber(const QString& text);

protected:
    void onLoad() override;
    void onActivate() override;
    void onNext() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* txtHost_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
};

}  // namespace veltrano
