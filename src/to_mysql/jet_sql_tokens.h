// The tokens of Jet SQL text, for the translation to MySQL
// (jet_sql_translation.h). A text that cannot be split into tokens is
// refused by raising Refusal, which the translation catches.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrano::tomysql::jet_detail {

struct Refusal {
    std::string reason;
};

[[noreturn]] void refuse(std::string reason);

enum class Tok { End, Word, Name, String, Number, Date, Op };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // words and operators as written; names, strings, dates without their delimiters
};

std::string upper(std::string_view s);

// The tokens of `s`, ending with one End token: [names], "texts" and 'texts'
// (doubled quotes undone), #dates#, numbers (&H and &O ones as decimal
// digits), words and operators.
std::vector<Token> tokenize(std::string_view s);

}  // namespace veltrano::tomysql::jet_detail
