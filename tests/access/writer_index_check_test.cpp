// The index checker against files Access wrote: every index entry of every
// Jet 4 sample re-derived from its row must equal what Access stored. This
// is what vouches for our key encoding (numbers, dates, text collation).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "writer_check.h"

namespace {

const char* kJet4Samples[] = {"V2000_no-password.mdb", "adox_jet4.mdb", "compIndexTestV2000.mdb", "delColTestV2000.mdb",
                              "delTestV2000.mdb", "emptyV2000.mdb", "emptyV2003.mdb", "fixedNumericTestV2000.mdb",
                              "fixedTextTestV2000.mdb", "overflowTestV2000.mdb", "testV2000.mdb", "indexTestV2000.mdb",
                              "queryTestV2000.mdb"};

TEST(WriterIndexCheck, EveryIndexAccessWroteMatchesKeysDerivedFromItsRows) {
    std::string dir = writer_test::tempDir("index-check");
    int checked = 0;
    for (const char* name : kJet4Samples) {
        std::string copy = dir + "/" + name;
        ASSERT_TRUE(writer_test::copyFile(std::string(VELTRANO_TESTDATA_DIR) + "/" + name, copy));
        auto rep = writer_test::checkIndexes(copy, {}, false);
        for (const auto& p : rep.problems) ADD_FAILURE() << name << ": " << p;
        checked += rep.indexesChecked;
    }
    EXPECT_GT(checked, 150);
    std::printf("indexes checked: %d\n", checked);
}

}  // namespace
