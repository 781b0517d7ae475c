// How object names (tables, columns, indexes, fields) compare: the way
// Access compares them, ignoring case across Latin, Greek, Cyrillic and
// Armenian letters, not only ASCII. Both directions and both engines use
// this one rule, so a name one side treats as taken the other does too.
#pragma once

#include <string>
#include <string_view>

namespace veltrano {

// The lower-case partner of a letter (itself for anything else).
char32_t foldNameChar(char32_t c);

// Equality of two UTF-8 names, ignoring case. Bytes that are not valid
// UTF-8 compare as themselves.
bool namesEqual(std::string_view a, std::string_view b);

// The name with every letter folded as namesEqual folds it: a key under
// which names that namesEqual calls equal meet.
std::string foldedName(std::string_view name);

}  // namespace veltrano
