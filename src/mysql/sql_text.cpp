#include "mysql/sql_text.h"

namespace veltrano {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendHex(std::string& out, std::string_view bytes) {
    out += "X'";
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    out += '\'';
}

}  // namespace

std::string sqlIdentifier(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out += '`';
    for (char c : name) {
        if (c == '`') out += '`';
        out += c;
    }
    out += '`';
    return out;
}

void appendSqlTextLiteral(std::string& out, std::string_view utf8) {
    // A backslash means an escape unless NO_BACKSLASH_ESCAPES is set, so text
    // holding one cannot be written as '...' the same way in every mode; a
    // zero byte would cut statements handed around as C strings.
    if (utf8.find('\\') != std::string_view::npos || utf8.find('\0') != std::string_view::npos) {
        out += "_utf8mb4 ";
        appendHex(out, utf8);
        return;
    }
    out += '\'';
    for (char c : utf8) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
}

void appendSqlBinaryLiteral(std::string& out, std::string_view bytes) { appendHex(out, bytes); }

std::string sqlTextLiteral(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    appendSqlTextLiteral(out, utf8);
    return out;
}

std::string sqlBinaryLiteral(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2 + 3);
    appendHex(out, bytes);
    return out;
}

std::string loadDataTail(std::string_view table, std::string_view columnList) {
    std::string out = "INTO TABLE " + sqlIdentifier(table) +
                      " CHARACTER SET utf8mb4 FIELDS TERMINATED BY X'09' ENCLOSED BY ''"
                      " ESCAPED BY X'5C' LINES TERMINATED BY X'0A'";
    if (!columnList.empty()) {
        out += ' ';
        out += columnList;
    }
    return out;
}

void appendLoadDataValue(std::string& out, std::string_view bytes) {
    // Runs without a byte to escape are copied whole: most values have none.
    size_t run = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char escaped;
        switch (bytes[i]) {
            case '\\': escaped = '\\'; break;
            case '\t': escaped = 't'; break;
            case '\n': escaped = 'n'; break;
            case '\r': escaped = 'r'; break;
            case '\0': escaped = '0'; break;
            default: continue;
        }
        out.append(bytes.data() + run, i - run);
        out += '\\';
        out += escaped;
        run = i + 1;
    }
    out.append(bytes.data() + run, bytes.size() - run);
}

void appendLoadDataNull(std::string& out) { out += "\\N"; }

}  // namespace veltrano
