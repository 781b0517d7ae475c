// Text as Jet stores it, to and from UTF-8.
//
// Jet4: UCS-2 little-endian; a value may be "compressed": it starts FF FE and
// then alternates between one-byte characters (U+0000..U+00FF) and raw UCS-2,
// a 0x00 byte at a character boundary switching mode. Jet3: single-byte text
// in the database code page (header 0x3C), decoded with iconv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "access/base/coding.h"

namespace veltrano::access {

// UTF-16LE (surrogate pairs joined; lone surrogates become U+FFFD) to UTF-8.
std::string utf16leToUtf8(Bytes data);
// Jet4 stored text (compressed or plain) to UTF-8.
std::string decodeJet4Text(Bytes stored);
// The same into `out`, whose buffer is reused.
void decodeJet4TextInto(Bytes stored, std::string& out);
// The same written at `w`, which has room for three bytes per stored byte;
// returns the end of what was written.
char* writeJet4TextUtf8(char* w, Bytes stored);
// Single-byte code-page text to UTF-8. Bytes the code page does not define,
// or an unknown code page, fall back to Latin-1 for that byte.
std::string decodeCodePage(Bytes data, uint16_t codePage);

// UTF-8 to UTF-16LE (invalid UTF-8 bytes become U+FFFD).
std::string utf8ToUtf16le(std::string_view utf8);
// The same into `out`, whose buffer is reused.
void utf8ToUtf16leInto(std::string_view utf8, std::string& out);
// UTF-8 to the code page (characters it cannot hold become '?').
std::string encodeCodePage(std::string_view utf8, uint16_t codePage);

}  // namespace veltrano::access
