// Limits of the on-disk structures, shared by the reader and the writer.
// A file that exceeds a structural cap is damaged (or made to attack a
// reader); the caps are generous next to what Access itself writes.
#pragma once

#include <cstddef>

namespace veltrano::access::limits {

// Structural caps against corrupt files.
constexpr size_t kMaxTdefPages = 512;     // pages of one table definition chain
constexpr size_t kMaxColumns = 4096;      // column blocks, counting deleted ones
constexpr size_t kMaxIndexes = 1024;      // real or logical indexes of one table
constexpr int kMaxOverflowHops = 64;      // a moved row's pointer chain
constexpr size_t kMaxRowsPerPage = 255;   // row slots one data page holds

// What Access lets a table have.
constexpr size_t kMaxLiveColumns = 255;
constexpr size_t kMaxIndexColumns = 10;   // column slots of an index block

}  // namespace veltrano::access::limits
