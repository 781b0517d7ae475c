// veltrano-cli export FILE TABLE [--db-password PW]: one table as CSV.
//
// RFC 4180 with LF line ends: a header line of column names, fields quoted
// with " when they hold a comma, quote, CR or LF (quotes doubled). NULL is an
// empty unquoted field and an empty text is "" so the two stay apart. Values
// in the engine's canonical text form (see access/value.h).
#include <iostream>

#include "app/cli_access_file.h"

namespace veltrano::cli {

namespace {

void writeField(std::string& out, const std::string& text, bool forceQuotes) {
    bool quote = forceQuotes || text.find_first_of(",\"\r\n") != std::string::npos;
    if (!quote) {
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

    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) line += ',';
        writeField(line, columns[i].name, false);
    }
    line += '\n';
    std::cout << line;
    while ((*cursor)->next()) {
        line.clear();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i) line += ',';
            const access::Value& v = (*cursor)->value(i);
            if (v.isNull()) continue;
            writeField(line, access::canonicalText(v), v.kind == access::ValueKind::Text && v.bytes.empty());
        }
        line += '\n';
        std::cout << line;
    }
    std::cout.flush();
    if (!(*cursor)->status().isOk())
        return fail(kExitFailure, fileError(o.positional()[0], (*cursor)->status().toString()));
    if (!std::cout) return fail(kExitFailure, "cannot write the output");
    return kExitOk;
}

const Registrar kRegistrar{{"export", "export FILE TABLE [PASSWORD OPTION]   print one table as CSV",
                            &runExport, kReadingPasswordHelp}};

}  // namespace

}  // namespace veltrano::cli
