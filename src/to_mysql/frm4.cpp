#include "to_mysql/frm4.h"

namespace veltrano {

Frm4::Frm4() : WizardPage(PageId::Frm4) {}

void Frm4::onLoad() {}

}  // namespace veltrano
