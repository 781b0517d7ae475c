// Page 3 of the Access-to-MySQL path: the MySQL login.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class Frm3 : public WizardPage {
    Q_OBJECT

public:
    Frm3();

protected:
    void onLoad() override;
};

}  // namespace veltrano
