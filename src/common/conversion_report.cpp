#include "common/conversion_report.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace veltrano::report {

namespace {
constexpr const char* kCrLf = "\r\n";
}

Lists splitTables(const std::vector<TableEntry>& entries) {
    Lists l;
    for (const auto& e : entries) {
        if (!e.selected) continue;
        (e.converted ? l.converted : l.skipped).push_back(e.name);
    }
    return l;
}

std::string formatElapsed(std::chrono::seconds elapsed) {
    long long total = elapsed.count();
    if (total < 0) total = 0;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(total / 3600 % 24),
                  static_cast<int>(total / 60 % 60), static_cast<int>(total % 60));
    return buf;
}

std::string elapsedSince(std::chrono::system_clock::time_point start,
                         std::chrono::system_clock::time_point now) {
    return formatElapsed(std::chrono::duration_cast<std::chrono::seconds>(now - start));
}

namespace {

// What the report names beyond its lists, the same for both directions.
void addDetails(Facts& f, const ConversionSession& s) {
    f.notCarried = s.notCarried;
    f.carriedExtras = s.carriedExtras;
    f.refusedRows = s.refusedRows;
    f.partialTables = s.partialTables;
}

}  // namespace

Facts accessToMysqlFacts(const ConversionSession& s, std::chrono::system_clock::time_point now) {
    Facts f;
    f.direction = Direction::AccessToMysql;
    f.source = s.sourcePath;
    f.target = s.targetDatabase;
    f.appended = s.appending;
    f.records = s.convertedRecords;
    f.elapsed = elapsedSince(s.startTime, now);
    std::vector<TableEntry> entries;
    for (const auto& t : s.tables) entries.push_back({t.name, t.selected, t.converted});
    f.lists = splitTables(entries);
    addDetails(f, s);
    return f;
}

Facts mysqlToAccessFacts(const ConversionSession& s, std::chrono::system_clock::time_point now) {
    Facts f;
    f.direction = Direction::MysqlToAccess;
    f.source = s.sourceDatabase;
    f.target = s.destinationPath;
    f.appended = s.destinationMode != 1;
    f.records = s.convertedRecords;
    f.elapsed = elapsedSince(s.startTime, now);
    std::vector<TableEntry> entries;
    for (const auto& t : s.sourceTables) entries.push_back({t.name, t.selected, t.converted});
    f.lists = splitTables(entries);
    addDetails(f, s);
    return f;
}

std::string summaryText(const Facts& f) {
    const std::string c = std::to_string(f.lists.converted.size());
    const std::string r = std::to_string(f.records);
    if (f.direction == Direction::AccessToMysql) {
        std::string m = f.appended ? "Veltrano has successfully appended: " : "Veltrano has successfully converted: ";
        return m + "\r" + f.source + "\r" + "To: " + f.target + "\r\n" + " Converted Tables: " + c +
               "       Skipped Tables: " + std::to_string(f.lists.skipped.size()) + "\r" +
               " Converted Records: " + r + "\r" + "Elapsed Time(hh:mm:ss): " + f.elapsed;
    }
    std::string m = f.appended ? " Veltrano has successfuly Appended: " : "Veltrano has successfully converted: ";
    return m + f.source + "\r" + "To: " + f.target + "\r\n" + "Converted Tables: " + c + "         " +
           "Converted Records: " + r + "\r" + "Elapsed Time(hh:mm:ss): " + f.elapsed;
}

std::string convertedCaption(const Facts& f) {
    const std::string n = std::to_string(f.lists.converted.size());
    return f.direction == Direction::AccessToMysql ? "Converted Tables: (" + n + ")" : "Converted Tables:" + n;
}

std::string skippedCaption(const Facts& f) {
    const std::string n = std::to_string(f.lists.skipped.size());
    return f.direction == Direction::AccessToMysql ? "Skipped Tables: (" + n + ")" : "Skipped Tables:" + n;
}

std::string reportText(const Facts& f, const std::string& dateText) {
    const std::string stars35(35, '*'), stars18(18, '*');
    const bool toMysql = f.direction == Direction::AccessToMysql;
    std::string t;
    auto line = [&t](const std::string& s) { t += s + kCrLf; };
    line(stars35);
    line("Veltrano 1.0, Conversion Report");
    line(stars35);
    line(toMysql ? "Conversion Type        : Access to MySQL" : "Conversion Type        : MySQL to Access");
    line("Date Converted         : " + dateText);
    line((toMysql ? "Source Access database : " : "Source MySQL database  : ") + f.source);
    line((toMysql ? "Target MySQL database  : " : "Target Access database : ") + f.target);
    line("Elapsed Time           : " + f.elapsed);
    line("Total Converted Records: " + std::to_string(f.records) + "  record(s)");
    line("");
    line("Converted Tables:");
    line(stars18);
    for (const auto& n : f.lists.converted) line(n);
    line("");
    line("Skipped Tables:");
    line(stars18);
    if (f.lists.skipped.empty())
        t += " None ";
    else
        for (const auto& n : f.lists.skipped) line(n);
    t += kCrLf;
    t += detailSections(f);
    return t;
}

std::vector<std::pair<std::string, int64_t>> refusedPerTable(const std::vector<RefusedRow>& rows) {
    std::vector<std::pair<std::string, int64_t>> counts;
    for (const auto& r : rows) {
        auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == r.table; });
        if (it == counts.end())
            counts.emplace_back(r.table, 1);
        else
            ++it->second;
    }
    return counts;
}

std::string notCarriedLine(const NotCarriedItem& item) {
    std::string where = item.table.empty() ? "" : item.table + ": ";
    return where + item.item + ": " + item.reason;
}

std::string refusedRowLine(const RefusedRow& row) {
    return row.table + ", record " + std::to_string(row.recordNumber) + ": " + row.reason;
}

std::string partialTableLine(const PartialTable& table) {
    return table.table + ": " + std::to_string(table.storedRecords) + " record(s) stored, then " + table.reason;
}

std::string detailSections(const Facts& f) {
    const std::string stars18(18, '*');
    std::string t;
    auto line = [&t](const std::string& s) { t += s + kCrLf; };
    if (!f.partialTables.empty()) {
        line("");
        line("Tables Cut Short:");
        line(stars18);
        for (const auto& p : f.partialTables) line(partialTableLine(p));
    }
    if (!f.refusedRows.empty()) {
        line("");
        line("Refused Records: " + std::to_string(f.refusedRows.size()));
        line(stars18);
        for (const auto& [table, count] : refusedPerTable(f.refusedRows))
            line(table + ": " + std::to_string(count) + " record(s) refused");
        for (const auto& r : f.refusedRows) line(refusedRowLine(r));
    }
    if (!f.carriedExtras.empty()) {
        line("");
        line("Carried beside the tables:");
        line(stars18);
        for (const auto& c : f.carriedExtras) line(c.table.empty() ? c.item : c.table + ": " + c.item);
    }
    if (!f.notCarried.empty()) {
        line("");
        line("Not carried:");
        line(stars18);
        for (const auto& n : f.notCarried) line(notCarriedLine(n));
    }
    return t;
}

std::string currentDateText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

bool writeReportFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace veltrano::report
