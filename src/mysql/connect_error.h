// What a failed connect means, in words a user can act on.
//
// The client library reports a refused or unanswered connect as
// "Can't connect to server on 'host' (115)": the number in brackets is the
// operating system's error code, which tells a user nothing. The error object
// keeps the library's text unchanged; the places that show a connect failure
// pass it through here first.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

// What the failure most likely means and what to check, when the error
// number and text say so ("connection refused: is the server running and is
// the port right?"); else empty.
std::string connectErrorMeaning(int32_t number, const std::string& description);

// The description with its meaning on a line of its own, for a message box.
std::string explainedConnectError(int32_t number, const std::string& description);

}  // namespace veltrano
