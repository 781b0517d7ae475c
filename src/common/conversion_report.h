// The report of a finished (or stopped) run, for both directions: which
// tables were converted or skipped, the summary shown on the report page and
// the text of the report file. Plain C++ so the batch tool prints the same
// text the page saves.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/conversion_session.h"

namespace veltrano::report {

enum class Direction { AccessToMysql, MysqlToAccess };

struct TableEntry {
    std::string name;
    bool selected = false;
    bool converted = false;
};

struct Lists {
    std::vector<std::string> converted;  // selected and converted, in entry order
    std::vector<std::string> skipped;    // selected and not converted
};

// Entries that were not selected appear in neither list.
Lists splitTables(const std::vector<TableEntry>& entries);

// "hh:mm:ss"; hours wrap at 24 (a run of more than a day shows the rest).
std::string formatElapsed(std::chrono::seconds elapsed);
std::string elapsedSince(std::chrono::system_clock::time_point start,
                         std::chrono::system_clock::time_point now);

// Everything the summary and the file say.
struct Facts {
    Direction direction = Direction::AccessToMysql;
    std::string source;    // .mdb path, or the MySQL database
    std::string target;    // the MySQL database, or the .mdb path
    bool appended = false; // into an existing database / file
    int64_t records = 0;   // rows the target accepted
    std::string elapsed;   // "hh:mm:ss"
    Lists lists;
    std::vector<NotCarriedItem> notCarried;
    std::vector<CarriedItem> carriedExtras;  // foreign keys, views, rules
    std::vector<RefusedRow> refusedRows;
    std::vector<PartialTable> partialTables;
};

// Refused rows per table, in the order the tables first refused one.
std::vector<std::pair<std::string, int64_t>> refusedPerTable(const std::vector<RefusedRow>& rows);

// One line for an item, a refused row and a table cut short, as the report
// page, the saved report and the batch tool's standard error all show them.
std::string notCarriedLine(const NotCarriedItem& item);
std::string refusedRowLine(const RefusedRow& row);
std::string partialTableLine(const PartialTable& table);

// The sections after the table lists, CR LF separated, empty when there is
// nothing to name: tables cut short, refused rows per table and each refused
// row, what was carried beside the tables (foreign keys, views, rules), and
// the "Not carried" items.
std::string detailSections(const Facts& f);

// Facts of the Access-to-MySQL run held by the session.
Facts accessToMysqlFacts(const ConversionSession& s, std::chrono::system_clock::time_point now);
// Facts of the MySQL-to-Access run held by the session (sourceTables,
// destinationMode 1 = new file).
Facts mysqlToAccessFacts(const ConversionSession& s, std::chrono::system_clock::time_point now);

// The summary label's text; lines are separated by CR (and one CR LF).
std::string summaryText(const Facts& f);
// Captions of the list labels with their counts.
std::string convertedCaption(const Facts& f);
std::string skippedCaption(const Facts& f);

// The report file's text with CR LF line ends, the final CR LF included.
// dateText is the "Date Converted" value.
std::string reportText(const Facts& f, const std::string& dateText);

// The current local date and time as the report writes it.
std::string currentDateText();

// Creates or replaces the file with the text (UTF-8); false on any failure.
bool writeReportFile(const std::string& path, const std::string& text);

}  // namespace veltrano::report
