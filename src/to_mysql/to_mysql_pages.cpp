#include "to_mysql/to_mysql_pages.h"

#include "shell/wizard.h"
#include "to_mysql/frm1.h"
#include "to_mysql/frm2.h"
#include "to_mysql/frm3.h"
#include "to_mysql/frm4.h"
#include "to_mysql/frm5.h"

namespace veltrano {

void registerAccessToMysqlPages() {
    wizard().registerPage(PageId::Frm1, [] { return new Frm1; });
    wizard().registerPage(PageId::Frm2, [] { return new Frm2; });
    wizard().registerPage(PageId::Frm3, [] { return new Frm3; });
    wizard().registerPage(PageId::Frm4, [] { return new Frm4; });
    wizard().registerPage(PageId::Frm5, [] { return new Frm5; });
}

}  // namespace veltrano
