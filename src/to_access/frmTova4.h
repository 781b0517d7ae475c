// Report page of the MySQL-to-Access path. Finish ends the program.
#pragma once

#include "shell/report_page.h"

class QPlainTextEdit;

namespace veltrano {

class FrmTova4 : public ReportPage {
    Q_OBJECT

public:
    FrmTova4();

    // The report file's text: the shared report plus, when the Access file
    // refused rows, how many.
    std::string tovaReportText() const;
    // Tables cut short, refused rows and items not carried; null when there are none.
    QPlainTextEdit* txtDetails() const { return txtDetails_; }

protected:
    report::Facts collectFacts() override;
    void onLoad() override;
    void onActivate() override;
    void onSaveReport() override;

private:
    int64_t refused_ = 0;
    QPlainTextEdit* txtDetails_ = nullptr;
};

}  // namespace veltrano
