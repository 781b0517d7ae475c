// Text conversions; see text.h for the stored forms.
#include "access/format/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace veltrano::access {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Invalid input gives U+FFFD.
uint32_t nextUtf8(std::string_view s, size_t& i) {
    auto b = static_cast<uint8_t>(s[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < len; ++k) {
        auto c = static_cast<uint8_t>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

std::string codePageName(uint16_t codePage) {
    if (codePage == 0) return "CP1252";
    return "CP" + std::to_string(codePage);
}

// iconv descriptors are not thread-safe; one mutex guards the small cache.
struct IconvCache {
    std::mutex mutex;
    std::map<std::pair<std::string, std::string>, iconv_t> handles;
    ~IconvCache() {
        for (auto& [k, h] : handles)
            if (h != reinterpret_cast<iconv_t>(-1)) iconv_close(h);
    }
    iconv_t get(const std::string& to, const std::string& from) {
        auto key = std::make_pair(to, from);
        auto it = handles.find(key);
        if (it != handles.end()) return it->second;
        iconv_t h = iconv_open(to.c_str(), from.c_str());
        handles.emplace(key, h);
        return h;
    }
};

IconvCache& iconvCache() {
    static IconvCache cache;
    return cache;
}

}  // namespace

namespace {

// Writes UTF-16LE code units as UTF-8 at w (room for 3 bytes per unit) and
// returns the end. A lone surrogate becomes U+FFFD.
char* writeUtf16le(char* w, const uint8_t* p, size_t units) {
    for (size_t i = 0; i < units; ++i) {
        // Four ASCII characters at a time while they last.
        while (i + 4 <= units) {
            uint64_t four;
            std::memcpy(&four, p + 2 * i, 8);
            if ((four & 0xFF80FF80FF80FF80ull) != 0) break;
            w[0] = static_cast<char>(p[2 * i]);
            w[1] = static_cast<char>(p[2 * i + 2]);
            w[2] = static_cast<char>(p[2 * i + 4]);
            w[3] = static_cast<char>(p[2 * i + 6]);
            w += 4;
            i += 4;
        }
        if (i >= units) break;
        uint32_t u = p[2 * i] | (p[2 * i + 1] << 8);
        if (u < 0x80) {
            *w++ = static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t lo = p[2 * i + 2] | (p[2 * i + 3] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        if (u < 0x800) {
            *w++ = static_cast<char>(0xC0 | (u >> 6));
        } else if (u < 0x10000) {
            *w++ = static_cast<char>(0xE0 | (u >> 12));
            *w++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        } else {
            *w++ = static_cast<char>(0xF0 | (u >> 18));
            *w++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *w++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        }
        *w++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    return w;
}

}  // namespace

// Texts are decoded for every cell read, so both forms are written straight
// into the result rather than character by character.
std::string utf16leToUtf8(Bytes data) {
    const size_t units = data.size() / 2;
    std::string out(units * 3, '\0');
    char* end = writeUtf16le(out.data(), data.data(), units);
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

std::string decodeJet4Text(Bytes stored) {
    std::string out;
    decodeJet4TextInto(stored, out);
    return out;
}

void decodeJet4TextInto(Bytes stored, std::string& out) {
    out.resize(stored.size() * 3);
    char* end = writeJet4TextUtf8(out.data(), stored);
    out.resize(static_cast<size_t>(end - out.data()));
}

char* writeJet4TextUtf8(char* w, Bytes stored) {
    const bool compressedForm = stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE;
    if (!compressedForm) return writeUtf16le(w, stored.data(), stored.size() / 2);
    // Compressed: runs of one byte per character (the high byte is zero)
    // and runs of plain UCS-2, a zero at a character boundary switching.
    bool compressed = true;
    size_t i = 2;
    while (i < stored.size()) {
        if (compressed) {
            size_t end = i;
            while (end < stored.size() && stored[end] != 0) ++end;
            for (; i < end; ++i) {
                uint8_t b = stored[i];
                if (b < 0x80) {
                    *w++ = static_cast<char>(b);
                } else {
                    *w++ = static_cast<char>(0xC0 | (b >> 6));
                    *w++ = static_cast<char>(0x80 | (b & 0x3F));
                }
            }
        } else {
            size_t end = i;
            while (end + 1 < stored.size() && stored[end] != 0) end += 2;
            w = writeUtf16le(w, stored.data() + i, (end - i) / 2);
            i = end;
        }
        if (i < stored.size()) {
            if (stored[i] == 0) {
                compressed = !compressed;
                ++i;
            } else {
                break;  // a dangling half character
            }
        }
    }
    return w;
}

std::string decodeCodePage(Bytes data, uint16_t codePage) {
    std::string out;
    bool ascii = true;
    for (uint8_t b : data) ascii = ascii && b < 0x80;
    if (ascii) return std::string(data.begin(), data.end());

    auto& cache = iconvCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    iconv_t h = cache.get("UTF-8", codePageName(codePage));
    out.reserve(data.size() * 2);
    for (size_t i = 0; i < data.size(); ++i) {
        uint8_t b = data[i];
        if (b < 0x80 || h == reinterpret_cast<iconv_t>(-1)) {
            appendUtf8(out, b);
            continue;
        }
        // One byte at a time: every supported Jet3 code page here is single-byte.
        char in[1] = {static_cast<char>(b)};
        char buf[8];
        char* inp = in;
        size_t inLeft = 1;
        char* outp = buf;
        size_t outLeft = sizeof buf;
        iconv(h, nullptr, nullptr, nullptr, nullptr);
        if (iconv(h, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            appendUtf8(out, b);
        else
            out.append(buf, static_cast<size_t>(outp - buf));
    }
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    utf8ToUtf16leInto(utf8, out);
    return out;
}

void utf8ToUtf16leInto(std::string_view utf8, std::string& out) {
    out.clear();
    size_t i = 0;
    // ASCII runs, the bulk of most text, widen without decoding.
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
    out.resize(2 * i);
    for (size_t k = 0; k < i; ++k) {
        out[2 * k] = utf8[k];
        out[2 * k + 1] = '\0';
    }
    if (i == utf8.size()) return;
    out.reserve(utf8.size() * 2);
    while (i < utf8.size()) {
        uint32_t cp = nextUtf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            uint32_t hi = 0xD800 + (cp >> 10), lo = 0xDC00 + (cp & 0x3FF);
            out.push_back(static_cast<char>(hi & 0xFF));
            out.push_back(static_cast<char>(hi >> 8));
            out.push_back(static_cast<char>(lo & 0xFF));
            out.push_back(static_cast<char>(lo >> 8));
        } else {
            out.push_back(static_cast<char>(cp & 0xFF));
            out.push_back(static_cast<char>(cp >> 8));
        }
    }
}

std::string encodeCodePage(std::string_view utf8, uint16_t codePage) {
    std::string out;
    auto& cache = iconvCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    iconv_t h = cache.get(codePageName(codePage), "UTF-8");
    size_t i = 0;
    while (i < utf8.size()) {
        size_t start = i;
        uint32_t cp = nextUtf8(utf8, i);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char buf[8];
        char* inp = const_cast<char*>(utf8.data() + start);
        size_t inLeft = i - start;
        char* outp = buf;
        size_t outLeft = sizeof buf;
        bool ok = h != reinterpret_cast<iconv_t>(-1) && cp != 0xFFFD;
        if (ok) {
            iconv(h, nullptr, nullptr, nullptr, nullptr);
            ok = iconv(h, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
                 outp - buf == 1;
        }
        out.push_back(ok ? buf[0] : '?');
    }
    return out;
}

}  // namespace veltrano::access
