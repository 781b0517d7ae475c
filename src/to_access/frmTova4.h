// Report page of the MySQL-to-Access path. Finish ends the program.
#pragma once

#include "shell/report_page.h"

namespace veltrano {

class FrmTova4 : public ReportPage {
    Q_OBJECT

public:
    FrmTova4();

    // The report file's text: the shared report plus, when the Access file
    // refused rows, how many.
    std::string tovaReportText() const;

protected:
    report::Facts collectFacts() override;
    void onLoad() override;
    void onActivate() override;
    void onSaveReport() override;

private:
    int64_t refused_ = 0;
};

}  // namespace veltrano
