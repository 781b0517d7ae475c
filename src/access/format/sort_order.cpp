// Character classes of the General sort order for U+0000..U+00FF. Entry
// format: a class letter, then hex bytes. "S<inline>", "I<inline>,<accent>",
// "U<code>", "X" (ignored). Two hex digits per byte; an odd count means a
// leading zero was dropped.
#include "access/format/sort_order.h"

#include <array>
#include <vector>

namespace veltrano::access {
namespace {

constexpr const char* kClasses[256] = {
    "X", "U3", "U4", "U5", "U6", "U7", "U8", "U9",  // 00
    "UA", "S803", "S804", "S805", "S806", "S807", "UB", "UC",  // 08
    "UD", "UE", "UF", "U10", "U11", "U12", "U13", "U14",  // 10
    "U15", "U16", "U17", "U18", "U19", "U1A", "U1B", "U1C",  // 18
    "S7", "S9", "SA", "SC", "SE", "S10", "S12", "U80",  // 20
    "S14", "S16", "S18", "S2C", "S1A", "U82", "S1C", "S1E",  // 28
    "S36", "S38", "S3A", "S3C", "S3E", "S40", "S42", "S44",  // 30
    "S46", "S48", "S20", "S22", "S2E", "S30", "S32", "S24",  // 38
    "S26", "S4A", "S4C", "S4D", "S4F", "S51", "S53", "S55",  // 40
    "S57", "S59", "S5B", "S5C", "S5E", "S60", "S62", "S64",  // 48
    "S66", "S68", "S69", "S6B", "S6D", "S6F", "S71", "S73",  // 50
    "S75", "S76", "S78", "S27", "S29", "S2A", "S2B02", "S2B03",  // 58
    "S2B07", "S4A", "S4C", "S4D", "S4F", "S51", "S53", "S55",  // 60
    "S57", "S59", "S5B", "S5C", "S5E", "S60", "S62", "S64",  // 68
    "S66", "S68", "S69", "S6B", "S6D", "S6F", "S71", "S73",  // 70
    "S75", "S76", "S78", "S2B09", "S2B0B", "S2B0D", "S2B0F", "U1D",  // 78
    "U1E", "U1F", "U20", "U21", "U22", "U23", "U24", "U25",  // 80
    "U26", "U27", "U28", "U29", "U2A", "U2B", "U2C", "U2D",  // 88
    "U2E", "U2F", "U30", "U31", "U32", "U33", "U34", "U35",  // 90
    "U36", "U37", "U38", "U39", "U3A", "U3B", "U3C", "U3D",  // 98
    "S802", "S2B10", "S34A6", "S34A7", "S34A8", "S34A9", "S2B11", "S34AA",  // A0
    "S2B12", "S34AB", "I4A,3", "S3305", "S34AC", "U83", "S34AD", "S2B13",  // A8
    "S34AE", "S3304", "S3A", "S3C", "S2B14", "S34AF", "S34B0", "S34B1",  // B0
    "S2B15", "S38", "I64,3", "S3307", "S3712", "S3716", "S371A", "S2B16",  // B8
    "I4A,F", "I4A,E", "I4A,12", "I4A,19", "I4A,13", "I4A,1A", "S4A51", "I4D,1C",  // C0
    "I51,F", "I51,E", "I51,12", "I51,13", "I59,F", "I59,E", "I59,12", "I59,13",  // C8
    "I4F,68", "I62,19", "I64,F", "I64,E", "I64,12", "I64,19", "I64,13", "S3309",  // D0
    "I64,21", "I6F,F", "I6F,E", "I6F,12", "I6F,13", "I76,E", "S6D57", "S6B6B",  // D8
    "I4A,F", "I4A,E", "I4A,12", "I4A,19", "I4A,13", "I4A,1A", "S4A51", "I4D,1C",  // E0
    "I51,F", "I51,E", "I51,12", "I51,13", "I59,F", "I59,E", "I59,12", "I59,13",  // E8
    "I4F,68", "I62,19", "I64,F", "I64,E", "I64,12", "I64,19", "I64,13", "S330A",  // F0
    "I64,21", "I6F,F", "I6F,E", "I6F,12", "I6F,13", "I76,E", "S6D57", "I76,13",  // F8
};

constexpr uint8_t kEndText = 0x01;
constexpr uint8_t kAccentPlaceholder = 0x02;
constexpr uint8_t kUnprintableMidfix = 0x06;
constexpr int kUnprintableStart = 7;
constexpr int kUnprintableStep = 4;
constexpr size_t kMaxIndexedChars = 255;

struct CharClass {
    char kind = 'X';
    std::string inlineBytes;
    uint8_t extra = 0;  // accent byte (I) or unprintable code (U)
};

std::string hexBytes(std::string_view hex) {
    std::string h(hex);
    if (h.size() % 2) h.insert(h.begin(), '0');
    std::string out;
    for (size_t i = 0; i < h.size(); i += 2) out.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

const std::array<CharClass, 256>& classes() {
    static const std::array<CharClass, 256> table = [] {
        std::array<CharClass, 256> t{};
        for (int i = 0; i < 256; ++i) {
            std::string_view s = kClasses[i];
            CharClass c;
            c.kind = s[0];
            std::string_view rest = s.substr(1);
            if (c.kind == 'S') {
                c.inlineBytes = hexBytes(rest);
            } else if (c.kind == 'I') {
                size_t comma = rest.find(',');
                c.inlineBytes = hexBytes(rest.substr(0, comma));
                c.extra = static_cast<uint8_t>(hexBytes(rest.substr(comma + 1))[0]);
            } else if (c.kind == 'U') {
                c.extra = static_cast<uint8_t>(hexBytes(rest)[0]);
            }
            t[i] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

std::u32string utf8ToCodePoints(std::string_view s) {
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            uint8_t c = static_cast<uint8_t>(s[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += len;
    }
    return out;
}

bool isIndexableText(std::string_view utf8) {
    for (char32_t c : utf8ToCodePoints(utf8))
        if (c > 0xFF) return false;
    return true;
}

Status appendGeneralTextKey(std::string_view utf8, bool ascending, std::string& out) {
    std::u32string text = utf8ToCodePoints(utf8);
    if (text.size() > kMaxIndexedChars) text.resize(kMaxIndexedChars);
    while (!text.empty() && text.back() == U' ') text.pop_back();
    for (char32_t c : text)
        if (c > 0xFF)
            return Status::notSupported("text with characters beyond Latin-1 cannot be put into an index key");

    const size_t start = out.size();
    std::string extras;        // accent bytes, one per inline character covered so far
    std::string unprintables;  // position records
    int inlineCount = 0;
    for (char32_t c : text) {
        const CharClass& cc = classes()[c];
        const int position = inlineCount;
        if (!cc.inlineBytes.empty()) {
            out += cc.inlineBytes;
            ++inlineCount;
        }
        if (cc.kind == 'I') {
            while (static_cast<int>(extras.size()) < position) extras.push_back(static_cast<char>(kAccentPlaceholder));
            extras.push_back(static_cast<char>(cc.extra));
        } else if (cc.kind == 'U') {
            // With Latin-1 only, the position counts the inline characters before it.
            int value = (kUnprintableStart + kUnprintableStep * position) | 0x8000;
            unprintables.push_back(static_cast<char>((value >> 8) & 0xFF));
            unprintables.push_back(static_cast<char>(value & 0xFF));
            unprintables.push_back(static_cast<char>(kUnprintableMidfix));
            unprintables.push_back(static_cast<char>(cc.extra));
        }
    }
    out.push_back(static_cast<char>(kEndText));
    while (!extras.empty() && static_cast<uint8_t>(extras.back()) <= kAccentPlaceholder) extras.pop_back();
    out += extras;
    if (!unprintables.empty()) {
        out.push_back(static_cast<char>(kEndText));
        out.push_back(static_cast<char>(kEndText));
        out.push_back(static_cast<char>(kEndText));
        out += unprintables;
    }
    if (!ascending) {
        out.push_back(0x00);
        for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~static_cast<uint8_t>(out[i]));
    }
    out.push_back(0x00);
    return Status::ok();
}

}  // namespace veltrano::access
