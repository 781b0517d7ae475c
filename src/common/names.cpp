#include "common/names.h"

#include <cstdint>

namespace veltrano {

namespace {

// Next code point of `s` at `i`, advancing `i`. A byte that does not start
// a well-formed sequence is returned as a value above U+10FFFF, so that it
// equals only the same byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b = static_cast<uint8_t>(s[i]);
    const size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    const char32_t invalid = 0x110000 + b;
    if (len == 0 || len > s.size() - i) {
        ++i;
        return invalid;
    }
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < len; ++k) {
        const auto c = static_cast<uint8_t>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return invalid;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    return cp;
}

// Blocks where upper and lower case alternate: the upper-case letter sits
// at the even (or, with `oddUpper`, the odd) code point.
bool inPairedBlock(char32_t c, char32_t first, char32_t last, bool oddUpper) {
    return c >= first && c <= last && ((c & 1) != 0) == oddUpper;
}

}  // namespace

char32_t foldNameChar(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1
    if (c == 0x178) return 0xFF;                             // Y with diaeresis
    if (inPairedBlock(c, 0x100, 0x12F, false) || inPairedBlock(c, 0x132, 0x137, false) ||
        inPairedBlock(c, 0x139, 0x148, true) || inPairedBlock(c, 0x14A, 0x177, false) ||
        inPairedBlock(c, 0x179, 0x17E, true))
        return c + 1;  // Latin Extended-A (dotted and dotless i stay apart)
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c == 0x3C2) return 0x3C3;  // final sigma
    if (c >= 0x400 && c <= 0x40F) return c + 80;  // Cyrillic
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (inPairedBlock(c, 0x460, 0x481, false) || inPairedBlock(c, 0x48A, 0x4BF, false) ||
        inPairedBlock(c, 0x4D0, 0x52F, false))
        return c + 1;
    if (inPairedBlock(c, 0x4C1, 0x4CE, true)) return c + 1;
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x531 && c <= 0x556) return c + 48;  // Armenian
    if (inPairedBlock(c, 0x1E00, 0x1E95, false) || inPairedBlock(c, 0x1EA0, 0x1EFF, false))
        return c + 1;  // Latin Extended Additional (Vietnamese among others)
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    return c;
}

bool namesEqual(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (foldNameChar(nextCodePoint(a, i)) != foldNameChar(nextCodePoint(b, j))) return false;
    return i == a.size() && j == b.size();
}

std::string foldedName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    size_t i = 0;
    while (i < name.size()) {
        const size_t start = i;
        const char32_t cp = nextCodePoint(name, i);
        const char32_t folded = foldNameChar(cp);
        if (folded == cp) {
            out.append(name.substr(start, i - start));  // as it was, invalid bytes included
        } else if (folded < 0x80) {
            out += static_cast<char>(folded);
        } else if (folded < 0x800) {
            out += static_cast<char>(0xC0 | (folded >> 6));
            out += static_cast<char>(0x80 | (folded & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (folded >> 12));
            out += static_cast<char>(0x80 | ((folded >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (folded & 0x3F));
        }
    }
    return out;
}

}  // namespace veltrano
