#include "to_mysql/frm5.h"

namespace veltrano {

Frm5::Frm5() : WizardPage(PageId::Frm5) {}

void Frm5::onLoad() {}

}  // namespace veltrano
