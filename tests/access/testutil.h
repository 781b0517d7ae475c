// Helpers shared by the engine's tests: the sample files, whole-file byte
// images, scratch folders, and opening images as in-memory databases.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "access/read/database.h"

namespace veltrano::access::testing {

// Path of a sample file in the shared test data folder.
std::string sample(const std::string& name);
// Every sample file name (sorted).
std::vector<std::string> allSamples();
std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A fresh empty folder under the build tree, removed by the destructor.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Result<std::unique_ptr<Database>> openImage(std::vector<uint8_t> image, const OpenOptions& options = {});

// Decoded page n of an image (header mask undone on page 0), and writing a
// decoded page back (mask re-applied). Images here are never encrypted.
std::vector<uint8_t> pageOf(const std::vector<uint8_t>& image, uint32_t n, uint32_t pageSize);
void putPage(std::vector<uint8_t>& image, uint32_t n, const std::vector<uint8_t>& page);

// Reads every cell of every user table; returns the first failure.
Status readEverything(Database& db);

// Output of a shell command (empty when it cannot run).
std::string runCommand(const std::string& command);

}  // namespace veltrano::access::testing
