// Page 3 of the MySQL-to-Access path: the destination .mdb file (new or
// existing, with its password), "definitions only", and the run that its
// Next starts (TovaRun), with progress and Cancel.
#pragma once

#include "shell/wizard_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace veltrano {

class FrmTova3 : public WizardPage {
    Q_OBJECT

public:
    FrmTova3();

    QRadioButton* option1() const { return Option1_; }
    QRadioButton* option2() const { return Option2_; }
    QLineEdit* text1() const { return Text1_; }
    QLineEdit* text2() const { return Text2_; }
    QPushButton* command1() const { return Command1_; }
    QPushButton* browse2() const { return BROWSE2_; }
    QCheckBox* chkPassword() const { return chkPassword_; }
    QLineEdit* txtPassword() const { return txtPassword_; }
    QCheckBox* check1() const { return Check1_; }
    QProgressBar* prog() const { return prog_; }
    QLabel* lblStatus() const { return lblStatus_; }

    // Page 2 puts the default destination here.
    void setNewFileText(const QString& path);

    void browseNew();       // Command1
    void browseExisting();  // BROWSE2

    static constexpr const char* kFilter = "Access Databases(*.mdb)|*.mdb";

protected:
    void onLoad() override;
    void onNext() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void showRunProgress(int percent) override;

private:
    void chooseNewFile(bool create);
    void setRunning(bool running);

    QRadioButton* Option1_ = nullptr;
    QRadioButton* Option2_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* BROWSE2_ = nullptr;
    QCheckBox* chkPassword_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QProgressBar* prog_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    bool running_ = false;
};

}  // namespace veltrano
