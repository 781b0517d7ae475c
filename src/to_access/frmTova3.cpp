#include "to_access/frmTova3.h"

namespace veltrano {

FrmTova3::FrmTova3() : WizardPage(PageId::Tova3) {}

void FrmTova3::onLoad() {}

}  // namespace veltrano
