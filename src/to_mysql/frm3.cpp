#include "to_mysql/frm3.h"

namespace veltrano {

Frm3::Frm3() : WizardPage(PageId::Frm3) {}

void Frm3::onLoad() {}

}  // namespace veltrano
