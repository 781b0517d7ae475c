// Report page of the Access-to-MySQL path. Finish closes the run's MySQL
// objects (closeRunObjects) and every window.
#pragma once

#include "shell/report_page.h"

class QPlainTextEdit;

namespace veltrano {

class Frm5 : public ReportPage {
    Q_OBJECT

public:
    Frm5();

    // Tables cut short, refused records and items not carried; null when
    // the run had none.
    QPlainTextEdit* txtDetails() const { return txtDetails_; }

protected:
    void onLoad() override;
    report::Facts collectFacts() override;
    void closeRunObjects() override;

private:
    QPlainTextEdit* txtDetails_ = nullptr;
};

}  // namespace veltrano
