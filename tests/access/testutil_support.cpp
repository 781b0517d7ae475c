// Helpers shared by the engine's tests; see testutil.h.
#include "testutil.h"

#include <dirent.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "access/storage/pager.h"

namespace veltrano::access::testing {

std::string sample(const std::string& name) { return std::string(VELTRANO_TESTDATA_DIR) + "/" + name; }

std::vector<std::string> allSamples() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(VELTRANO_TESTDATA_DIR))
        if (e.path().extension() == ".mdb") out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScratchDir::ScratchDir() {
    std::string base = std::string(VELTRANO_BINARY_DIR) + "/tests/scratch-XXXXXX";
    std::filesystem::create_directories(std::string(VELTRANO_BINARY_DIR) + "/tests");
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

Result<std::unique_ptr<Database>> openImage(std::vector<uint8_t> image, const OpenOptions& options) {
    return Database::openFile(newMemoryFile(std::move(image), true), options);
}

std::vector<uint8_t> pageOf(const std::vector<uint8_t>& image, uint32_t n, uint32_t pageSize) {
    std::vector<uint8_t> p(image.begin() + static_cast<std::ptrdiff_t>(n) * pageSize,
                           image.begin() + static_cast<std::ptrdiff_t>(n + 1) * pageSize);
    if (n == 0) applyHeaderMask(p, pageSize == 2048 ? Format::jet3() : Format::jet4());
    return p;
}

void putPage(std::vector<uint8_t>& image, uint32_t n, const std::vector<uint8_t>& page) {
    std::vector<uint8_t> p = page;
    if (n == 0) applyHeaderMask(p, p.size() == 2048 ? Format::jet3() : Format::jet4());
    std::copy(p.begin(), p.end(), image.begin() + static_cast<std::ptrdiff_t>(n) * static_cast<std::ptrdiff_t>(p.size()));
}

Status readEverything(Database& db) {
    for (const auto* t : db.userTables()) {
        auto def = db.tableDef(t->name);
        if (!def.isOk()) return def.status();
        auto cursor = db.openCursor(t->name);
        if (!cursor.isOk()) return cursor.status();
        while ((*cursor)->next()) {
        }
        if (!(*cursor)->status().isOk()) return (*cursor)->status();
    }
    return {};
}

std::string runCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

}  // namespace veltrano::access::testing
