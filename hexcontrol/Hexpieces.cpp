#include "Hexpieces.h"

#include <algorithm>
#include <cstring>

void THexPieces::Reset(qint64 size)
{
    FSize = qMax<qint64>(size, 0);
    FPieces.clear();
    FAdded.clear();
    FAdded.shrink_to_fit();
    if (FSize > 0)
        FPieces.push_back(THexPiece{0, FSize, 0, false});
}

bool THexPieces::Pristine() const
{
    return FPieces.empty() || (FPieces.size() == 1 && !FPieces[0].Added && FPieces[0].From == 0);
}

size_t THexPieces::IndexAt(qint64 offset) const
{
    const auto after = std::upper_bound(FPieces.begin(), FPieces.end(), offset,
                                        [](qint64 o, const THexPiece& p) { return o < p.Start; });
    return size_t(after - FPieces.begin()) - 1;
}

size_t THexPieces::SplitAt(qint64 offset)
{
    if (offset >= FSize)
        return FPieces.size();
    const size_t i = IndexAt(offset);
    const THexPiece piece = FPieces[i];
    if (piece.Start == offset)
        return i;
    const qint64 left = offset - piece.Start;
    FPieces[i].Length = left;
    FPieces.insert(FPieces.begin() + std::ptrdiff_t(i) + 1,
                   THexPiece{offset, piece.Length - left, piece.From + left, piece.Added});
    return i + 1;
}

void THexPieces::MergeAround(size_t first, size_t last)
{
    last = std::min(last, FPieces.size() - 1);
    for (size_t k = last; k > first; --k) {
        THexPiece& a = FPieces[k - 1];
        const THexPiece& b = FPieces[k];
        if (a.Added == b.Added && a.From + a.Length == b.From) {
            a.Length += b.Length;
            FPieces.erase(FPieces.begin() + std::ptrdiff_t(k));
        }
    }
}

void THexPieces::Overwrite(qint64 offset, const unsigned char* bytes, qint64 length)
{
    if (length <= 0 || offset < 0 || offset + length > FSize)
        return;
    const size_t first = SplitAt(offset);
    const size_t end = SplitAt(offset + length);
    for (size_t k = first; k < end; ++k) {
        THexPiece& piece = FPieces[k];
        const unsigned char* src = bytes + (piece.Start - offset);
        if (piece.Added) {
            std::memcpy(FAdded.data() + piece.From, src, size_t(piece.Length));
        } else {
            piece.From = qint64(FAdded.size());
            piece.Added = true;
            FAdded.insert(FAdded.end(), src, src + piece.Length);
        }
    }
    MergeAround(first > 0 ? first - 1 : 0, end);
}
