// Splitting Jet SQL into tokens; see jet_sql_tokens.h.
#include "to_mysql/jet_sql_tokens.h"

#include <cctype>

namespace veltrano::tomysql::jet_detail {

void refuse(std::string reason) { throw Refusal{std::move(reason)}; }

namespace {

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

}  // namespace

std::string upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        Token t;
        if (c == '[') {
            size_t end = s.find(']', i);
            if (end == std::string_view::npos) refuse("a bracketed name is not closed");
            t.kind = Tok::Name;
            t.text = std::string(s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            t.kind = Tok::String;
            ++i;
            for (;;) {
                if (i >= s.size()) refuse("a text literal is not closed");
                if (s[i] == static_cast<char>(c)) {
                    if (i + 1 < s.size() && s[i + 1] == static_cast<char>(c)) {
                        t.text += s[i];
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i++];
            }
        } else if (c == '#') {
            size_t end = s.find('#', i + 1);
            if (end == std::string_view::npos) refuse("a date literal is not closed");
            t.kind = Tok::Date;
            t.text = std::string(s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '&' && i + 1 < s.size() && (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o') &&
                   i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            const bool hex = s[i + 1] == 'H' || s[i + 1] == 'h';
            size_t j = i + 2;
            while (j < s.size() && std::isxdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j - i - 2 > 15) refuse("the number " + std::string(s.substr(i, j - i)) + " is too large");
            long long v = std::stoll(std::string(s.substr(i + 2, j - i - 2)), nullptr, hex ? 16 : 8);
            t.kind = Tok::Number;
            t.text = std::to_string(v);
            i = j;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            size_t j = i;
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            if (j < s.size() && s[j] == '.') {
                ++j;
                while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            }
            if (j < s.size() && (s[j] == 'E' || s[j] == 'e')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
                    j = k;
                    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
                }
            }
            t.kind = Tok::Number;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else if (isWordChar(c)) {
            size_t j = i;
            while (j < s.size() && isWordChar(static_cast<unsigned char>(s[j]))) ++j;
            t.kind = Tok::Word;
            t.text = std::string(s.substr(i, j - i));
            i = j;
        } else {
            t.kind = Tok::Op;
            std::string_view two = s.substr(i, 2);
            if (two == "<>" || two == "<=" || two == ">=") {
                t.text = std::string(two);
                i += 2;
            } else if (std::string_view("=<>+-*/\\^&(),.!;").find(static_cast<char>(c)) != std::string_view::npos) {
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            } else {
                refuse(std::string("the character '") + static_cast<char>(c) + "' is not understood");
            }
        }
        out.push_back(std::move(t));
    }
    out.push_back(Token{});
    return out;
}


}  // namespace veltrano::tomysql::jet_detail
