#include "to_access/frmTova2.h"

namespace veltrano {

FrmTova2::FrmTova2() : WizardPage(PageId::Tova2) {}

void FrmTova2::onLoad() {}

}  // namespace veltrano
