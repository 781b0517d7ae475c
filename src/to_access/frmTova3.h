// Page 3 of the MySQL-to-Access path: the destination .mdb file (new or
// existing, with its password), "definitions only", and the run that its
// Next starts (toaccess::ConversionRun), with progress and Cancel.
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

    QRadioButton* option1() const { return newFileOption_; }
    QRadioButton* option2() const { return appendOption_; }
    QLineEdit* text1() const { return newFilePath_; }
    QLineEdit* text2() const { return existingFilePath_; }
    QPushButton* command1() const { return browseNewButton_; }
    QPushButton* browse2() const { return browseExistingButton_; }
    QCheckBox* chkPassword() const { return usePasswordBox_; }
    QLineEdit* txtPassword() const { return passwordBox_; }
    QCheckBox* check1() const { return definitionsOnlyBox_; }
    QProgressBar* prog() const { return progressBar_; }
    QLabel* lblStatus() const { return statusLabel_; }

    // Page 2 puts the default destination here.
    void setNewFileText(const QString& path);

    void browseNew();       // Command1
    void browseExisting();  // BROWSE2

    static constexpr const char* kFilter = "Access Databases(*.mdb)|*.mdb";

protected:
    void onLoad() override;
    void onNext() override;
    // During a run, Cancel (answered Yes) ends the run; the report is shown
    // once what was converted is in the file.
    void onCancel() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void showRunProgress(int percent) override;

private:
    void chooseNewFile(bool create);
    void setRunning(bool running);

    QRadioButton* newFileOption_ = nullptr;
    QRadioButton* appendOption_ = nullptr;
    QLineEdit* newFilePath_ = nullptr;
    QLineEdit* existingFilePath_ = nullptr;
    QPushButton* browseNewButton_ = nullptr;
    QPushButton* browseExistingButton_ = nullptr;
    QCheckBox* usePasswordBox_ = nullptr;
    QLineEdit* passwordBox_ = nullptr;
    QCheckBox* definitionsOnlyBox_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    bool running_ = false;
    bool stopAsked_ = false;  // Cancel was confirmed during the run
};

}  // namespace veltrano
