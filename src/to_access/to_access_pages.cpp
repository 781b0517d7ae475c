#include "to_access/to_access_pages.h"

#include "shell/wizard.h"
#include "to_access/frmTova1.h"
#include "to_access/frmTova2.h"
#include "to_access/frmTova3.h"
#include "to_access/frmTova4.h"

namespace veltrano {

void registerMysqlToAccessPages() {
    wizard().registerPage(PageId::Tova1, [] { return new FrmTova1; });
    wizard().registerPage(PageId::Tova2, [] { return new FrmTova2; });
    wizard().registerPage(PageId::Tova3, [] { return new FrmTova3; });
    wizard().registerPage(PageId::Tova4, [] { return new FrmTova4; });
}

}  // namespace veltrano
