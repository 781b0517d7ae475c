// Report page of the Access-to-MySQL path. Finish closes the run's MySQL
// objects (closeRunObjects) and every window.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class Frm5 : public WizardPage {
    Q_OBJECT

public:
    Frm5();

protected:
    void onLoad() override;
};

}  // namespace veltrano
