#include "mysql/connect_error.h"

#include <cerrno>
#include <cstdlib>

namespace veltrano {

namespace {

// Client library error numbers of a connect.
constexpr int32_t kErrConnection = 2002;     // no connection: socket or TCP
constexpr int32_t kErrHostConnection = 2003; // the same, older servers' wording
constexpr int32_t kErrUnknownHost = 2005;
constexpr int32_t kErrServerGone = 2006;
constexpr int32_t kErrServerLost = 2013;
constexpr int32_t kErrHandshakeLost = 2055;

// The operating system's code in a trailing "(N)", or 0.
int systemCode(const std::string& text) {
    size_t close = text.find_last_not_of(' ');
    if (close == std::string::npos || text[close] != ')') return 0;
    size_t open = text.rfind('(', close);
    if (open == std::string::npos || open + 1 == close) return 0;
    char* end = nullptr;
    long n = std::strtol(text.c_str() + open + 1, &end, 10);
    return end == text.c_str() + close ? static_cast<int>(n) : 0;
}

}  // namespace

std::string connectErrorMeaning(int32_t number, const std::string& description) {
    const char* meaning = nullptr;
    if (number == kErrConnection || number == kErrHostConnection) {
        switch (systemCode(description)) {
            case ECONNREFUSED:
            case EINPROGRESS:  // the library's non-blocking connect reports a refusal so
                meaning = "connection refused: is the server running and is the port right?";
                break;
            case ETIMEDOUT:
                meaning = "no answer in time: is the host right, and does a firewall let the port through?";
                break;
            case EHOSTUNREACH:
            case ENETUNREACH:
                meaning = "the host cannot be reached from this computer: is the host name or address right?";
                break;
            case ENOENT:
                meaning = "no local server socket: is the server running on this computer? (or give 127.0.0.1 "
                          "as the host to connect by TCP)";
                break;
            default:
                break;
        }
    } else if (number == kErrUnknownHost) {
        meaning = "the host name is not known: is it spelled right?";
    } else if (number == kErrServerGone || number == kErrServerLost || number == kErrHandshakeLost) {
        meaning = "the server closed the connection: is this port a MySQL or MariaDB server's?";
    }
    return meaning ? meaning : "";
}

std::string explainedConnectError(int32_t number, const std::string& description) {
    std::string meaning = connectErrorMeaning(number, description);
    return meaning.empty() ? description : description + "\n" + meaning;
}

}  // namespace veltrano
