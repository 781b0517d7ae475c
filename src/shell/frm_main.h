// frmMain: the first window. It asks which way to convert and opens the
// first page of that path.
#pragma once

#include "shell/wizard_page.h"

class QRadioButton;

namespace veltrano {

class LinkLabel;

class FrmMain : public WizardPage {
    Q_OBJECT

public:
    FrmMain();

    QRadioButton* optLenn() const { return optLenn_; }
    QRadioButton* optTova() const { return optTova_; }
    LinkLabel* aboutLink() const { return label3_; }

protected:
    void onLoad() override;
    void onNext() override;

private:
    QRadioButton* optLenn_ = nullptr;
    QRadioButton* optTova_ = nullptr;
    LinkLabel* label3_ = nullptr;
};

}  // namespace veltrano
