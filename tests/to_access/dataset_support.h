// The MySQL test database every end-to-end test of this direction converts:
// every column type the type map names and several it does not, NULLs, zero
// dates, TIME values, Unicode text, names with blanks and brackets, and
// composite, unique and plain keys. Beside it, what the .mdb must hold.
#pragma once

#include <string>
#include <vector>

#include "to_access/tova_support.h"

namespace veltrano::tatest {

// MySQL table names of the dataset, in the order they are converted.
inline const std::vector<std::string> kDatasetTables = {"all types", "keys [test]", "empty one"};
// ... and as the .mdb names them.
inline const std::vector<std::string> kDatasetAccessTables = {"all types", "keys _test_", "empty one"};
inline constexpr int64_t kDatasetRows = 7;

// Creates the tables and rows in `db`.
void createDataset(ScratchDatabase& db);

// The canonical CSV each Access table must read as (by Access table name).
std::string expectedCsv(const std::string& accessTable);

// Writes <dir>/<access table>.csv for every table of the dataset.
void writeExpectedCsv(const std::string& dir);

// Column types (adox codes) and indexes the .mdb must have.
TableShape expectedShape(const std::string& accessTable);

// All checks of a converted dataset file: tables, shapes, every cell through
// our reader and mdb-reader, and the three-reader comparison.
void expectDatasetFile(const std::string& file);

}  // namespace veltrano::tatest
