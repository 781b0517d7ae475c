// Status text formatting.
#include "access/base/status.h"

namespace veltrano::access {

std::string Status::toString() const {
    if (isOk()) return "OK";
    if (page_ < 0) return description_;
    return description_ + " (page " + std::to_string(page_) + ")";
}

}  // namespace veltrano::access
