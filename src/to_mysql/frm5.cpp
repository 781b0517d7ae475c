#include "to_mysql/frm5.h"

#include <QListWidget>
#include <QPlainTextEdit>

#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "mysql/mysql_rs.h"
#include "shell/wizard.h"
#include "to_mysql/frm4.h"

namespace veltrano {

Frm5::Frm5() : ReportPage(PageId::Frm5) {}

void Frm5::onLoad() {
    ReportPage::onLoad();
    const std::string details = report::detailSections(facts());
    if (details.empty()) return;
    // The lists give up the lower part of their height to the details.
    placeTwips(lstConverted(), 240, 2580, 3495, 1215);
    placeTwips(lstSkipped(), 4200, 2580, 3495, 1215);
    txtDetails_ = new QPlainTextEdit(this);
    txtDetails_->setObjectName(QStringLiteral("txtDetails"));
    txtDetails_->setReadOnly(true);
    QString text = QString::fromStdString(details).trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtDetails_->setPlainText(text);
    placeTwips(txtDetails_, 240, 3855, 7455, 1020);
}

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
