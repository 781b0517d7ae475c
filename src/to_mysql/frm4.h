// Page 4 of the Access-to-MySQL path: the target database and the run
// (cmdConvert). Cancel asks whether to stop the run.
#pragma once

#include <memory>

#include "shell/wizard_page.h"
#include "to_mysql/conversion_run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;

namespace veltrano {

class MYSQL_RS;

class Frm4 : public WizardPage {
    Q_OBJECT

public:
    Frm4();

    QRadioButton* optCreateNew() const { return optCreateNew_; }
    QRadioButton* optAppend() const { return optAppend_; }
    QLineEdit* txtDatabaseName() const { return txtDatabaseName_; }
    QComboBox* cmbDatabases() const { return cmbDatabases_; }
    QProgressBar* prog() const { return progressBar_; }
    QLabel* lblStatus() const { return lblStatus_; }
    // The "SHOW DATABASES;" result, kept until Finish closes it.
    std::shared_ptr<MYSQL_RS> databasesResult() const { return rsDatabases_; }
    // How the last run ended.
    tomysql::RunOutcome lastOutcome() const { return lastOutcome_; }

    void showRunProgress(int percent) override;

    bool running() const { return running_; }

protected:
    void onLoad() override;
    void onNext() override;
    // While a run is going, a confirmed Cancel only stops it; the report is
    // shown once the run has stored the rows it had read.
    void onCancel() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chooseTarget();

    QRadioButton* optCreateNew_ = nullptr;
    QRadioButton* optAppend_ = nullptr;
    QLineEdit* txtDatabaseName_ = nullptr;
    QComboBox* cmbDatabases_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    std::shared_ptr<MYSQL_RS> rsDatabases_;
    tomysql::RunOutcome lastOutcome_ = tomysql::RunOutcome::NotStarted;
    bool running_ = false;
    bool stopAsked_ = false;
};

}  // namespace veltrano
