#pragma once

#include "runtime/address_sanitizer.h"

namespace tarvel::testing {

/// Whether the tests run under the address sanitizer, which keeps the module's large blocks
/// and its groups on the heap so that it can watch them.
#if defined(TARVEL_ADDRESS_SANITIZED)
inline constexpr bool kAddressSanitized = true;
#else
inline constexpr bool kAddressSanitized = false;
#endif

}  // namespace tarvel::testing
