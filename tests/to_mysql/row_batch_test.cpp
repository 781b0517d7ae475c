// The batches' fallback against a stand-in server that refuses what each
// case chooses.
#include "to_mysql/row_batch.h"

#include <gtest/gtest.h>

namespace veltrano::tomysql {
namespace {

// Refuses any statement holding one of `poison`, and LOAD DATA when told to.
class StandInServer : public BatchServer {
public:
    std::vector<std::string> poison;
    bool refuseLoad = false;
    std::vector<std::string> statements;
    int loads = 0;
    std::string lastLoadTail;

    int32_t execute(const std::string& sql) override {
        statements.push_back(sql);
        for (const auto& p : poison)
            if (sql.find(p) != std::string::npos) return last_ = 1366;
        return last_ = 0;
    }
    int32_t loadLocal(const std::string& tail, const std::string&, int64_t&, std::string&) override {
        ++loads;
        lastLoadTail = tail;
        return last_ = refuseLoad ? 1148 : 1366;
    }
    std::string errorText() const override { return "refused " + std::to_string(last_); }
    bool connectionLost() const override { return false; }
    int64_t countRows(const std::string&) override { return -1; }
    bool inTransaction() const override { return true; }

private:
    int32_t last_ = 0;
};

class Outcome : public BatchListener {
public:
    int64_t storedRows = 0;
    std::vector<std::pair<int64_t, std::string>> refusals;
    std::string undone;
    void stored(int64_t rows) override { storedRows += rows; }
    void refused(int64_t record, const std::string& reason) override { refusals.emplace_back(record, reason); }
    int64_t storedSoFar() const override { return storedRows; }
    void rolledBack(const std::string& reason) override {
        undone = reason;
        storedRows = 0;
    }
};

class OneRow : public SourceRows {
public:
    std::vector<std::string> names{"t"};
    FieldValue v;
    const std::vector<std::string>& columnNames() const override { return names; }
    bool next() override { return true; }
    const FieldValue& value(size_t) const override { return v; }
};

BatchTarget textTable(size_t packetLimit = 0) {
    BatchTarget t;
    t.table = "t";
    t.quotedTable = "`t`";
    t.packetLimit = packetLimit;
    t.forms = {ValueForm::Text};
    t.sourceField = {0};
    t.columnNames = {"t"};
    return t;
}

TEST(RowBatch, ARefusedBatchIsSentAgainRowByRowNamingEachRefusedRecord) {
    StandInServer server;
    server.poison = {"'bad'"};
    Outcome outcome;
    const BatchTarget target = textTable();
    InsertBatch batch(server, outcome, target);
    OneRow row;
    int64_t record = 0;
    for (const char* text : {"a", "bad", "c", "bad"}) {
        row.v = FieldValue::text(text);
        batch.add(++record, row);
    }
    batch.send();
    EXPECT_EQ(outcome.storedRows, 2);
    ASSERT_EQ(outcome.refusals.size(), 2u);
    EXPECT_EQ(outcome.refusals[0], std::make_pair(int64_t{2}, std::string("refused 1366")));
    EXPECT_EQ(outcome.refusals[1].first, 4);
    // One multi-row statement, then one per row.
    EXPECT_EQ(server.statements.size(), 5u);
    EXPECT_TRUE(batch.empty());
}

TEST(RowBatch, LoadDataRefusedByTheServerFallsBackToInsertsForGood) {
    StandInServer server;
    server.refuseLoad = true;
    Outcome outcome;
    const BatchTarget target = textTable();
    LoadDataBatch batch(server, outcome, target);
    OneRow row;
    row.v = FieldValue::text("x\ty\\z");
    batch.add(1, row);
    batch.add(2, row);
    batch.send();
    // Queued while the first batch was loading: it must follow it as INSERTs.
    row.v = FieldValue::text("later");
    batch.add(3, row);
    batch.flush();
    EXPECT_TRUE(batch.refusedOutright());
    EXPECT_EQ(server.loads, 1);
    // It was asked into the table itself, its name quoted once.
    EXPECT_EQ(server.lastLoadTail.rfind("INTO TABLE `t` ", 0), 0u) << server.lastLoadTail;
    EXPECT_EQ(outcome.storedRows, 3);
    EXPECT_TRUE(outcome.refusals.empty());
    // The rows went as one INSERT with the value restored from its escaped
    // line, after the failed load was undone to its savepoint.
    ASSERT_GE(server.statements.size(), 4u);
    EXPECT_EQ(server.statements[0], "SAVEPOINT veltrano_batch");
    EXPECT_EQ(server.statements[1], "ROLLBACK TO SAVEPOINT veltrano_batch");
    EXPECT_NE(server.statements[2].find("INSERT INTO `t` VALUES"), std::string::npos);
    EXPECT_NE(server.statements[2].find("X'"), std::string::npos);  // backslash: sent as bytes
    EXPECT_NE(server.statements.back().find("'later'"), std::string::npos);
}

TEST(RowBatch, ALoadWhoseTransactionTheServerDroppedIsNotSentAgain) {
    StandInServer server;
    server.poison = {"ROLLBACK TO SAVEPOINT"};
    Outcome outcome;
    outcome.storedRows = 5;  // stored earlier in the same transaction
    const BatchTarget target = textTable();
    LoadDataBatch batch(server, outcome, target);
    OneRow row;
    row.v = FieldValue::text("a");
    batch.add(1, row);
    batch.send();
    batch.add(2, row);
    batch.flush();
    EXPECT_TRUE(batch.rolledBack());
    EXPECT_EQ(outcome.undone, "refused 1366");  // the load's own error, not the savepoint's
    EXPECT_EQ(outcome.storedRows, 0);
    EXPECT_TRUE(outcome.refusals.empty());
    for (const auto& sql : server.statements) EXPECT_EQ(sql.find("INSERT"), std::string::npos) << sql;
    EXPECT_EQ(server.loads, 1);
}

TEST(RowBatch, ARowTooBigForThePacketIsRefusedByNameAndNothingIsSent) {
    StandInServer server;
    Outcome outcome;
    const BatchTarget target = textTable(64 * 1024);
    OneRow row;
    row.v = FieldValue::text(std::string(100 * 1024, 'a'));
    InsertBatch inserts(server, outcome, target);
    inserts.add(7, row);
    LoadDataBatch loads(server, outcome, target);
    loads.add(8, row);
    EXPECT_TRUE(inserts.empty());
    EXPECT_TRUE(loads.empty());
    ASSERT_EQ(outcome.refusals.size(), 2u);
    EXPECT_EQ(outcome.refusals[0].first, 7);
    EXPECT_EQ(outcome.refusals[1].first, 8);
    EXPECT_NE(outcome.refusals[0].second.find("max_allowed_packet"), std::string::npos);
    EXPECT_TRUE(server.statements.empty());
}

}  // namespace
}  // namespace veltrano::tomysql
