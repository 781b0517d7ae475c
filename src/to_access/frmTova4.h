// Report page of the MySQL-to-Access path. Finish ends the program.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class FrmTova4 : public WizardPage {
    Q_OBJECT

public:
    FrmTova4();

protected:
    void onLoad() override;
};

}  // namespace veltrano
