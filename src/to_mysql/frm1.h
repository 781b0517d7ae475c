// Page 1 of the Access-to-MySQL path: the source .mdb file and its password.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class Frm1 : public WizardPage {
    Q_OBJECT

public:
    Frm1();

protected:
    void onLoad() override;
};

}  // namespace veltrano
