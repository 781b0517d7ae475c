// Report page of the Access-to-MySQL path. Finish closes the run's MySQL
// objects (closeRunObjects) and every window.
#pragma once

#include "shell/report_page.h"

namespace veltrano {

class Frm5 : public ReportPage {
    Q_OBJECT

public:
    Frm5();

protected:
    report::Facts collectFacts() override;
    void closeRunObjects() override;
};

}  // namespace veltrano
