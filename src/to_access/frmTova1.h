// Page 1 of the MySQL-to-Access path: the MySQL login and the source database.
// A confirmed Cancel disconnects first (onExitConfirmed).
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class FrmTova1 : public WizardPage {
    Q_OBJECT

public:
    FrmTova1();

protected:
    void onLoad() override;
};

}  // namespace veltrano
