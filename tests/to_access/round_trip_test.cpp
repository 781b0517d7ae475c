// Each sample Access file to MySQL (veltrano-cli to-mysql) and back to a new
// .mdb (veltrano-cli to-access): every table arrives with the same cells.
// Rows may come back in another order (MySQL returns them by key), so the
// rows are compared as sorted lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "to_access/tova_support.h"

namespace veltrano::tatest {
namespace {

namespace fs = std::filesystem;

std::string cli() { return std::string(VELTRANO_BINARY_DIR) + "/veltrano-cli"; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// Header first, then the rows sorted. Cells holding line breaks span lines;
// sorting lines keeps such tables comparable all the same.
std::vector<std::string> sortedExport(const std::string& file, const std::string& table, const std::string& pw) {
    std::string cmd = quoted(cli()) + " export " + quoted(file) + " " + quoted(table);
    if (!pw.empty()) cmd += " --password " + quoted(pw);
    std::vector<std::string> l = lines(shell(cmd + " 2>&1"));
    if (l.size() > 1) std::sort(l.begin() + 1, l.end());
    return l;
}

TEST(RoundTrip, EverySampleTableComesBackWithItsCells) {
    if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
    if (!fs::exists(cli())) GTEST_SKIP() << "veltrano-cli not built";
    const Login* l = testLogin();
    ScratchFolder folder;
    MYSQL_CONNECTION admin;
    ASSERT_TRUE(openConnection(admin));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(VELTRANO_TESTDATA_DIR)) {
        if (entry.path().extension() != ".mdb") continue;
        const std::string source = entry.path().string();
        const std::string stem = entry.path().stem().string();
        const std::string pw = stem.find("with-password") != std::string::npos ? "password" : "";
        std::string db = "vt_ta_rt_" + std::to_string(files++);
        admin.Execute("DROP DATABASE IF EXISTS `" + db + "`");
        const std::string login = " --host " + quoted(l->host) + " --port " + std::to_string(l->port) +
                                  " --user " + quoted(l->user) + " --password-env VT_PW";
        const std::string env = "VT_PW=" + quoted(l->password) + " ";
        int status = -1;
        std::string out = shell(env + quoted(cli()) + " to-mysql " + quoted(source) + login + " --database " + db +
                                    (pw.empty() ? "" : " --db-password " + pw) + " 2>&1 >/dev/null",
                                &status);
        EXPECT_EQ(status, 0) << stem << ": " << out;
        const std::string back = folder.file(stem + ".mdb");
        out = shell(env + quoted(cli()) + " to-access" + login + " --database " + db + " " + quoted(back) +
                        " 2>&1 >/dev/null",
                    &status);
        EXPECT_EQ(status, 0) << stem << ": " << out;
        admin.Execute("DROP DATABASE IF EXISTS `" + db + "`");

        std::vector<std::string> tables = lines(shell(quoted(cli()) + " tables " + quoted(source) +
                                                      (pw.empty() ? "" : " --password " + pw) + " 2>/dev/null"));
        std::vector<std::string> arrived = tablesOf(back);
        for (const std::string& t : tables) {
            ASSERT_NE(std::find(arrived.begin(), arrived.end(), t), arrived.end()) << stem << " " << t;
            EXPECT_EQ(sortedExport(back, t, ""), sortedExport(source, t, pw)) << stem << " " << t;
        }
    }
    EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace veltrano::tatest
