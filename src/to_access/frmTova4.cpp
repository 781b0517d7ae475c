#include "to_access/frmTova4.h"

namespace veltrano {

FrmTova4::FrmTova4() : WizardPage(PageId::Tova4) {}

void FrmTova4::onLoad() {}

}  // namespace veltrano
