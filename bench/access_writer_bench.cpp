// Writer benchmark: a 1 000 000-row table (int identity primary key, two
// texts, a double, a currency, a date, a boolean and a short memo) written
// through the same calls the wizard makes; then read back with our reader
// and with mdb-export.
//   bench_access_writer [DIR] [ROWS]
// Prints rows per second, peak memory (ru_maxrss) and both read-back times.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "access/read/database.h"
#include "access/read/table.h"
#include "access/write/writer.h"

using namespace veltrano::access;
using veltrano::FieldValue;
using Clock = std::chrono::steady_clock;

static double seconds(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

static long peakKb() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    std::string file = dir + "/bench_writer.mdb";
    std::filesystem::remove(file);
    auto t0 = Clock::now();
    Status s = createDatabase(file);
    WriteConnection c;
    if (s.isOk()) s = c.open(file, "");
    if (s.isOk())
        s = c.execute("CREATE TABLE [bench]([id] identity,[name] varchar(50),[city] varchar(30),[amount] double,"
                      "[price] currency,[created] datetime,[active] bit,[note] memo,CONSTRAINT PrimaryKey primary key([id]));");
    if (!s.isOk()) {
        std::fprintf(stderr, "setup failed: %s\n", s.description().c_str());
        return 1;
    }
    auto a = c.openTableForAppend("bench");
    if (!a.isOk()) return 1;
    for (long i = 0; i < rows; ++i) {
        (void)a->addNew();
        (void)a->setField(1, FieldValue("Customer " + std::to_string(i)));
        (void)a->setField(2, FieldValue(i % 3 ? "Lisbon" : "Zürich"));
        (void)a->setField(3, FieldValue(i * 1.25));
        (void)a->setField(4, FieldValue(std::to_string(i % 10000) + ".25"));
        (void)a->setField(5, FieldValue::dateTime(40000 + i / 1000.0));
        (void)a->setField(6, FieldValue(i % 2 ? "1" : "0"));
        (void)a->setField(7, FieldValue("note " + std::to_string(i)));
        s = a->update();
        if (!s.isOk()) {
            std::fprintf(stderr, "row %ld: %s\n", i, s.description().c_str());
            return 1;
        }
    }
    s = a->close();
    if (s.isOk()) s = c.close();
    double writeSecs = seconds(t0);
    if (!s.isOk()) {
        std::fprintf(stderr, "close failed: %s\n", s.description().c_str());
        return 1;
    }
    std::printf("write: %ld rows in %.2f s = %.0f rows/s, file %.1f MB, peak memory %.1f MB\n", rows, writeSecs,
                rows / writeSecs, std::filesystem::file_size(file) / 1048576.0, peakKb() / 1024.0);

    // Our reader, alternately on the file and on a copy that says it is an
    // Access 2010 (.accdb) file: the same pages behind an ACE 14 header, as
    // an .accdb of the same table would hold them.
    const std::string aceFile = dir + "/bench_writer.accdb";
    std::filesystem::copy_file(file, aceFile, std::filesystem::copy_options::overwrite_existing);
    {
        std::fstream f(aceFile, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.write("Standard ACE DB", 15);
        f.seekp(0x14);
        f.put('\x03');
    }
    auto readAll = [](const std::string& path) {
        long n = 0;
        auto db = Database::open(path);
        if (db.isOk()) {
            auto cur = db.value()->openCursor("bench");
            if (cur.isOk())
                while (cur.value()->next()) ++n;
        }
        return n;
    };
    long readRows = 0, aceRows = 0;
    double mdbSecs = 1e9, aceSecs = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto t = Clock::now();
        readRows = readAll(file);
        mdbSecs = std::min(mdbSecs, seconds(t));
        t = Clock::now();
        aceRows = readAll(aceFile);
        aceSecs = std::min(aceSecs, seconds(t));
    }
    std::filesystem::remove(aceFile);
    std::printf("read back with our reader: %ld rows in %.2f s (best of 3)\n", readRows, mdbSecs);
    std::printf("read back as .accdb (ACE 14 header, same pages): %ld rows in %.2f s (best of 3), ratio %.2f\n",
                aceRows, aceSecs, aceSecs / mdbSecs);
    auto t2 = Clock::now();
    std::string cmd = "mdb-export '" + file + "' bench | wc -l";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[64] = {0};
    if (p && std::fgets(buf, sizeof buf, p)) {
    }
    if (p) pclose(p);
    std::printf("read back with mdb-export: %ld lines in %.2f s\n", std::atol(buf), seconds(t2));
    std::filesystem::remove(file);
    return readRows == rows && aceRows == rows ? 0 : 1;
}
