// Registers the pages of the Access-to-MySQL path (frm1 to frm5) with the wizard.
#pragma once

namespace veltrano {

void registerAccessToMysqlPages();

}  // namespace veltrano
