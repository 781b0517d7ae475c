// Page 2 of the MySQL-to-Access path: the tables to convert.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class FrmTova2 : public WizardPage {
    Q_OBJECT

public:
    FrmTova2();

protected:
    void onLoad() override;
};

}  // namespace veltrano
