// The shared table selection lists and the report texts of both paths.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QWidget>
#include <gtest/gtest.h>

#include "shell/shell_hooks.h"
#include "common/conversion_report.h"
#include "shell/table_selection.h"

namespace veltrano {
namespace {

void ensureApp() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "to_mysql_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installShellFonts();
}

struct Lists {
    QWidget page;
    TableSelection sel;
    explicit Lists(const SelectionLayout& l) : sel(&page, l) {
        for (const char* n : {"A", "B", "C", "D"}) sel.addAvailable(QString::fromLatin1(n));
        sel.activate();
    }
    QString current(QListWidget* w) { return w->currentItem() ? w->currentItem()->text() : QString(); }
};

TEST(TableSelection, MovesKeepASelectionAndTheOrder) {
    ensureApp();
    Lists l(accessToMysqlSelectionLayout());
    EXPECT_EQ(l.sel.lblTablesCount()->text(), "Total number of Tables = 4 ");
    EXPECT_EQ(l.current(l.sel.lstAll()), "A");

    // Moving the last item right leaves the new last item selected.
    l.sel.lstAll()->setCurrentRow(3);
    l.sel.moveRightOne();
    EXPECT_EQ(l.current(l.sel.lstAll()), "C");
    EXPECT_EQ(l.current(l.sel.lstSelected()), "D");
    EXPECT_EQ(l.sel.lblSelectedTables()->text(), "Selected Tables = 1 ");
    // Moving the first right leaves the new first selected.
    l.sel.lstAll()->setCurrentRow(0);
    l.sel.moveRightOne();
    EXPECT_EQ(l.current(l.sel.lstAll()), "B");
    EXPECT_EQ(l.sel.selectedNames(), (QStringList{"D", "A"}));
    // "<" appends at the end of the available list and selects it there, so
    // ">" right after moves the same table back.
    l.sel.moveLeftOne();
    EXPECT_EQ(l.sel.availableNames(), (QStringList{"B", "C", "A"}));
    EXPECT_EQ(l.current(l.sel.lstAll()), "A");
    l.sel.moveRightOne();
    EXPECT_EQ(l.sel.selectedNames(), (QStringList{"D", "A"}));

    // ">>" then "<<" keeps the order; the counter shows 0 with its blank.
    l.sel.moveRightAll();
    EXPECT_EQ(l.sel.selectedNames(), (QStringList{"D", "A", "B", "C"}));
    EXPECT_EQ(l.current(l.sel.lstSelected()), "C");
    l.sel.moveLeftAll();
    EXPECT_EQ(l.sel.availableNames(), (QStringList{"D", "A", "B", "C"}));
    EXPECT_EQ(l.sel.lblSelectedTables()->text(), "Selected Tables = 0 ");
    // Moves from an empty list change nothing.
    l.sel.moveLeftOne();
    l.sel.moveLeftAll();
    EXPECT_EQ(l.sel.availableNames().size(), 4);
    l.sel.moveRightAll();
    l.sel.moveRightOne();
    EXPECT_EQ(l.sel.selectedNames().size(), 4);
    // The total changes only on activation.
    EXPECT_EQ(l.sel.lblTablesCount()->text(), "Total number of Tables = 4 ");
}

TEST(TableSelection, OtherPathCountsWithoutTrailingBlank) {
    ensureApp();
    Lists l(mysqlToAccessSelectionLayout());
    EXPECT_EQ(l.sel.lblTablesCount()->text(), "Total number of Tables = 4");
    EXPECT_EQ(l.sel.lblSelectedTables()->text(), "Selected Tables = 0");
    l.sel.moveRightOne();
    EXPECT_EQ(l.sel.lblSelectedTables()->text(), "Selected Tables = 1");
}

TEST(Report, SummaryCaptionsAndFileOfBothPaths) {
    report::Facts f;
    f.source = "/data/shop.mdb";
    f.target = "shop";
    f.records = 40000;
    f.elapsed = report::formatElapsed(std::chrono::seconds(3600 + 120 + 3));
    f.lists = report::splitTables({{"A", true, true}, {"B", true, false}, {"C", false, false}, {"D", true, true}});
    EXPECT_EQ(f.elapsed, "01:02:03");
    EXPECT_EQ(report::formatElapsed(std::chrono::seconds(25 * 3600 + 1)), "01:00:01");
    EXPECT_EQ(report::summaryText(f),
              "Veltrano has successfully converted: \r/data/shop.mdb\rTo: shop\r\n Converted Tables: 2       "
              "Skipped Tables: 1\r Converted Records: 40000\rElapsed Time(hh:mm:ss): 01:02:03");
    EXPECT_EQ(report::convertedCaption(f), "Converted Tables: (2)");
    EXPECT_EQ(report::skippedCaption(f), "Skipped Tables: (1)");
    EXPECT_EQ(report::reportText(f, "DATE"),
              "***********************************\r\n"
              "Veltrano 1.0, Conversion Report\r\n"
              "***********************************\r\n"
              "Conversion Type        : Access to MySQL\r\n"
              "Date Converted         : DATE\r\n"
              "Source Access database : /data/shop.mdb\r\n"
              "Target MySQL database  : shop\r\n"
              "Elapsed Time           : 01:02:03\r\n"
              "Total Converted Records: 40000  record(s)\r\n"
              "\r\n"
              "Converted Tables:\r\n******************\r\nA\r\nD\r\n"
              "\r\n"
              "Skipped Tables:\r\n******************\r\nB\r\n"
              "\r\n");

    // The other path: appended wording, captions without blank, " None ".
    f.direction = report::Direction::MysqlToAccess;
    f.appended = true;
    f.lists.skipped.clear();
    EXPECT_EQ(report::summaryText(f),
              " Veltrano has successfuly Appended: /data/shop.mdb\rTo: shop\r\nConverted Tables: 2         "
              "Converted Records: 40000\rElapsed Time(hh:mm:ss): 01:02:03");
    EXPECT_EQ(report::skippedCaption(f), "Skipped Tables:0");
    const std::string text = report::reportText(f, "DATE");
    EXPECT_NE(text.find("Source MySQL database  : /data/shop.mdb\r\nTarget Access database : shop\r\n"),
              std::string::npos);
    const std::string end = "Skipped Tables:\r\n******************\r\n None \r\n";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

}  // namespace
}  // namespace veltrano
