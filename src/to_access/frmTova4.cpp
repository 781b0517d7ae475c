#include "to_access/frmTova4.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/shell_hooks.h"
#include "to_access/conversion_run.h"

namespace veltrano {

FrmTova4::FrmTova4() : ReportPage(PageId::Tova4) {}

report::Facts FrmTova4::collectFacts() {
    refused_ = session().refusedRecords;
    return report::mysqlToAccessFacts(session(), std::chrono::system_clock::now());
}

void FrmTova4::onLoad() {
    ReportPage::onLoad();
    if (refused_ > 0)
        lblFinish()->setText(lblFinish()->text() + QStringLiteral("\nRefused Records: %1").arg(refused_));
}

void FrmTova4::onActivate() { forwardButton()->setFocus(); }

std::string FrmTova4::tovaReportText() const { return toaccess::withRefusedRecords(reportText(), refused_); }

void FrmTova4::onSaveReport() {
    const std::string text = tovaReportText();
    auto choice = chooseSaveFile(this, QStringLiteral("Text Files|*.txt"), QStringLiteral("report.txt"));
    if (!choice) return;
    (void)report::writeReportFile(choice->path.toStdString(), text);  // failures are silent
}

}  // namespace veltrano
