// veltrano-cli export FILE TABLE [--db-password PW]: one table as CSV.
//
// RFC 4180 with LF line ends: a header line of column names, fields quoted
// with " when they hold a comma, quote, CR or LF (quotes doubled). NULL is an
// empty unquoted field and an empty text is "" so the two stay apart. Values
// in the engine's canonical text form (see access/value.h).
#include <charconv>
#include <cstdio>
#include <string_view>

#include "app/cli_access_file.h"
#include "common/field_value.h"

namespace veltrano::cli {

namespace {

bool needsQuotes(std::string_view text) {
    for (char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

void writeField(std::string& out, std::string_view text, bool forceQuotes) {
    if (!forceQuotes && !needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The value's canonical text; the common kinds are written in place, not
// made as a string first (this runs for every cell).
void writeValue(std::string& out, const access::Value& v) {
    using K = access::ValueKind;
    switch (v.kind) {
        case K::Text: writeField(out, v.bytes, v.bytes.empty()); return;
        case K::Byte:
        case K::Integer:
        case K::Long:
        case K::BigInt: {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, v.integer);
            out.append(buf, r.ptr);
            return;
        }
        case K::DateTime: appendCalendarText(out, oleDateToCalendar(v.real)); return;
        default: writeField(out, access::canonicalText(v), false);
    }
}

bool flushOut(std::string& out) {
    bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    out.clear();
    return ok;
}

int runExport(const std::vector<std::string>& args) {
    Options o = withAccessPassword(args, {}, {}, true);
    if (!o.ok()) return usageOrError(o);
    if (o.positional().size() != 2) return fail(kExitUsage, "usage: export FILE TABLE [--db-password PW]");
    int code = kExitOk;
    auto db = openAccessFile(o, o.positional()[0], code);
    if (!db) return code;
    auto cursor = db->openCursor(o.positional()[1]);
    if (!cursor.isOk()) return fail(kExitFailure, fileError(o.positional()[0], cursor.status().toString()));
    const auto& columns = (*cursor)->definition().columns;

    // Lines gather in one buffer written out a block at a time.
    constexpr size_t kBlock = 1 << 20;
    std::string out;
    out.reserve(kBlock + 4096);
    bool written = true;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        writeField(out, columns[i].name, false);
    }
    out += '\n';
    while ((*cursor)->next()) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i) out += ',';
            const access::Value& v = (*cursor)->value(i);
            if (!v.isNull()) writeValue(out, v);
        }
        out += '\n';
        if (out.size() >= kBlock) written = flushOut(out) && written;
    }
    written = flushOut(out) && written;
    written = std::fflush(stdout) == 0 && written;
    if (!(*cursor)->status().isOk())
        return fail(kExitFailure, fileError(o.positional()[0], (*cursor)->status().toString()));
    if (!written) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"export", "export FILE TABLE [PASSWORD OPTION]   print one table as CSV",
                            &runExport, kReadingPasswordHelp}};

}  // namespace

}  // namespace veltrano::cli
