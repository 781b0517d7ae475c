// The two-list table selection of the second page of both paths (frm2 and
// frmTova2): available tables on the left, selected ones on the right, the
// four arrow buttons, double clicks, and the two counter labels. The pages
// differ only in positions, colours and counter wording, which they pass in
// as a SelectionLayout.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace veltrano {

// Positions in twips and the texts that differ between the two pages.
struct SelectionLayout {
    int allLeft, allTop, listWidth, listHeight;
    int selectedLeft;
    int buttonsLeft, rightOneTop, rightAllTop, leftOneTop, leftAllTop;
    QColor textColour;
    QString allCaption;            // "Available Tables:" / "Available Tables"
    QString selectedCaption;       // "Selected Tables:" / "Selected Tables"
    QString tablesCountDesign;     // design text of lblTablesCount
    QString selectedTablesDesign;  // design text of lblSelectedTables
    QString counterEnd;            // " " after the counts on frm2, "" on frmTova2
    bool selectedCountOnActivate;  // frmTova2 refreshes the selected count too
};

SelectionLayout accessToMysqlSelectionLayout();  // frm2
SelectionLayout mysqlToAccessSelectionLayout();  // frmTova2

class TableSelection : public QObject {
    Q_OBJECT

public:
    // Creates the lists, buttons and labels as children of `page`.
    TableSelection(QWidget* page, const SelectionLayout& layout);

    QListWidget* lstAll() const { return lstAll_; }
    QListWidget* lstSelected() const { return lstSelected_; }
    QLabel* lblTablesCount() const { return lblTablesCount_; }
    QLabel* lblSelectedTables() const { return lblSelectedTables_; }
    QPushButton* cmdRightOne() const { return cmdRightOne_; }
    QPushButton* cmdRightAll() const { return cmdRightAll_; }
    QPushButton* cmdLeftOne() const { return cmdLeftOne_; }
    QPushButton* cmdLeftAll() const { return cmdLeftAll_; }

    // Empties both lists (the previous page refills the available one).
    void clear();
    void addAvailable(const QString& name);
    QStringList selectedNames() const;  // in list order
    QStringList availableNames() const;

    void moveRightOne();
    void moveRightAll();
    void moveLeftOne();
    void moveLeftAll();
    // Run each time the page becomes active: counters, and an item selected
    // in the available list.
    void activate();

    QString selectedCountText() const;
    QString totalCountText() const;

private:
    void showSelectedCount();

    SelectionLayout layout_;
    QListWidget* lstAll_;
    QListWidget* lstSelected_;
    QLabel* lblAll_;
    QLabel* lblSelected_;
    QLabel* lblTablesCount_;
    QLabel* lblSelectedTables_;
    QPushButton* cmdRightOne_;
    QPushButton* cmdRightAll_;
    QPushButton* cmdLeftOne_;
    QPushButton* cmdLeftAll_;
};

}  // namespace veltrano
