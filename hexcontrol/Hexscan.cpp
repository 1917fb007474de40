#include "Hexscan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool IsAsciiLetter(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// The byte's other case for a letter, the byte itself otherwise.
unsigned char OtherCase(unsigned char ch)
{
    return IsAsciiLetter(ch) ? static_cast<unsigned char>(ch ^ 0x20) : ch;
}

bool EqualFolded(const unsigned char* a, const unsigned char* b, int n)
{
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i] && HexScanFoldByte(a[i]) != HexScanFoldByte(b[i]))
            return false;
    return true;
}

// Candidates data[first..last], both inclusive, last >= first.
long long FindExact(const unsigned char* data, long long first, long long last, const unsigned char* pattern, int n)
{
    const size_t span = static_cast<size_t>(last - first) + static_cast<size_t>(n);
    const void* hit = memmem(data + first, span, pattern, static_cast<size_t>(n));
    return hit ? static_cast<const unsigned char*>(hit) - data : -1;
}

#if defined(__SSE2__)
// Bit i set where p[i] is a or b, for 16 bytes.
inline unsigned EitherMask(const unsigned char* p, __m128i a, __m128i b)
{
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, a), _mm_cmpeq_epi8(x, b))));
}

// Candidates are the places where the pattern's first two bytes stand (a
// letter in either case), found 32 at a time, so the buffer is read once and
// few candidates are left to compare in full.
long long FindFolded(const unsigned char* data, long long first, long long last, const unsigned char* pattern, int n)
{
    const int second = n > 1 ? 1 : 0;
    const __m128i a0 = _mm_set1_epi8(static_cast<char>(pattern[0]));
    const __m128i b0 = _mm_set1_epi8(static_cast<char>(OtherCase(pattern[0])));
    const __m128i a1 = _mm_set1_epi8(static_cast<char>(pattern[second]));
    const __m128i b1 = _mm_set1_epi8(static_cast<char>(OtherCase(pattern[second])));
    const unsigned char* p = data + first;
    const unsigned char* end = data + last + 1; // one past the last candidate
    // A whole block reads up to p[31 + second], at most the last candidate's
    // second byte: inside the buffer.
    for (; end - p >= 32; p += 32) {
        unsigned mask = (EitherMask(p, a0, b0) | (EitherMask(p + 16, a0, b0) << 16))
                        & (EitherMask(p + second, a1, b1) | (EitherMask(p + second + 16, a1, b1) << 16));
        while (mask) {
            const unsigned char* cand = p + __builtin_ctz(mask);
            if (EqualFolded(cand, pattern, n))
                return cand - data;
            mask &= mask - 1;
        }
    }
    for (; p < end; ++p)
        if (EqualFolded(p, pattern, n))
            return p - data;
    return -1;
}
#else
const unsigned char* FindByte(const unsigned char* from, const unsigned char* end, unsigned char ch)
{
    if (from >= end)
        return nullptr;
    return static_cast<const unsigned char*>(std::memchr(from, ch, static_cast<size_t>(end - from)));
}

// Candidates are the places of the first byte in either case, each case
// with its own memchr run, always taking the nearer hit.
long long FindFolded(const unsigned char* data, long long first, long long last, const unsigned char* pattern, int n)
{
    const unsigned char c0 = pattern[0];
    const unsigned char c1 = OtherCase(c0);
    const unsigned char* end = data + last + 1;
    const unsigned char* next0 = FindByte(data + first, end, c0);
    const unsigned char* next1 = c1 != c0 ? FindByte(data + first, end, c1) : nullptr;
    while (next0 || next1) {
        const unsigned char* cand;
        if (next0 && (!next1 || next0 < next1)) {
            cand = next0;
            next0 = FindByte(cand + 1, end, c0);
        } else {
            cand = next1;
            next1 = FindByte(cand + 1, end, c1);
        }
        if (EqualFolded(cand, pattern, n))
            return cand - data;
    }
    return -1;
}
#endif

} // namespace

unsigned char HexScanFoldByte(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

long long HexScanFind(const unsigned char* data, long long size, long long start,
                      const unsigned char* pattern, int n, bool foldCase,
                      long long* lastExamined)
{
    if (start < 0)
        start = 0;
    if (n < 0 || size < 0)
        return -1;
    const long long lastFit = size - n;
    if (start > lastFit)
        return -1; // not a single candidate fits
    const long long first = start;
    const long long last = lastFit;

    bool anyLetter = false;
    for (int i = 0; foldCase && i < n && !anyLetter; ++i)
        anyLetter = IsAsciiLetter(pattern[i]);

    long long found;
    if (n == 0)
        found = first;
    else if (!anyLetter) // folding changes nothing without letters
        found = FindExact(data, first, last, pattern, n);
    else
        found = FindFolded(data, first, last, pattern, n);
    if (lastExamined)
        *lastExamined = found >= 0 ? found : last;
    return found;
}

long long HexScanFindLast(const unsigned char* data, long long first, long long last,
                          const unsigned char* pattern, int n, bool foldCase)
{
    if (first < 0)
        first = 0;
    if (n < 0 || last < first)
        return -1;
    if (n == 0)
        return last;
    const unsigned char c0 = pattern[0];
    const unsigned char c1 = foldCase ? OtherCase(c0) : c0;
    // Candidates are the places of the first byte (in either case), found
    // from the end with memrchr; each case has its own run, and the nearer
    // to the end is tried first.
    auto before = [&](unsigned char ch, long long hi) -> long long {
        if (hi < first)
            return -1;
        const void* hit = memrchr(data + first, ch, static_cast<size_t>(hi - first + 1));
        return hit ? static_cast<const unsigned char*>(hit) - data : -1;
    };
    long long next0 = before(c0, last);
    long long next1 = c1 != c0 ? before(c1, last) : -1;
    while (next0 >= 0 || next1 >= 0) {
        long long cand;
        if (next0 > next1) {
            cand = next0;
            next0 = before(c0, cand - 1);
        } else {
            cand = next1;
            next1 = before(c1, cand - 1);
        }
        const bool equal = foldCase ? EqualFolded(data + cand, pattern, n)
                                    : std::memcmp(data + cand, pattern, static_cast<size_t>(n)) == 0;
        if (equal)
            return cand;
    }
    return -1;
}
