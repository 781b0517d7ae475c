// libFuzzer target: any bytes as an Access file, opened and read through the
// same paths the batch tool and the wizard use. Must end every input with
// success or an error: no crash, no sanitizer report, no runaway memory.
//
// Build: CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVELTRANO_FUZZ=ON
//        cmake --build build-fuzz --target access_read_fuzzer
// Run:   build-fuzz/access_read_fuzzer -max_len=262144 CORPUS_DIR ../shared/testdata/mdb ../shared/testdata/accdb
// (the .accdb seeds reach the encryption header, complex columns and
// compressed attachments; the password below opens the encrypted one).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "access/read/database.h"
#include "access/provider/provider.h"

using namespace veltrano::access;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    // Whole pages only, so the fuzzer spends its time past the size check.
    size_t page = size > 0x14 && data[0x14] == 0 ? 2048 : 4096;
    if (image.size() % page) image.resize(image.size() + page - image.size() % page, 0);
    OpenOptions options;
    options.password = "password";
    auto db = Database::openFile(newMemoryFile(std::move(image), true), options);
    if (!db.isOk()) return 0;
    for (const auto* t : (*db)->userTables()) {
        auto def = (*db)->tableDef(t->name);
        if (!def.isOk()) continue;
        auto cursor = (*db)->openCursor(t->name);
        if (!cursor.isOk()) continue;
        size_t rows = 0;
        while ((*cursor)->next() && ++rows < 100000) {
            for (const auto& v : (*cursor)->values()) (void)canonicalText(v);
        }
        // Complex values and memo histories by name (a history is named after its memo).
        for (const auto& c : (*def)->columns) (void)(*db)->complexValues(t->name, c.name);
    }
    return 0;
}
