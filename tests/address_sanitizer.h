#pragma once

namespace tarvel::testing {

/// Whether the tests run under the address sanitizer, which keeps the module's large blocks
/// and its groups on the heap so that it can watch them.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitized = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitized = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitized = false;
#endif

}  // namespace tarvel::testing
