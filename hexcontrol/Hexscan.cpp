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

bool EqualFolded(const unsigned char* a, const unsigned char* b, int n)
{
    for (int i = 0; i < n; ++i)
        if (a[i] != b[i] && HexScanFoldByte(a[i]) != HexScanFoldByte(b[i]))
            return false;
    return true;
}

const unsigned char* FindByte(const unsigned char* from, const unsigned char* end, unsigned char ch)
{
    if (from >= end)
        return nullptr;
    return static_cast<const unsigned char*>(std::memchr(from, ch, static_cast<size_t>(end - from)));
}

// Candidates data[first..last], both inclusive, last >= first.
int FindExact(const unsigned char* data, int first, int last, const unsigned char* pattern, int n)
{
    const size_t span = static_cast<size_t>(last - first) + static_cast<size_t>(n);
    const void* hit = memmem(data + first, span, pattern, static_cast<size_t>(n));
    return hit ? static_cast<int>(static_cast<const unsigned char*>(hit) - data) : -1;
}

// Anchored on pattern byte k, which is not a letter: only candidates whose
// byte at k equals it exactly can match.
int FindFoldedAnchored(const unsigned char* data, int first, int last,
                       const unsigned char* pattern, int n, int k)
{
    const unsigned char* p = data + first + k;
    const unsigned char* end = data + last + k + 1;
    while ((p = FindByte(p, end, pattern[k])) != nullptr) {
        const unsigned char* cand = p - k;
        if (EqualFolded(cand, pattern, n))
            return static_cast<int>(cand - data);
        ++p;
    }
    return -1;
}

#if defined(__SSE2__)
// Bit i set where p[i] is a or b, for 16 bytes.
inline unsigned EitherMask(const unsigned char* p, __m128i a, __m128i b)
{
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, a), _mm_cmpeq_epi8(x, b))));
}

// Every pattern byte is a letter. Candidates are the places where the first
// two pattern bytes (either case) stand, found 32 at a time with SSE2, which
// reads the buffer once and leaves few candidates to compare in full.
int FindFoldedLetters(const unsigned char* data, int first, int last,
                      const unsigned char* pattern, int n)
{
    const unsigned char c0 = HexScanFoldByte(pattern[0]);
    const unsigned char c1 = HexScanFoldByte(pattern[n > 1 ? 1 : 0]);
    const int second = n > 1 ? 1 : 0;
    const __m128i lo0 = _mm_set1_epi8(static_cast<char>(c0));
    const __m128i up0 = _mm_set1_epi8(static_cast<char>(c0 - 'a' + 'A'));
    const __m128i lo1 = _mm_set1_epi8(static_cast<char>(c1));
    const __m128i up1 = _mm_set1_epi8(static_cast<char>(c1 - 'a' + 'A'));
    const unsigned char* p = data + first;
    const unsigned char* end = data + last + 1; // one past the last candidate
    // A whole block reads up to p[31 + second], which is at most the last
    // candidate's second byte: inside the buffer.
    for (; end - p >= 32; p += 32) {
        unsigned mask = (EitherMask(p, lo0, up0) | (EitherMask(p + 16, lo0, up0) << 16))
                        & (EitherMask(p + second, lo1, up1) | (EitherMask(p + second + 16, lo1, up1) << 16));
        while (mask) {
            const unsigned char* cand = p + __builtin_ctz(mask);
            if (EqualFolded(cand, pattern, n))
                return static_cast<int>(cand - data);
            mask &= mask - 1;
        }
    }
    for (; p < end; ++p)
        if (HexScanFoldByte(*p) == c0 && EqualFolded(p, pattern, n))
            return static_cast<int>(p - data);
    return -1;
}
#else
// Every pattern byte is a letter: the first byte is looked for in both
// cases, each with its own memchr run, always taking the nearer hit.
int FindFoldedLetters(const unsigned char* data, int first, int last,
                      const unsigned char* pattern, int n)
{
    const unsigned char lower = HexScanFoldByte(pattern[0]);
    const unsigned char upper = static_cast<unsigned char>(lower - 'a' + 'A');
    const unsigned char* end = data + last + 1;
    const unsigned char* nextLower = FindByte(data + first, end, lower);
    const unsigned char* nextUpper = FindByte(data + first, end, upper);
    while (nextLower || nextUpper) {
        const unsigned char* cand;
        if (nextLower && (!nextUpper || nextLower < nextUpper)) {
            cand = nextLower;
            nextLower = FindByte(cand + 1, end, lower);
        } else {
            cand = nextUpper;
            nextUpper = FindByte(cand + 1, end, upper);
        }
        if (EqualFolded(cand + 1, pattern + 1, n - 1))
            return static_cast<int>(cand - data);
    }
    return -1;
}
#endif

} // namespace

unsigned char HexScanFoldByte(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

int HexScanFind(const unsigned char* data, int size, long long start,
                const unsigned char* pattern, int n, bool foldCase,
                int* lastExamined)
{
    if (start < 0)
        start = 0;
    if (n < 0 || size < 0)
        return -1;
    // Done in 64 bits: start + n may pass the int range.
    const long long lastFit = static_cast<long long>(size) - n;
    if (start > lastFit)
        return -1; // not a single candidate fits
    const int first = static_cast<int>(start);
    const int last = static_cast<int>(lastFit);

    int found;
    if (n == 0) {
        found = first;
    } else if (!foldCase) {
        found = FindExact(data, first, last, pattern, n);
    } else {
        // Folding only matters for letters. Without any, the exact search
        // does; otherwise a non-letter byte, when there is one, anchors the
        // scan on a single byte value.
        int anchor = -1;
        bool anyLetter = false;
        for (int i = 0; i < n; ++i) {
            if (IsAsciiLetter(pattern[i]))
                anyLetter = true;
            else if (anchor < 0)
                anchor = i;
        }
        if (!anyLetter)
            found = FindExact(data, first, last, pattern, n);
        else if (anchor >= 0)
            found = FindFoldedAnchored(data, first, last, pattern, n, anchor);
        else
            found = FindFoldedLetters(data, first, last, pattern, n);
    }
    if (lastExamined)
        *lastExamined = found >= 0 ? found : last;
    return found;
}
