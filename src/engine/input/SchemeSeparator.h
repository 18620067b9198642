#pragma once

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace backtrail::engine {

/// The first "://" in [from, end), or end. Looks at sixteen places at a time
/// (each place's byte and the two after it), as a bit mask: a log line's time
/// alone has three colons, each of which would cost a memchr call of its own.
/// The last few places are searched for ':' with memchr: in log lines a colon
/// is rarer than any other byte of an address's scheme.
inline const char* FindSchemeSeparator(const char* from, const char* end)
{
#if defined(__SSE2__)
    const __m128i colons = _mm_set1_epi8(':');
    const __m128i slashes = _mm_set1_epi8('/');
    for (; end - from >= 18; from += 16) {
        const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 1));
        const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpeq_epi8(at, colons), _mm_and_si128(_mm_cmpeq_epi8(next, slashes), _mm_cmpeq_epi8(after, slashes)))));
        if (mask != 0)
            return from + std::countr_zero(mask);
    }
#endif
    while (end - from >= 3) {
        const void* hit = std::memchr(from, ':', std::size_t(end - from - 2));
        if (!hit)
            break;
        const char* colon = static_cast<const char*>(hit);
        if (colon[1] == '/' && colon[2] == '/')
            return colon;
        from = colon + 1;
    }
    return end;
}

} // namespace backtrail::engine
