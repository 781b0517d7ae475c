// Access files made by our writer, holding values and definitions at the
// edges of what MySQL takes, converted against the throwaway server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "access/provider/provider.h"
#include "access/write/writer.h"
#include "common/conversion_session.h"
#include "mysql/sql_text.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/provider_source.h"
#include "to_mysql/run_support.h"
#include "to_mysql/value_text.h"

namespace veltrano::tomysql {
namespace {

namespace fs = std::filesystem;

class Fidelity : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::testServer()) GTEST_SKIP() << "VELTRANO_TEST_MYSQL_HOST/PORT not set";
        resetSession();
        dir_ = fs::temp_directory_path() / ("vt_fidelity_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "edges.mdb").string();
        ASSERT_TRUE(access::createDatabase(path_).isOk());
        ASSERT_TRUE(test::openTestConnection(mysql_));
        db_ = test::uniqueName("fid");
    }
    void TearDown() override {
        if (!db_.empty()) test::dropDatabase(db_);
        fs::remove_all(dir_);
        resetSession();
    }

    void write(const std::string& create, const std::vector<std::vector<FieldValue>>& rows,
               const std::vector<access::ObjectProperties>& properties = {},
               const std::vector<std::string>& indexes = {}) {
        access::WriteConnection w;
        ASSERT_TRUE(w.open(path_, "").isOk());
        access::Status st = properties.empty() ? w.execute(create) : w.execute(create, properties);
        ASSERT_TRUE(st.isOk()) << st.description();
        for (const auto& index : indexes) {
            st = w.execute(index);
            ASSERT_TRUE(st.isOk()) << index << ": " << st.description();
        }
        std::string table = create.substr(create.find('[') + 1);
        table = table.substr(0, table.find(']'));
        auto app = w.openTableForAppend(table);
        ASSERT_TRUE(app.isOk()) << app.status().description();
        for (const auto& row : rows) {
            ASSERT_TRUE(app->addNew().isOk());
            for (size_t i = 0; i < row.size(); ++i) {
                access::Status f = app->setField(static_cast<int>(i), row[i]);
                ASSERT_TRUE(f.isOk()) << i << ": " << f.description();
            }
            access::Status u = app->update();
            ASSERT_TRUE(u.isOk()) << u.description();
        }
        ASSERT_TRUE(app->close().isOk());
        ASSERT_TRUE(w.close().isOk());
    }

    RunOutcome convert(bool loadData = true) {
        access::Connection cnn;
        EXPECT_TRUE(cnn.open(accessConnectionString(path_, false, "")).isOk());
        ProviderSource source(cnn);
        ConversionSession& s = session();
        s.typeNames = source.typeNames();
        EXPECT_TRUE(buildDefinitions(s, source, *source.tableNames()).isOk());
        ConversionRun run(s, mysql_, source, host_);
        run.useLoadData = loadData;
        TargetChoice target;
        target.newName = db_;
        return run.convert(target);
    }

    std::string cell(const std::string& sql) { return test::scalar(mysql_, "SELECT " + sql); }
    std::vector<std::string> notCarried() {
        std::vector<std::string> out;
        for (const auto& n : session().notCarried) out.push_back(n.table + "/" + n.item);
        return out;
    }

    fs::path dir_;
    std::string path_, db_;
    MYSQL_CONNECTION mysql_;
    test::ScriptedHost host_;
};

TEST_F(Fidelity, BigBinaryValuesArriveWhole) {
    std::string pic(120 * 1024, '\0'), big(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<char>(i * 7 % 251);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13 % 253);
    write("CREATE TABLE [Pics]([id] long,[pic] longbinary);",
          {{FieldValue(1), FieldValue::text(pic)}, {FieldValue(2), FieldValue::text(big)}});
    for (bool load : {true, false}) {
        SCOPED_TRACE(load ? "LOAD DATA" : "INSERT");
        ASSERT_EQ(convert(load), RunOutcome::Completed);
        EXPECT_EQ(cell("DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA='" + db_ + "' AND COLUMN_NAME='pic'"),
                  "longblob");
        EXPECT_EQ(cell("GROUP_CONCAT(LENGTH(pic), ':', MD5(pic) ORDER BY id) FROM `" + db_ + "`.Pics"),
                  std::to_string(pic.size()) + ":" + cell("MD5(" + sqlBinaryLiteral(pic) + ")") + "," +
                      std::to_string(big.size()) + ":" + cell("MD5(" + sqlBinaryLiteral(big) + ")"));
        EXPECT_EQ(session().refusedRows.size(), 0u);
        test::dropDatabase(db_);
    }
}

TEST_F(Fidelity, ValuesAtTheEdgesArriveExactlyOrAreRefusedByName) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // 2000-01-01 23:59:59.600 rounds up into the next day, as Access shows it.
    const double lateMs = 36526.0 + (86399.6 / 86400.0);
    write("CREATE TABLE [Edges]([id] long,[s] single,[d] datetime,[t] text(20),[c] currency,[x] decimal(28,0),"
          "[y] byte);",
          {{FieldValue(1), FieldValue(3.4028234663852886e38), FieldValue::dateTime(lateMs),
            FieldValue::text(std::string("a\0b", 3)), FieldValue::text("922337203685477.5807"),
            FieldValue::text("9999999999999999999999999999"), FieldValue(255)},
           {FieldValue(2), FieldValue(-1.17549435e-38), FieldValue::dateTime(-500000.0), FieldValue::null(),
            FieldValue::text("-922337203685477.5808"), FieldValue::text("-9999999999999999999999999999"),
            FieldValue(0)},
           {FieldValue(3), FieldValue(0.1), FieldValue::null(), FieldValue::null(),
            FieldValue::text("-922337203685477.5808"), FieldValue::text("-9999999999999999999999999999"),
            FieldValue(0)}});
    EXPECT_EQ(convert(), RunOutcome::Completed);
    const std::string t = "`" + db_ + "`.Edges";
    EXPECT_EQ(test::rows(mysql_, "SELECT id, s, d, HEX(t), c, x, y FROM " + t + " ORDER BY id"),
              (std::vector<std::string>{"1|3.40282e38|2000-01-02 00:00:00|610062|922337203685477.5807|"
                                        "9999999999999999999999999999|255",
                                        "3|0.1|<NULL>|<NULL>|-922337203685477.5808|-9999999999999999999999999999|0"}));
    // A date of year 531 is refused with its reason, not sent as another date.
    ASSERT_EQ(session().refusedRows.size(), 1u);
    EXPECT_EQ(session().refusedRows[0].recordNumber, 2);
    EXPECT_NE(session().refusedRows[0].reason.find("column d: the date 0531-01-16 00:00:00 lies outside"), std::string::npos)
        << session().refusedRows[0].reason;
    // MySQL has no NaN or infinity: such a Single or Double is refused, never sent as NULL.
    for (const char* text : {"nan", "-inf", "inf"})
        EXPECT_EQ(unsendableReason(FieldValue::text(text), ValueForm::Plain), std::string("MySQL has no value for ") + text);
    EXPECT_NE(unsendableReason(FieldValue(nan), ValueForm::Plain), "");
    EXPECT_NE(unsendableReason(FieldValue(-inf), ValueForm::Plain), "");
}

TEST_F(Fidelity, DefaultsWideTablesAndWhatTheReportNames) {
    auto property = [](const std::string& column, const std::string& text) {
        return access::ObjectProperties{
            column, {{"DefaultValue", access::Value::ofBytes(access::ValueKind::Text, text), 1}}};
    };
    write("CREATE TABLE [Defaults]([d] datetime,[n] datetime,[t] text(20),[m] memo,[b] bit,[f] double,[g] double);",
          {{FieldValue(1)}},
          {property("d", "#1/31/2000#"), property("n", "=Now()"), property("t", "\"say \"\"hi\"\"\""),
           property("m", "\"memo\""), property("b", "Yes"), property("f", "[g]*2"), property("g", "Date()")});
    // February 30th reads as a date but the server refuses it: the table is
    // made without its defaults rather than not at all.
    write("CREATE TABLE [BadDefault]([e] datetime,[k] double);", {{FieldValue::null(), FieldValue(1)}},
          {property("e", "#2/30/2000#"), property("k", "3")});
    std::string wide = "CREATE TABLE [Wide](";
    std::vector<FieldValue> row;
    for (int i = 1; i <= 70; ++i) {
        wide += std::string(i > 1 ? "," : "") + "[c" + std::to_string(i) + "] text(255)";
        row.push_back(FieldValue::text("v" + std::to_string(i)));
    }
    write(wide + ");", {row});

    ASSERT_EQ(convert(), RunOutcome::Completed);
    mysql_.Execute("INSERT INTO `" + db_ + "`.Defaults (f) VALUES (1)");
    ASSERT_EQ(mysql_.Error().Number(), 0) << mysql_.Error().Description();
    EXPECT_EQ(test::rows(mysql_, "SELECT d, n IS NOT NULL, t, m, b, g FROM `" + db_ + "`.Defaults WHERE f = 1"),
              (std::vector<std::string>{"2000-01-31 00:00:00|1|say \"hi\"|memo|1|<NULL>"}));
    EXPECT_EQ(cell("COUNT(*) FROM `" + db_ + "`.Wide WHERE c70 = 'v70'"), "1");
    EXPECT_EQ(cell("COUNT(*) FROM `" + db_ + "`.BadDefault"), "1");
    std::vector<std::string> named = notCarried();
    EXPECT_NE(std::find(named.begin(), named.end(), "Defaults/default of column f"), named.end());
    EXPECT_NE(std::find(named.begin(), named.end(), "Defaults/default of column g"), named.end());
    EXPECT_NE(std::find(named.begin(), named.end(), "BadDefault/default of column e"), named.end());
    EXPECT_NE(std::find(named.begin(), named.end(), "BadDefault/default of column k"), named.end());
    EXPECT_EQ(std::count_if(named.begin(), named.end(), [](const std::string& n) { return n.rfind("Wide/column", 0) == 0; }),
              6);
    EXPECT_EQ(session().refusedRows.size(), 0u);
}

TEST_F(Fidelity, UniqueTextKeysKeepEveryRowAccessHeldApart) {
    write("CREATE TABLE [Keys]([id] long,[w] text(20),[k] text(20));",
          {{FieldValue(1), FieldValue::text("resume"), FieldValue::text("a")},
           {FieldValue(2), FieldValue::text("r\xC3\xA9sum\xC3\xA9"), FieldValue::text("b")},
           {FieldValue(3), FieldValue::text("other"), FieldValue::text("c")}},
          {}, {"CREATE UNIQUE INDEX ByWord ON [Keys]([w]);", "CREATE UNIQUE INDEX ByCode ON [Keys]([k]);"});
    ASSERT_EQ(convert(), RunOutcome::Completed);
    EXPECT_EQ(session().refusedRows.size(), 0u);
    EXPECT_EQ(cell("COUNT(*) FROM `" + db_ + "`.Keys"), "3");
    const std::string stats = "FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = '" + db_ + "' AND INDEX_NAME = ";
    const std::string collation = "COLLATION_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" + db_ +
                                  "' AND COLUMN_NAME = ";
    // resume and résumé stay two keys: the column compares accents; others keep the default.
    EXPECT_EQ(cell("NON_UNIQUE " + stats + "'ByWord'"), "0");
    EXPECT_NE(cell(collation + "'w'"), cell("@@collation_server"));
    EXPECT_EQ(cell("NON_UNIQUE " + stats + "'ByCode'"), "0");
    EXPECT_EQ(cell(collation + "'k'"), cell("DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" + db_ + "'"));
    EXPECT_EQ(notCarried(), std::vector<std::string>{"Keys/column w"});
}

}  // namespace
}  // namespace veltrano::tomysql
