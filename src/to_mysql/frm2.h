// Page 2 of the Access-to-MySQL path: the tables to convert. Discarded by its
// own Back and built afresh when next shown.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class Frm2 : public WizardPage {
    Q_OBJECT

public:
    Frm2();

protected:
    void onLoad() override;
};

}  // namespace veltrano
