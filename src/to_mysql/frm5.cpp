#include "to_mysql/frm5.h"

#include <QListWidget>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "shell/wizard.h"
#include "to_mysql/frm4.h"

namespace veltrano {

Frm5::Frm5() : ReportPage(PageId::Frm5) {}

report::Facts Frm5::collectFacts() {
    return report::accessToMysqlFacts(session(), std::chrono::system_clock::now());
}

void Frm5::closeRunObjects() {
    if (auto* frm4 = dynamic_cast<Frm4*>(wizard().loadedPage(PageId::Frm4))) {
        if (auto rs = frm4->databasesResult()) rs->CloseRecordset();
    }
    if (session().mysql) session().mysql->CloseConnection();
    session().mysql.reset();
}

}  // namespace veltrano
