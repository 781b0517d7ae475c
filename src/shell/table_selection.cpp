#include "shell/table_selection.h"

#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>

#include "shell/twips.h"

namespace veltrano {

namespace {

constexpr int kArrowWidth = 570;
constexpr int kArrowHeight = 330;

QPushButton* arrow(QWidget* page, const char* name, const char* caption, int left, int top) {
    auto* b = new QPushButton(QString::fromLatin1(caption), page);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    setTwipsGeometry(b, left, top, kArrowWidth, kArrowHeight);
    return b;
}

QListWidget* list(QWidget* page, const char* name, const SelectionLayout& l, int left) {
    auto* w = new QListWidget(page);
    w->setObjectName(QString::fromLatin1(name));
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->setSortingEnabled(false);
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(9.75);
    w->setFont(f);
    QPalette p = w->palette();
    p.setColor(QPalette::Text, l.textColour);
    w->setPalette(p);
    setTwipsGeometry(w, left, l.allTop, l.listWidth, l.listHeight);
    return w;
}

QLabel* label(QWidget* page, const char* name, const QString& text, int left, int top, int width) {
    auto* w = new QLabel(text, page);
    w->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(w, left, top, width, 255);
    return w;
}

// Selects row i of a list, or the row before when i is past the end.
void selectNear(QListWidget* w, int i) {
    if (w->count() == 0) return;
    w->setCurrentRow(i < w->count() ? i : w->count() - 1);
}

}  // namespace

SelectionLayout accessToMysqlSelectionLayout() {
    return {120,  1120, 3420, 2910, 4320, 3660, 1800, 2235, 2685, 3120, QColor(0, 0, 255),
            QStringLiteral("Available Tables:"), QStringLiteral("Selected Tables:"),
            QStringLiteral("Tables count: "), QStringLiteral("Selected tables = 0 "), QStringLiteral(" "), false};
}

SelectionLayout mysqlToAccessSelectionLayout() {
    return {135,  1200, 3375, 3150, 4365, 3645, 2040, 2475, 2925, 3360, QColor(0, 0, 192),
            QStringLiteral("Available Tables"), QStringLiteral("Selected Tables"),
            QStringLiteral("Tables count: "), QStringLiteral("Selected tables = 0"), QString(), true};
}

TableSelection::TableSelection(QWidget* page, const SelectionLayout& l) : QObject(page), layout_(l) {
    lstAll_ = list(page, "lstAll", l, l.allLeft);
    lstSelected_ = list(page, "lstSelected", l, l.selectedLeft);
    lblAll_ = label(page, "lblAll", l.allCaption, l.allLeft, l.allTop - 280, l.listWidth);
    lblSelected_ = label(page, "lblSelected", l.selectedCaption, l.selectedLeft, l.allTop - 280, l.listWidth);
    const int below = l.allTop + l.listHeight + 60;
    lblTablesCount_ = label(page, "lblTablesCount", l.tablesCountDesign, l.allLeft, below, l.listWidth);
    lblSelectedTables_ = label(page, "lblSelectedTables", l.selectedTablesDesign, l.selectedLeft, below, l.listWidth);
    cmdRightOne_ = arrow(page, "cmdRightOne", ">", l.buttonsLeft, l.rightOneTop);
    cmdRightAll_ = arrow(page, "cmdRightAll", ">>", l.buttonsLeft, l.rightAllTop);
    cmdLeftOne_ = arrow(page, "cmdLeftOne", "<", l.buttonsLeft, l.leftOneTop);
    cmdLeftAll_ = arrow(page, "cmdLeftAll", "<<", l.buttonsLeft, l.leftAllTop);

    connect(cmdRightOne_, &QPushButton::clicked, this, &TableSelection::moveRightOne);
    connect(cmdRightAll_, &QPushButton::clicked, this, &TableSelection::moveRightAll);
    connect(cmdLeftOne_, &QPushButton::clicked, this, &TableSelection::moveLeftOne);
    connect(cmdLeftAll_, &QPushButton::clicked, this, &TableSelection::moveLeftAll);
    connect(lstAll_, &QListWidget::itemDoubleClicked, this, [this] { moveRightOne(); });
    connect(lstSelected_, &QListWidget::itemDoubleClicked, this, [this] { moveLeftOne(); });
}

void TableSelection::clear() {
    lstAll_->clear();
    lstSelected_->clear();
}

void TableSelection::addAvailable(const QString& name) { lstAll_->addItem(name); }

QStringList TableSelection::selectedNames() const {
    QStringList out;
    for (int i = 0; i < lstSelected_->count(); ++i) out << lstSelected_->item(i)->text();
    return out;
}

QStringList TableSelection::availableNames() const {
    QStringList out;
    for (int i = 0; i < lstAll_->count(); ++i) out << lstAll_->item(i)->text();
    return out;
}

QString TableSelection::selectedCountText() const {
    return QStringLiteral("Selected Tables = ") + QString::number(lstSelected_->count()) + layout_.counterEnd;
}

QString TableSelection::totalCountText() const {
    return QStringLiteral("Total number of Tables = ") + QString::number(lstAll_->count() + lstSelected_->count()) +
           layout_.counterEnd;
}

void TableSelection::showSelectedCount() { lblSelectedTables_->setText(selectedCountText()); }

void TableSelection::moveRightOne() {
    if (lstAll_->count() == 0) return;
    int i = lstAll_->currentRow();
    if (i < 0) i = 0;  // the page keeps an item selected; be safe all the same
    lstSelected_->addItem(lstAll_->item(i)->text());
    delete lstAll_->takeItem(i);
    selectNear(lstAll_, i);
    lstSelected_->setCurrentRow(lstSelected_->count() - 1);
    showSelectedCount();
}

void TableSelection::moveLeftOne() {
    if (lstSelected_->count() == 0) return;
    int i = lstSelected_->currentRow();
    if (i < 0) i = 0;
    lstAll_->addItem(lstSelected_->item(i)->text());
    delete lstSelected_->takeItem(i);
    lstAll_->setCurrentRow(lstAll_->count() - 1);
    selectNear(lstSelected_, i);
    showSelectedCount();
}

void TableSelection::moveRightAll() {
    for (int i = 0; i < lstAll_->count(); ++i) lstSelected_->addItem(lstAll_->item(i)->text());
    lstAll_->clear();
    if (lstSelected_->count() > 0) lstSelected_->setCurrentRow(lstSelected_->count() - 1);
    showSelectedCount();
}

void TableSelection::moveLeftAll() {
    for (int i = 0; i < lstSelected_->count(); ++i) lstAll_->addItem(lstSelected_->item(i)->text());
    lstSelected_->clear();
    if (lstAll_->count() > 0) lstAll_->setCurrentRow(lstAll_->count() - 1);
    showSelectedCount();
}

void TableSelection::activate() {
    if (layout_.selectedCountOnActivate) showSelectedCount();
    lblTablesCount_->setText(totalCountText());
    if (lstAll_->count() > 0 && lstAll_->currentRow() < 0) lstAll_->setCurrentRow(0);
}

}  // namespace veltrano
