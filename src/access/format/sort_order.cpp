// Character codes of the General sort order. Entry format: a class letter,
// then hex bytes: "S<inline>", "I<inline>,<extra>", "U<code>", "X" (ignored),
// and above U+00FF also "P<modifier>" and "Z<inline>,<extra>,<flag>". Two hex
// digits per byte; an odd count means a leading zero was dropped. The table
// below covers U+0000..U+00FF; sort_order_table.cpp holds the rest.
#include "access/format/sort_order.h"

#include <algorithm>
#include <array>
#include <vector>

#include "access/format/sort_order_table.h"

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
constexpr uint8_t kExtraPlaceholder = 0x02;
constexpr uint8_t kUnprintableMidfix = 0x06;
constexpr int kUnprintableStart = 7;
constexpr int kUnprintableStep = 4;
constexpr size_t kMaxIndexedUnits = 255;
// Z characters each leave a 2-bit flag; trailing "clear" flags are dropped,
// the rest packed three to a byte under kFlagByteBase.
constexpr uint8_t kFlagSet = 2, kFlagClear = 3, kFlagByteBase = 0x80;
constexpr uint8_t kFlagSectionEnd[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr uint8_t kFlagsBeforeUnprintables = 0xFF;

struct CharCode {
    char kind = 'X';
    std::string inlineBytes;
    std::string extraBytes;  // I and Z: bytes for the extra list; U: the record's code; P: the modifier
    uint8_t flag = 0;        // Z: kFlagSet or kFlagClear
};

std::string hexBytes(std::string_view hex) {
    std::string h(hex);
    if (h.size() % 2) h.insert(h.begin(), '0');
    std::string out;
    for (size_t i = 0; i < h.size(); i += 2) out.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

CharCode parseEntry(std::string_view entry) {
    CharCode c;
    c.kind = entry[0];
    std::string_view fields[3];
    std::string_view rest = entry.substr(1);
    for (int f = 0; f < 3; ++f) {
        size_t comma = rest.find(',');
        fields[f] = rest.substr(0, comma);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    switch (c.kind) {
        case 'S':
            c.inlineBytes = hexBytes(fields[0]);
            break;
        case 'I':
        case 'Z':
            c.inlineBytes = hexBytes(fields[0]);
            c.extraBytes = hexBytes(fields[1]);
            if (c.kind == 'Z') c.flag = fields[2] == "1" ? kFlagSet : kFlagClear;
            break;
        case 'U':
        case 'P':
            c.extraBytes = hexBytes(fields[0]);
            break;
        default:
            break;
    }
    return c;
}

const std::array<CharCode, 256>& latin1Codes() {
    static const std::array<CharCode, 256> table = [] {
        std::array<CharCode, 256> t{};
        for (size_t i = 0; i < t.size(); ++i) t[i] = parseEntry(kClasses[i]);
        return t;
    }();
    return table;
}

// The first entry of every run of sort_order_table.cpp, parsed once.
const std::vector<CharCode>& runCodes() {
    static const std::vector<CharCode> codes = [] {
        std::vector<CharCode> c;
        c.reserve(kSortCodeRunCount);
        for (size_t i = 0; i < kSortCodeRunCount; ++i) c.push_back(parseEntry(kSortCodeRuns[i].entry));
        return c;
    }();
    return codes;
}

void addBigEndian(std::string& bytes, uint32_t n) {
    for (size_t i = bytes.size(); i-- > 0 && n;) {
        n += static_cast<uint8_t>(bytes[i]);
        bytes[i] = static_cast<char>(n & 0xFF);
        n >>= 8;
    }
}

// Each half of a surrogate pair sorts as a character of its own: two inline
// bytes from its value and the extra byte 0x3F. The low half's offset steps
// down by two every 254 values.
CharCode surrogateCode(char16_t unit) {
    uint32_t value = unit;
    if (unit < 0xDC00) {
        value -= 10238;
    } else {
        uint32_t k = unit - 0xDC00u;
        value -= k < 8 ? 9992 : k < 262 ? 9990 : k < 516 ? 9988 : k < 770 ? 9986 : 9984;
    }
    CharCode c;
    c.kind = 'I';
    c.inlineBytes = {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
    c.extraBytes = "\x3F";
    return c;
}

// The code of one UTF-16 unit; `scratch` holds it when it is not a stored entry.
const CharCode& codeOf(char16_t unit, const std::array<CharCode, 256>& latin1, CharCode& scratch) {
    if (unit < 0x100) return latin1[unit];
    if (unit >= 0xD800 && unit <= 0xDFFF) return scratch = surrogateCode(unit);
    const SortCodeRun* end = kSortCodeRuns + kSortCodeRunCount;
    const SortCodeRun* run =
        std::upper_bound(kSortCodeRuns, end, unit, [](char16_t u, const SortCodeRun& r) { return u < r.first; }) - 1;
    const CharCode& first = runCodes()[static_cast<size_t>(run - kSortCodeRuns)];
    if (run->step == 0 || unit == run->first) return first;
    scratch = first;
    addBigEndian(scratch.inlineBytes, unit - run->first);
    return scratch;
}

// Calls `visit` with each code point of `s`; invalid bytes become U+FFFD.
template <class Visit>
void forEachCodePoint(std::string_view s, Visit&& visit) {
    size_t i = 0;
    while (i < s.size()) {
        uint8_t b = static_cast<uint8_t>(s[i]);
        if (b < 0x80) {
            visit(static_cast<char32_t>(b));
            ++i;
            continue;
        }
        int len = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len != 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            uint8_t c = static_cast<uint8_t>(s[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        visit(ok ? cp : 0xFFFD);
        i += ok ? len : 1;
    }
}

// UTF-8 to UTF-16 units, into `out` (cleared first).
void toUtf16(std::string_view utf8, std::u16string& out) {
    out.clear();
    forEachCodePoint(utf8, [&](char32_t c) {
        if (c > 0x10FFFF) c = 0xFFFD;
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
    });
}

// The extra list: bytes collected after the text, one group per inline
// character from the first that needs one (earlier ones get a placeholder).
struct ExtraList {
    bool started = false;
    std::string bytes;
    int charsCovered = 0;  // inline characters the list accounts for
    int modifierPrefix = 0;  // 1 when the list began with a bare modifier

    void padTo(int position) {
        started = true;
        if (charsCovered < position) {
            bytes.append(static_cast<size_t>(position - charsCovered), static_cast<char>(kExtraPlaceholder));
            charsCovered = position;
        }
    }
    void add(const std::string& extra, int position) {
        padTo(position);
        bytes += extra;
        ++charsCovered;
    }
    // A modifier changes the last byte rather than adding a character.
    void modify(uint8_t modifier, int position) {
        padTo(position);
        if (bytes.empty()) {
            bytes.push_back(static_cast<char>(modifier));
            modifierPrefix = 1;
        } else {
            bytes.back() = static_cast<char>(static_cast<uint8_t>(bytes.back()) + modifier);
        }
    }
    // Where an unprintable character at inline `position` is recorded.
    int unprintablePosition(int position) const {
        if (!started) return position;
        return static_cast<int>(bytes.size()) + (position - charsCovered) - modifierPrefix;
    }
};

void appendFlagSection(std::string flags, std::string& out) {
    while (!flags.empty() && static_cast<uint8_t>(flags.back()) == kFlagClear) flags.pop_back();
    for (size_t i = 0; i < flags.size(); i += 3) {
        uint8_t b = kFlagByteBase;
        for (size_t k = 0; k < 3 && i + k < flags.size(); ++k)
            b = static_cast<uint8_t>(b | (static_cast<uint8_t>(flags[i + k]) << (4 - 2 * k)));
        out.push_back(static_cast<char>(b));
    }
    out.append(reinterpret_cast<const char*>(kFlagSectionEnd), sizeof(kFlagSectionEnd));
}

}  // namespace

std::u32string utf8ToCodePoints(std::string_view utf8) {
    std::u32string out;
    forEachCodePoint(utf8, [&](char32_t c) { out.push_back(c); });
    return out;
}

Status appendGeneralTextKey(std::string_view utf8, bool ascending, std::string& out) {
    // Access indexes the first 255 UTF-16 units of a value, without trailing blanks.
    thread_local std::u16string text;  // keeps its buffer from key to key
    toUtf16(utf8, text);
    if (text.size() > kMaxIndexedUnits) text.resize(kMaxIndexedUnits);
    while (!text.empty() && text.back() == u' ') text.pop_back();

    const size_t start = out.size();
    ExtraList extras;
    std::string unprintables;  // position records
    std::string flags;         // one per Z character
    CharCode scratch;
    const auto& latin1 = latin1Codes();
    int inlineCount = 0;
    for (char16_t unit : text) {
        const CharCode& cc = codeOf(unit, latin1, scratch);
        const int position = inlineCount;
        if (!cc.inlineBytes.empty()) {
            out += cc.inlineBytes;
            ++inlineCount;
        }
        switch (cc.kind) {
            case 'S':
                break;
            case 'I':
            case 'Z':
                if (!cc.extraBytes.empty()) extras.add(cc.extraBytes, position);
                if (cc.kind == 'Z') flags.push_back(static_cast<char>(cc.flag));
                break;
            case 'P':
                if (cc.extraBytes[0] != 0) extras.modify(static_cast<uint8_t>(cc.extraBytes[0]), position);
                break;
            case 'U': {
                const int value = (kUnprintableStart + kUnprintableStep * extras.unprintablePosition(position)) | 0x8000;
                unprintables.push_back(static_cast<char>((value >> 8) & 0xFF));
                unprintables.push_back(static_cast<char>(value & 0xFF));
                unprintables.push_back(static_cast<char>(kUnprintableMidfix));
                unprintables += cc.extraBytes;
                break;
            }
            default:
                break;
        }
    }
    out.push_back(static_cast<char>(kEndText));
    std::string& extraBytes = extras.bytes;
    while (!extraBytes.empty() && static_cast<uint8_t>(extraBytes.back()) <= kExtraPlaceholder) extraBytes.pop_back();
    out += extraBytes;
    if (!flags.empty() || !unprintables.empty()) {
        out.push_back(static_cast<char>(kEndText));
        out.push_back(static_cast<char>(kEndText));
        if (!flags.empty()) {
            appendFlagSection(std::move(flags), out);
            if (!unprintables.empty()) out.push_back(static_cast<char>(kFlagsBeforeUnprintables));
        }
        if (!unprintables.empty()) {
            out.push_back(static_cast<char>(kEndText));
            out += unprintables;
        }
    }
    if (!ascending) {
        out.push_back(0x00);
        for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~static_cast<uint8_t>(out[i]));
    }
    out.push_back(0x00);
    return Status::ok();
}

}  // namespace veltrano::access
