#include "to_mysql/frm2.h"

namespace veltrano {

Frm2::Frm2() : WizardPage(PageId::Frm2) {}

void Frm2::onLoad() {}

}  // namespace veltrano
