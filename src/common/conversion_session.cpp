#include "common/conversion_session.h"

namespace veltrano {

namespace {
ConversionSession& instance() {
    static ConversionSession s;
    return s;
}
}  // namespace

ConversionSession& session() { return instance(); }

void resetSession() { instance() = ConversionSession{}; }

}  // namespace veltrano
