// Status and Result<T>: how every fallible call in the engine reports failure.
//
// No exception leaves src/access. A Status carries a category (what kind of
// failure, used by callers to pick a reaction), an HRESULT-style code (the
// numbers the wizard pages tell apart), a description for people, and the
// page number involved when the failure concerns a page of the file.
//
// The engine lives in veltrano::access rather than a top-level `access`:
// POSIX declares a global function access() in <unistd.h>, and a namespace
// of the same name at global scope cannot coexist with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace veltrano::access {

enum class Category {
    Ok,
    InvalidArgument,  // caller's mistake: bad name, bad connection text
    NotFound,         // no such table / column / file
    NotSupported,     // a valid file or feature we do not handle (.accdb, complex columns)
    Corruption,       // the file contradicts the format; never trusted further
    IoError,          // the operating system refused a read/write/lock
    WrongPassword,    // database password wrong or missing
    InUse,            // another process holds the file or a live lock file
    BadCommand,       // command text we cannot parse or run; also "table exists"
    Internal,         // a state the engine should never reach
};

// The codes callers distinguish.
constexpr uint32_t kCodeWrongPassword = 0x80040E4D;
constexpr uint32_t kCodeUnspecified = 0x80004005;  // also "file in use / locked"
constexpr uint32_t kCodeBadCommand = 0x80040E14;
// Write failures the pages and the batch tool name in words. Their category
// is IoError (a write failed and the change was undone); the code says why.
// The numbers are the HRESULTs Windows gives for the same conditions.
constexpr uint32_t kCodeDiskFull = 0x80070070;      // ERROR_DISK_FULL
constexpr uint32_t kCodeFileTooLarge = 0x800700DF;  // ERROR_FILE_TOO_LARGE
constexpr uint32_t kCodeReadOnly = 0x80070013;      // ERROR_WRITE_PROTECT

class [[nodiscard]] Status {
public:
    Status() = default;  // success

    static Status ok() { return Status(); }
    static Status make(Category c, std::string description, int64_t page = -1) {
        Status s;
        s.category_ = c;
        s.description_ = std::move(description);
        s.page_ = page;
        return s;
    }
    static Status invalidArgument(std::string d) { return make(Category::InvalidArgument, std::move(d)); }
    static Status notFound(std::string d) { return make(Category::NotFound, std::move(d)); }
    static Status notSupported(std::string d) { return make(Category::NotSupported, std::move(d)); }
    static Status corruption(std::string d, int64_t page = -1) {
        return make(Category::Corruption, std::move(d), page);
    }
    // Any other refusal of the operating system; `d` carries its own words.
    static Status ioError(std::string d) { return make(Category::IoError, std::move(d)); }
    // No room left for the file (a full disk, a quota, a size limit of the OS).
    static Status diskFull() { return ioErrorWithCode(kCodeDiskFull, "The disk is full"); }
    // The format's own limit: a Jet 4 file holds at most 2^31 bytes.
    static Status fileTooLarge() { return ioErrorWithCode(kCodeFileTooLarge, "An Access file cannot grow past 2 GB"); }
    // The file or its folder may not be written (read-only mount, permissions).
    static Status readOnly() { return ioErrorWithCode(kCodeReadOnly, "The destination is read-only"); }
    static Status wrongPassword() { return make(Category::WrongPassword, "Not a valid password."); }
    static Status inUse(std::string d) { return make(Category::InUse, std::move(d)); }
    static Status badCommand(std::string d) { return make(Category::BadCommand, std::move(d)); }
    static Status internal(std::string d) { return make(Category::Internal, std::move(d)); }

    bool isOk() const { return category_ == Category::Ok; }
    explicit operator bool() const { return isOk(); }
    Category category() const { return category_; }
    const std::string& description() const { return description_; }
    int64_t page() const { return page_; }  // -1 when no page is involved

    // HRESULT-style code: 0 on success.
    uint32_t code() const {
        if (code_ != 0) return code_;
        switch (category_) {
            case Category::Ok: return 0;
            case Category::WrongPassword: return kCodeWrongPassword;
            case Category::BadCommand: return kCodeBadCommand;
            default: return kCodeUnspecified;
        }
    }

    // Description with the page appended when known, for logs and the batch tool.
    std::string toString() const;
    // The same failure (category, code, page) told in other words.
    Status withDescription(std::string description) const {
        Status s = *this;
        s.description_ = std::move(description);
        return s;
    }

private:
    static Status ioErrorWithCode(uint32_t code, std::string d) {
        Status s = make(Category::IoError, std::move(d));
        s.code_ = code;
        return s;
    }

    Category category_ = Category::Ok;
    uint32_t code_ = 0;  // 0: the category's usual code
    std::string description_;
    int64_t page_ = -1;
};

// A value or the Status saying why there is none. (std::expected is C++23.)
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Status s) : v_(std::move(s)) {
        if (std::get<Status>(v_).isOk()) v_ = Status::internal("Result built from a success status");
    }

    bool isOk() const { return v_.index() == 0; }
    explicit operator bool() const { return isOk(); }
    // REQUIRES: isOk().
    T& value() & { return std::get<T>(v_); }
    const T& value() const& { return std::get<T>(v_); }
    T&& value() && { return std::get<T>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // Success when a value is present.
    Status status() const { return isOk() ? Status() : std::get<Status>(v_); }

private:
    std::variant<T, Status> v_;
};

}  // namespace veltrano::access

// Early-return helpers. The Status/Result expression is evaluated once.
#define ACCESS_RETURN_IF_ERROR(expr)                 \
    do {                                             \
        ::veltrano::access::Status access_status_ = (expr);    \
        if (!access_status_.isOk()) return access_status_; \
    } while (0)

#define ACCESS_CONCAT_INNER(a, b) a##b
#define ACCESS_CONCAT(a, b) ACCESS_CONCAT_INNER(a, b)
// ACCESS_ASSIGN_OR_RETURN(auto x, someResult()); binds x to the value.
#define ACCESS_ASSIGN_OR_RETURN(decl, expr)                                   \
    auto ACCESS_CONCAT(access_result_, __LINE__) = (expr);                    \
    if (!ACCESS_CONCAT(access_result_, __LINE__).isOk())                      \
        return ACCESS_CONCAT(access_result_, __LINE__).status();             \
    decl = std::move(ACCESS_CONCAT(access_result_, __LINE__)).value()
