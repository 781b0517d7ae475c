// Text sort keys in the "General" sort order of Access 2000 files (sort
// version 0, often called "General Legacy"), as they appear in index entries.
//
// Each character of U+0000..U+00FF has a class: simple (inline bytes),
// international (inline bytes plus one accent byte collected after the
// text), unprintable (no inline bytes; a position record after the text) or
// ignored. Characters above U+00FF are refused: their weights live in a
// 63 000-entry table we do not carry, and a guessed key would silently break
// the index for Access.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "access/base/status.h"

namespace veltrano::access {

// Appends the key bytes of `utf8` (without the leading flag byte) to `out`:
// at most the first 255 characters, trailing spaces removed; descending keys
// are inverted. NotSupported when a character lies above U+00FF.
Status appendGeneralTextKey(std::string_view utf8, bool ascending, std::string& out);

// True when every character of `utf8` can be put into a text key.
bool isIndexableText(std::string_view utf8);

// UTF-8 to code points (invalid bytes become U+FFFD).
std::u32string utf8ToCodePoints(std::string_view utf8);

}  // namespace veltrano::access
