// Page 2 of the Access-to-MySQL path: the tables to convert and the two
// options. Next builds the table definitions. Discarded by its own Back and
// built afresh when next shown.
#pragma once

#include "shell/wizard_page.h"

class QCheckBox;

namespace veltrano {

class TableSelection;

class Frm2 : public WizardPage {
    Q_OBJECT

public:
    Frm2();

    TableSelection* selection() const { return selection_; }
    QCheckBox* chkConvertSpaces() const { return chkConvertSpaces_; }
    QCheckBox* chkDefinitionOnly() const { return chkDefinitionOnly_; }

protected:
    void onLoad() override;
    void onActivate() override;
    void onNext() override;
    void beforeBack() override;

private:
    TableSelection* selection_ = nullptr;
    QCheckBox* chkConvertSpaces_ = nullptr;
    QCheckBox* chkDefinitionOnly_ = nullptr;
};

}  // namespace veltrano
