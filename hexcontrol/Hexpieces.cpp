#include "Hexpieces.h"

#include <algorithm>
#include <cstring>

void THexPieces::Reset(qint64 size, bool keepAdded)
{
    FSize = qMax<qint64>(size, 0);
    FPieces.clear();
    if (!keepAdded) {
        FAdded.clear();
        FAdded.shrink_to_fit();
    }
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

std::vector<THexPiece> THexPieces::AddBytes(const unsigned char* bytes, qint64 length)
{
    std::vector<THexPiece> pieces;
    if (length > 0) {
        pieces.push_back(THexPiece{0, length, qint64(FAdded.size()), true});
        FAdded.insert(FAdded.end(), bytes, bytes + length);
    }
    return pieces;
}

void THexPieces::Splice(const std::vector<THexSplice>& edits, std::vector<std::vector<THexPiece>>* removed)
{
    std::vector<THexPiece> out;
    size_t inserted = 0;
    for (const THexSplice& e : edits)
        inserted += e.Insert.size();
    out.reserve(FPieces.size() + 2 * edits.size() + inserted);
    if (removed)
        removed->assign(edits.size(), {});

    // The piece being consumed, trimmed from its front as edits cut it.
    size_t k = 0;
    THexPiece cur{};
    bool have = false;
    auto load = [&] {
        have = k < FPieces.size();
        if (have)
            cur = FPieces[k++];
    };
    auto cutFront = [&](qint64 n) {
        const THexPiece front{cur.Start, n, cur.From, cur.Added};
        cur.Start += n;
        cur.From += n;
        cur.Length -= n;
        return front;
    };
    qint64 delta = 0;
    auto put = [&](THexPiece p) {
        p.Start += delta;
        out.push_back(p);
    };
    load();
    for (size_t i = 0; i < edits.size(); ++i) {
        const THexSplice& e = edits[i];
        while (have && cur.Start + cur.Length <= e.Offset) {
            put(cur);
            load();
        }
        if (have && cur.Start < e.Offset)
            put(cutFront(e.Offset - cur.Start));
        const qint64 removeEnd = e.Offset + e.Remove;
        while (have && cur.Start < removeEnd) {
            THexPiece part;
            if (cur.Start + cur.Length <= removeEnd) {
                part = cur;
                load();
            } else {
                part = cutFront(removeEnd - cur.Start);
            }
            if (removed) {
                part.Start -= e.Offset;
                (*removed)[i].push_back(part);
            }
        }
        qint64 at = e.Offset + delta;
        for (const THexPiece& p : e.Insert) {
            out.push_back(THexPiece{at, p.Length, p.From, p.Added});
            at += p.Length;
        }
        delta += (at - (e.Offset + delta)) - e.Remove;
    }
    while (have) {
        put(cur);
        load();
    }
    FSize += delta;

    // Neighbours that continue each other become one piece.
    size_t n = 0;
    for (size_t j = 0; j < out.size(); ++j) {
        if (n > 0) {
            THexPiece& a = out[n - 1];
            if (a.Added == out[j].Added && a.From + a.Length == out[j].From) {
                a.Length += out[j].Length;
                continue;
            }
        }
        out[n++] = out[j];
    }
    out.resize(n);
    FPieces.swap(out);
}
