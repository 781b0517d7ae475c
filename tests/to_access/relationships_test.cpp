// MySQL foreign keys carried into an Access file as relationships by a real
// run, read back by our reader and by mdbtools.
#include <gtest/gtest.h>

#include <algorithm>

#include "access/read/database.h"
#include "access/read/relationships.h"
#include "common/conversion_session.h"
#include "mysql/mysql_connection.h"
#include "to_access/conversion_run.h"
#include "tova_support.h"

namespace veltrano::tatest {
namespace {

TEST(ForeignKeysToRelationships, CarriedEnforcedOrNamed) {
    if (!testLogin()) GTEST_SKIP() << "no test server (run through scripts/test)";
    resetSession();
    ScratchDatabase db("fkrel");
    db.exec("CREATE TABLE notes (id INT PRIMARY KEY)");
    // The key refers to a plain index; Access needs the primary key, whose order differs.
    db.exec("CREATE TABLE customers (region CHAR(2), num INT, PRIMARY KEY (region, num), KEY by_num (num, region))");
    db.exec("CREATE TABLE orders (id INT PRIMARY KEY, region CHAR(2), cust INT, note_id INT, "
            "CONSTRAINT order_customer FOREIGN KEY (cust, region) REFERENCES customers (num, region) "
            "ON UPDATE CASCADE ON DELETE CASCADE, CONSTRAINT order_note FOREIGN KEY (note_id) REFERENCES notes (id))");
    db.exec("CREATE TABLE details (id INT PRIMARY KEY, order_id INT, parent_id INT, "
            "CONSTRAINT line_order FOREIGN KEY (order_id) REFERENCES orders (id) ON DELETE SET NULL, "
            "CONSTRAINT detail_parent FOREIGN KEY (parent_id) REFERENCES details (id))");
    // A table of the same name in another database is not the converted one.
    ScratchDatabase elsewhere("fkrel_other");
    elsewhere.exec("CREATE TABLE customers (region CHAR(2), num INT, PRIMARY KEY (region, num))");
    db.exec("CREATE TABLE extras (id INT PRIMARY KEY, order_id INT, far_region CHAR(2), far_num INT, "
            "CONSTRAINT extra_order FOREIGN KEY (order_id) REFERENCES orders (id), CONSTRAINT extra_far FOREIGN KEY "
            "(far_region, far_num) REFERENCES `" + elsewhere.name() + "`.customers (region, num))");
    // Keys match as MySQL's collation matches them: 'US' is the customer 'us'.
    db.exec("INSERT INTO customers VALUES ('EU', 1), ('us', 2)");
    db.exec("INSERT INTO orders VALUES (1, 'EU', 1, NULL), (2, 'US', 2, NULL), (3, NULL, 7, NULL)");
    db.exec("INSERT INTO details VALUES (1, 1, NULL), (2, NULL, 1)");
    // A row that lost its order while the checks were off.
    db.exec("SET FOREIGN_KEY_CHECKS = 0");
    db.exec("INSERT INTO extras VALUES (1, 1, NULL, NULL), (2, 9, NULL, NULL)");
    db.exec("SET FOREIGN_KEY_CHECKS = 1");

    ScratchFolder folder;
    const std::string file = folder.file("fk.mdb");
    prepareSession(db.name(), {"customers", "orders", "details", "extras"}, file);
    MYSQL_CONNECTION source;
    ASSERT_TRUE(openConnection(source));
    ScriptedHost host;
    toaccess::ConversionRun run(session(), source, host);
    ASSERT_EQ(run.run({}), toaccess::RunOutcome::Finished);

    std::vector<std::string> named;
    for (const auto& n : session().notCarried) named.push_back(n.table + ": " + n.item + ": " + n.reason);
    auto named_ = [&](const std::string& start) {
        return std::any_of(named.begin(), named.end(), [&](const std::string& n) { return n.rfind(start, 0) == 0; });
    };
    EXPECT_TRUE(named_("orders: foreign key order_note (note_id) to notes (id): the table it refers to, notes, was not converted"));
    EXPECT_TRUE(named_("extras: foreign key extra_order (order_id) to orders (id): the Access file refused the relationship: 1 record(s)"));
    EXPECT_TRUE(named_("extras: foreign key extra_far (far_region,far_num) to " + elsewhere.name() +
                       ".customers (region,num): the table it refers to"));
    EXPECT_FALSE(named_("orders: foreign key order_customer"));
    EXPECT_FALSE(named_("details: foreign key line_order"));

    auto read = access::Database::open(file);
    ASSERT_TRUE(read.isOk()) << read.status().description();
    auto rels = access::readRelationships(**read);
    ASSERT_TRUE(rels.isOk()) << rels.status().description();
    ASSERT_EQ(rels->size(), 3u);
    auto relationship = [&](const std::string& name) {
        auto at = std::find_if(rels->begin(), rels->end(), [&](const access::Relationship& r) { return r.name == name; });
        return at == rels->end() ? access::Relationship{} : *at;
    };
    const access::Relationship customer = relationship("customersorders");
    const access::Relationship line = relationship("ordersdetails");
    const access::Relationship parent = relationship("detailsdetails");
    EXPECT_EQ(customer.flags, 0x1100u);  // cascade update and delete
    EXPECT_EQ(customer.referencingTable, "orders");
    EXPECT_EQ(customer.referencedTable, "customers");
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(customer.columns, (Pairs{{"region", "region"}, {"cust", "num"}}));  // in the key's order
        EXPECT_EQ(line.flags, 0x2000u);  // deleting an order clears the details' key
    EXPECT_EQ(line.columns, (Pairs{{"order_id", "id"}}));
    EXPECT_EQ(parent.referencingTable, "details");
    EXPECT_EQ(parent.referencedTable, "details");
    EXPECT_EQ(parent.columns, (Pairs{{"parent_id", "id"}}));

    // The foreign-key indexes of both sides name each other.
    auto orders = (*read)->tableDef("orders");
    auto customers = (*read)->tableDef("customers");
    ASSERT_TRUE(orders.isOk() && customers.isOk());
    auto fkIndex = [](const access::TableDef& t, const std::string& name) -> const access::LogicalIndexDef* {
        for (const auto& l : t.logicalIndexes)
            if (l.name == name && l.isForeignKey()) return &l;
        return nullptr;
    };
    const access::LogicalIndexDef* many = fkIndex(**orders, "customersorders");
    const access::LogicalIndexDef* one = fkIndex(**customers, ".rC");
    ASSERT_TRUE(many && one);
    EXPECT_EQ(many->relatedTableType, 2);
    EXPECT_EQ(one->relatedTableType, 1);
    EXPECT_EQ(static_cast<uint32_t>(many->relatedIndex), one->number);
    EXPECT_EQ(static_cast<uint32_t>(one->relatedIndex), many->number);
    EXPECT_EQ(many->relatedTablePage, (*customers)->pages.front());
    EXPECT_EQ(one->relatedTablePage, (*orders)->pages.front());
    EXPECT_EQ(many->cascadeUpdate, 1);
    EXPECT_EQ(one->cascadeDelete, 1);
    ASSERT_LT(many->realIndex, (*orders)->realIndexes.size());
    EXPECT_EQ((*orders)->realIndexes[many->realIndex].columns.size(), 2u);
    // A table that refers to itself holds both indexes.
    auto details = (*read)->tableDef("details");
    ASSERT_TRUE(details.isOk());
    const access::LogicalIndexDef* child = fkIndex(**details, "detailsdetails");
    ASSERT_TRUE(child);
    const access::LogicalIndexDef* own = nullptr;
    for (const auto& l : (*details)->logicalIndexes)
        if (l.isForeignKey() && l.number == static_cast<uint32_t>(child->relatedIndex)) own = &l;
    ASSERT_TRUE(own);
    EXPECT_EQ(own->relatedTableType, 1);
    EXPECT_EQ(static_cast<uint32_t>(own->relatedIndex), child->number);
    EXPECT_EQ(own->relatedTablePage, (*details)->pages.front());

    // mdbtools reads the same rows, one per column pair.
    int status = 0;
    std::string rows = shell("mdb-export -H '" + file + "' MSysRelationships 2>&1", &status);
    if (status == 0) {
        for (const char* row : {"\"customersorders\",4352,2,0,\"orders\",\"region\",\"customers\",\"region\"",
                                "\"customersorders\",4352,2,1,\"orders\",\"cust\",\"customers\",\"num\"",
                                "\"ordersdetails\",8192,1,0,\"details\",\"order_id\",\"orders\",\"id\"",
                                "\"detailsdetails\",0,1,0,\"details\",\"parent_id\",\"details\",\"id\""})
            EXPECT_NE(rows.find(row), std::string::npos) << row << "\n" << rows;
        // Each is a catalog object under the Relationships container.
        std::string objects = shell("mdb-export -H '" + file + "' MSysObjects 2>&1");
        EXPECT_NE(objects.find("-2147483648,251658243,\"customersorders\",8,"), std::string::npos);
        std::string schema = shell("mdb-schema '" + file + "' mysql 2>&1");
        EXPECT_NE(schema.find("FOREIGN KEY (`cust`) REFERENCES `customers`(`num`) ON UPDATE CASCADE ON DELETE CASCADE;"),
                  std::string::npos) << schema;
    }
}

}  // namespace
}  // namespace veltrano::tatest
