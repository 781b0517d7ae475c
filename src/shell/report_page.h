// The report page that ends both paths (frm5 and frmTova4): the summary, the
// lists of converted and skipped tables with their counts, Save Report and
// Finish. Everything shown is computed once, when the page is created; a
// page of either path derives from it and says where its facts come from.
#pragma once

#include "shell/wizard_page.h"
#include "common/conversion_report.h"

class QLabel;
class QListWidget;

class QPlainTextEdit;

namespace veltrano {

class ReportPage : public WizardPage {
    Q_OBJECT

public:
    explicit ReportPage(PageId id, QWidget* parent = nullptr);

    const report::Facts& facts() const { return facts_; }
    QLabel* lblFinish() const { return lblFinish_; }
    QLabel* lblConverted() const { return lblConverted_; }
    QLabel* lblSkipped() const { return lblSkipped_; }
    QListWidget* lstConverted() const { return lstConverted_; }
    QListWidget* lstSkipped() const { return lstSkipped_; }
    // What the report names beyond the table lists; null when there is nothing.
    QPlainTextEdit* txtDetails() const { return txtDetails_; }

    // The text Save Report writes, with the current date and time.
    std::string reportText() const;

protected:
    // The facts of the page's run, taken when the page is created.
    virtual report::Facts collectFacts() = 0;
    void onLoad() override;
    void onSaveReport() override;

private:
    report::Facts facts_;
    QLabel* lblFinish_ = nullptr;
    QLabel* lblConverted_ = nullptr;
    QLabel* lblSkipped_ = nullptr;
    QListWidget* lstConverted_ = nullptr;
    QListWidget* lstSkipped_ = nullptr;
    QPlainTextEdit* txtDetails_ = nullptr;
};

}  // namespace veltrano
