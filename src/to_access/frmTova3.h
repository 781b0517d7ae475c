// Page 3 of the MySQL-to-Access path: the destination .mdb file and the run.
// Cancel asks whether to stop the run.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class FrmTova3 : public WizardPage {
    Q_OBJECT

public:
    FrmTova3();

protected:
    void onLoad() override;
};

}  // namespace veltrano
