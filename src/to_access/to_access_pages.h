// Registers the pages of the MySQL-to-Access path (frmTova1 to frmTova4) with the wizard.
#pragma once

namespace veltrano {

void registerMysqlToAccessPages();

}  // namespace veltrano
