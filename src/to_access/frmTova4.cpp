#include "to_access/frmTova4.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
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
    // Tables cut short, refused rows and what was not carried, as the saved
    // report lists them: the lists make room for them.
    std::string details = report::detailSections(facts());
    if (details.empty()) return;
    placeTwips(lstConverted(), 240, 2580, 3495, 1035);
    placeTwips(lstSkipped(), 4200, 2580, 3495, 1035);
    txtDetails_ = new QPlainTextEdit(this);
    txtDetails_->setObjectName(QStringLiteral("txtDetails"));
    txtDetails_->setReadOnly(true);
    txtDetails_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString text = QString::fromStdString(details);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtDetails_->setPlainText(text.trimmed());
    placeTwips(txtDetails_, 240, 3675, 7455, 1125);
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
