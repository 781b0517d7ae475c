#include "shell/report_page.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "shell/shell_hooks.h"
#include "shell/twips.h"

namespace veltrano {

namespace {

// The lists end a little above the page's separator line (top 4860) and show
// whole rows only: a row cut short at a list's bottom edge, right on the
// line, looked as if the line had cut it off.
constexpr int kListsBottomTwips = 4860 - 90;
// With details to show, the box for them takes the lower part of the lists' room.
constexpr int kDetailsTopTwips = 3675;
constexpr int kDetailsHeightTwips = 1125;

// Both lists take the same height, measured by a row of whichever has one,
// and end above bottomTwips.
void fitWholeRows(QListWidget* a, QListWidget* b, int bottomTwips) {
    int row = a->fontMetrics().height();
    if (a->count() > 0) row = a->sizeHintForRow(0);
    else if (b->count() > 0) row = b->sizeHintForRow(0);
    for (QListWidget* list : {a, b}) {
        const int frame = 2 * list->frameWidth();
        const int available = toPixels(bottomTwips) - list->y() - frame;
        if (row <= 0 || available < row) continue;
        list->resize(list->width(), available / row * row + frame);
    }
}

}  // namespace

ReportPage::ReportPage(PageId id, QWidget* parent) : WizardPage(id, parent) {}

void ReportPage::onLoad() {
    lblFinish_ = new QLabel(QStringLiteral("Selected Tables"), this);
    lblFinish_->setObjectName(QStringLiteral("lblFinish"));
    lblFinish_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(lblFinish_, 240, 720, 7455, 1455);
    lblConverted_ = new QLabel(QStringLiteral("Converted Tables:"), this);
    lblConverted_->setObjectName(QStringLiteral("lblConverted"));
    placeTwips(lblConverted_, 240, 2280, 3495, 255);
    lblSkipped_ = new QLabel(QStringLiteral("Skipped Tables:"), this);
    lblSkipped_->setObjectName(QStringLiteral("lblSkipped"));
    placeTwips(lblSkipped_, 4200, 2280, 3495, 255);
    lstConverted_ = new QListWidget(this);
    lstConverted_->setObjectName(QStringLiteral("lstConverted"));
    placeTwips(lstConverted_, 240, 2580, 3495, 2295);
    lstSkipped_ = new QListWidget(this);
    lstSkipped_->setObjectName(QStringLiteral("lstSkipped"));
    placeTwips(lstSkipped_, 4200, 2580, 3495, 2295);

    facts_ = collectFacts();
    for (const auto& n : facts_.lists.converted) lstConverted_->addItem(QString::fromStdString(n));
    for (const auto& n : facts_.lists.skipped) lstSkipped_->addItem(QString::fromStdString(n));
    // Tables cut short, refused rows and what was not carried, as the saved
    // report lists them.
    int listsBottom = kListsBottomTwips;
    if (const std::string details = report::detailSections(facts_); !details.empty()) {
        txtDetails_ = new QPlainTextEdit(this);
        txtDetails_->setObjectName(QStringLiteral("txtDetails"));
        txtDetails_->setReadOnly(true);
        txtDetails_->setLineWrapMode(QPlainTextEdit::NoWrap);
        QString text = QString::fromStdString(details).trimmed();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        txtDetails_->setPlainText(text);
        placeTwips(txtDetails_, 240, kDetailsTopTwips, 7455, kDetailsHeightTwips);
        listsBottom = kDetailsTopTwips - 90;
    }
    fitWholeRows(lstConverted_, lstSkipped_, listsBottom);
    // The label shows CR as a line break, like LF.
    QString summary = QString::fromStdString(report::summaryText(facts_));
    summary.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lblFinish_->setText(summary);
    lblSkipped_->setText(QString::fromStdString(report::skippedCaption(facts_)));
    lblConverted_->setText(QString::fromStdString(report::convertedCaption(facts_)));
}

std::string ReportPage::reportText() const {
    // The lists on the page are what the file lists.
    report::Facts f = facts_;
    f.lists.converted.clear();
    f.lists.skipped.clear();
    for (int i = 0; i < lstConverted_->count(); ++i) f.lists.converted.push_back(lstConverted_->item(i)->text().toStdString());
    for (int i = 0; i < lstSkipped_->count(); ++i) f.lists.skipped.push_back(lstSkipped_->item(i)->text().toStdString());
    return report::reportText(f, report::currentDateText());
}

void ReportPage::onSaveReport() {
    const std::string text = reportText();
    auto choice = chooseSaveFile(this, QStringLiteral("Text Files|*.txt"), QStringLiteral("report.txt"));
    if (!choice) return;
    // Failures are silent: the page stays as it was.
    (void)report::writeReportFile(choice->path.toStdString(), text);
}

}  // namespace veltrano
