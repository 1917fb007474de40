#include "Hexscan.h"

#include <cstring>

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

} // namespace

unsigned char HexScanFoldByte(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

int HexScanFind(const unsigned char* data, int size, int start,
                const unsigned char* pattern, int n, bool foldCase,
                int* lastExamined)
{
    if (start < 0)
        start = 0;
    if (n < 0 || size < 0)
        return -1;
    // Done in 64 bits: start + n may pass the int range.
    const long long lastFit = static_cast<long long>(size) - n;
    if (static_cast<long long>(start) > lastFit)
        return -1; // not a single candidate fits
    const int last = static_cast<int>(lastFit);

    int found;
    if (n == 0) {
        found = start;
    } else if (!foldCase) {
        found = FindExact(data, start, last, pattern, n);
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
            found = FindExact(data, start, last, pattern, n);
        else if (anchor >= 0)
            found = FindFoldedAnchored(data, start, last, pattern, n, anchor);
        else
            found = FindFoldedLetters(data, start, last, pattern, n);
    }
    if (lastExamined)
        *lastExamined = found >= 0 ? found : last;
    return found;
}
