// FieldValue: the one variant value that crosses the program's layers.
//
// Values read from MySQL are only Empty, Null or Text; the Access engine and
// the pages also use Number, DateTime and Boolean. Text is UTF-8 bytes and may
// hold zero bytes. A DateTime is an OLE automation date: days since
// 1899-12-30, the time of day as the fraction (Access's own representation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace veltrano {

class FieldValue {
public:
    enum class Kind { Empty, Null, Text, Number, DateTime, Boolean };

    FieldValue() = default;  // Empty
    FieldValue(const char* text) : value_(std::string(text)) {}
    FieldValue(std::string text) : value_(std::move(text)) {}
    FieldValue(std::string_view text) : value_(std::string(text)) {}
    FieldValue(int number) : value_(static_cast<double>(number)) {}
    FieldValue(long number) : value_(static_cast<double>(number)) {}
    FieldValue(long long number) : value_(static_cast<double>(number)) {}
    FieldValue(double number) : value_(number) {}

    static FieldValue empty() { return FieldValue(); }
    static FieldValue null() {
        FieldValue v;
        v.value_ = NullTag{};
        return v;
    }
    static FieldValue text(std::string s) { return FieldValue(std::move(s)); }
    // Makes this the text t, reusing the memory of a text it holds.
    void assignText(std::string_view t) {
        if (auto* s = std::get_if<std::string>(&value_)) s->assign(t);
        else value_.emplace<std::string>(t);
    }
    static FieldValue number(double d) { return FieldValue(d); }
    static FieldValue dateTime(double oleDate) {
        FieldValue v;
        v.value_ = DateTag{oleDate};
        return v;
    }
    static FieldValue boolean(bool b) {
        FieldValue v;
        v.value_ = b;
        return v;
    }

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isText() const { return kind() == Kind::Text; }
    bool isNumber() const { return kind() == Kind::Number; }
    bool isDateTime() const { return kind() == Kind::DateTime; }
    bool isBoolean() const { return kind() == Kind::Boolean; }

    // REQUIRES: the matching kind.
    const std::string& asText() const { return std::get<std::string>(value_); }
    double asNumber() const { return std::get<double>(value_); }
    double asDateTime() const { return std::get<DateTag>(value_).oleDate; }
    bool asBoolean() const { return std::get<bool>(value_); }

    // The value as text the way a person would read it: Empty and Null give
    // "", numbers in their shortest exact form, booleans "True"/"False",
    // dates as "YYYY-MM-DD HH:MM:SS".
    std::string toDisplayText() const;

    // Structural equality: same kind and same contents.
    friend bool operator==(const FieldValue& a, const FieldValue& b) { return a.value_ == b.value_; }

private:
    struct EmptyTag {
        bool operator==(const EmptyTag&) const = default;
    };
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct DateTag {
        double oleDate = 0;
        bool operator==(const DateTag&) const = default;
    };
    std::variant<EmptyTag, NullTag, std::string, double, DateTag, bool> value_;
};

// Converts between OLE automation dates and calendar parts. Dates before
// 1899-12-30 are negative with a positive time fraction, as Access stores them.
struct CalendarTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};
CalendarTime oleDateToCalendar(double oleDate);
double calendarToOleDate(const CalendarTime& t);

// "YYYY-MM-DD HH:MM:SS", with ".fff" only when there are milliseconds.
std::string formatOleDate(double oleDate);
// The same text of calendar parts, appended; milliseconds are written only
// when asked for and not zero.
void appendCalendarText(std::string& out, const CalendarTime& t, bool milliseconds = true);

// The decimal digits of v (and its sign) written at `w`, as std::to_chars
// writes them; returns the end. `w` has room for kDecimalRoom chars, all of
// which may be written over. For writers of many numbers: two digits at a
// time.
constexpr size_t kDecimalRoom = 21;
char* writeDecimal(char* w, uint64_t v);
char* writeDecimal(char* w, int64_t v);

// formatOleDate's text written at a pointer, for writers that turn a date
// into text on every row: the last day's date text is kept, as
// neighbouring rows mostly share a day.
class OleDateWriter {
public:
    static constexpr size_t kRoom = 32;
    // Writes at `w`, which has room for kRoom chars; returns the end.
    char* write(char* w, double oleDate);

private:
    static char* writeInFull(char* w, double oleDate);

    long long day_ = 0;
    bool haveDay_ = false;
    char date_[11] = {};  // "YYYY-MM-DD "
};

}  // namespace veltrano
