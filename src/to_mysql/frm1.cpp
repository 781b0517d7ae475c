#include "to_mysql/frm1.h"

namespace veltrano {

Frm1::Frm1() : WizardPage(PageId::Frm1) {}

void Frm1::onLoad() {}

}  // namespace veltrano
