// Text sort keys in the "General" sort order of Access 2000 files (sort
// version 0, often called "General Legacy"), as they appear in index entries.
//
// Keys are built from UTF-16 units, each with a class: simple (inline
// bytes), international (inline bytes plus bytes for an extra list written
// after the text, mostly accents), unprintable (no inline bytes; a position
// record after the text), ignored, and above U+00FF also modifiers (change
// the extra list's last byte) and flagged internationals (also leave a 2-bit
// flag in a section of their own). The first level ignores case and accents:
// "abc" and "ABC" have one key in a unique index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "access/base/status.h"

namespace veltrano::access {

// Appends the key bytes of `utf8` (without the leading flag byte) to `out`:
// at most the first 255 UTF-16 units, trailing spaces removed; descending
// keys are inverted. Every text has a key.
Status appendGeneralTextKey(std::string_view utf8, bool ascending, std::string& out);

// UTF-8 to code points (invalid bytes become U+FFFD).
std::u32string utf8ToCodePoints(std::string_view utf8);

}  // namespace veltrano::access
