// Page 4 of the Access-to-MySQL path: the target database and the run
// (cmdConvert). Cancel asks whether to stop the run.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class Frm4 : public WizardPage {
    Q_OBJECT

public:
    Frm4();

protected:
    void onLoad() override;
};

}  // namespace veltrano
