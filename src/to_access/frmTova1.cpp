#include "to_access/frmTova1.h"

namespace veltrano {

FrmTova1::FrmTova1() : WizardPage(PageId::Tova1) {}

void FrmTova1::onLoad() {}

}  // namespace veltrano
