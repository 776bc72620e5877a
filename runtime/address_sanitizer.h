#pragma once

// TARVEL_ADDRESS_SANITIZED is defined in builds under the address sanitizer, whichever compiler
// says so: such builds keep on the heap what the module would otherwise place in blocks of its
// own, so that the sanitizer sees every overrun, use after freeing and leak there.
#if defined(__SANITIZE_ADDRESS__)
#define TARVEL_ADDRESS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVEL_ADDRESS_SANITIZED 1
#endif
#endif
