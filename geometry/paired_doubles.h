#pragma once

// Two doubles side by side in one SSE2 register, where the processor has them (every x86-64,
// and 32-bit x86 built for SSE2 arithmetic): one instruction works on both, and each lane is
// rounded exactly as the same operation on a lone double would be. Code that pairs its
// arithmetic this way keeps a plain form for other processors, which builds defining
// TARVEL_NO_PAIRED_DOUBLES take too.
#if !defined(TARVEL_NO_PAIRED_DOUBLES) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define TARVEL_PAIRED_DOUBLES 1
#endif
