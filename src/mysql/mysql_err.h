// MYSQL_ERR: the error object of a MYSQL_CONNECTION.
//
// The MySQL layer never throws for a server or library failure. Each call
// returns a neutral value and leaves the client library's error number and
// message here; callers read it right after the call (Number 0 = success).
// The object lives exactly as long as its connection and is never replaced,
// so a reference to it may be kept.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

class MYSQL_CONNECTION;
class MYSQL_RS;
class MYSQL_STREAM;

class MYSQL_ERR {
public:
    MYSQL_ERR() = default;
    MYSQL_ERR(const MYSQL_ERR&) = delete;
    MYSQL_ERR& operator=(const MYSQL_ERR&) = delete;

    int32_t Number() const { return number_; }               // 0 = no error
    const std::string& Description() const { return description_; }  // "" when no error
    void Clear() {
        number_ = 0;
        description_.clear();
    }

private:
    // Only the classes of this layer record errors.
    friend class MYSQL_CONNECTION;
    friend class MYSQL_RS;
    friend class MYSQL_STREAM;
    void SetNumber(int32_t number) { number_ = number; }
    void SetDescription(std::string text) { description_ = std::move(text); }
    void SetError(int32_t number, std::string text) {
        number_ = number;
        description_ = std::move(text);
    }

    int32_t number_ = 0;
    std::string description_;
};

}  // namespace veltrano
