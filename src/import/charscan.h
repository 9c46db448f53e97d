#pragma once

#include <QStringView>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

/// Position of the first CR or LF at or after from, or size when there is none: eight characters
/// at a time where the processor has SSE2 (every x86-64 does), one at a time elsewhere.
inline qsizetype FindLineBreak(const char16_t* text, qsizetype from, qsizetype size) {
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; i + 8 <= size; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
        if (mask != 0)
            return i + __builtin_ctz(unsigned(mask)) / 2;
    }
#endif
    for (; i < size; ++i)
        if (text[i] == u'\r' || text[i] == u'\n')
            return i;
    return size;
}
