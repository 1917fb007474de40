#include "Hexchanged.h"

#include "Changelog.h"
#include "Hexdocstate.h"

#include <algorithm>
#include <limits>

namespace {

// Pieces of the map beyond which older entries are not walked.
const size_t kMapLimit = 1 << 16;

} // namespace

std::pair<qint64, bool> THexChangedBytes::Map(qint64 position) const
{
    auto after = std::upper_bound(FMap.begin(), FMap.end(), position,
                                  [](qint64 p, const TSegment& s) { return p < s.Start; });
    const TSegment& s = *(after - 1);
    return s.Gone ? std::make_pair(s.Value, true) : std::make_pair(position + s.Value, false);
}

void THexChangedBytes::Build(const TChangeLog& log)
{
    FMap.assign(1, TSegment{0, 0, false});
    FPoints.clear();
    FRanges.clear();
    const int last = log.UndoCount - 1;
    const int first = qMax(0, log.UndoCount - int(Newest));
    for (int i = last; i >= first; --i) {
        const TChangeEntry& e = log.UndoEntries[size_t(i)];
        if (!e.Data) {
            const auto at = Map(e.Offset);
            if (!at.second)
                FPoints.push_back(at.first);
            continue;
        }
        const std::vector<THexPart>& parts = e.Data->Parts;
        // The bytes the parts put in, where they are now.
        qint64 shift = 0;
        for (const THexPart& p : parts) {
            const qint64 start = p.Offset + shift;
            const qint64 from = Map(start).first;
            const qint64 to = Map(start + p.New.Length).first;
            if (to > from)
                FRanges.emplace_back(from, to);
            shift += p.New.Length - p.Old.Length;
        }
        if (i == first || FMap.size() > kMapLimit)
            break;
        // The map for older entries: their positions go through this change
        // first (a shift after each part, deleted inside what it took out),
        // then through the map so far.
        std::vector<TSegment> next;
        next.reserve(FMap.size() + 2 * parts.size() + 1);
        auto shifted = [&](qint64 a, qint64 b, qint64 s) { // [a, b) moves by s; b < 0: no end
            auto m = std::upper_bound(FMap.begin(), FMap.end(), a + s,
                                      [](qint64 p, const TSegment& seg) { return p < seg.Start; }) - 1;
            for (; m != FMap.end() && (b < 0 || m->Start < b + s); ++m) {
                const qint64 start = qMax(m->Start, a + s) - s;
                next.push_back(TSegment{start, m->Gone ? m->Value : m->Value + s, m->Gone});
            }
        };
        qint64 a = 0;
        shift = 0;
        for (const THexPart& p : parts) {
            if (p.Offset > a)
                shifted(a, p.Offset, shift);
            if (p.Old.Length > 0)
                next.push_back(TSegment{p.Offset, Map(p.Offset + shift).first, true});
            a = p.Offset + p.Old.Length;
            shift += p.New.Length - p.Old.Length;
        }
        shifted(a, -1, shift);
        // Neighbours that move alike are one piece.
        FMap.clear();
        for (const TSegment& s : next) {
            if (!FMap.empty() && FMap.back().Value == s.Value && FMap.back().Gone == s.Gone)
                continue;
            if (!FMap.empty() && FMap.back().Start == s.Start)
                FMap.back() = s;
            else
                FMap.push_back(s);
        }
    }
    std::sort(FPoints.begin(), FPoints.end());
    std::sort(FRanges.begin(), FRanges.end());
    // Overlapping ranges become one, so a lookup needs only the one before.
    size_t n = 0;
    for (const auto& r : FRanges) {
        if (n > 0 && r.first <= FRanges[n - 1].second)
            FRanges[n - 1].second = qMax(FRanges[n - 1].second, r.second);
        else
            FRanges[n++] = r;
    }
    FRanges.resize(n);
}

bool THexChangedBytes::Contains(qint64 offset) const
{
    if (std::binary_search(FPoints.begin(), FPoints.end(), offset))
        return true;
    auto after = std::upper_bound(FRanges.begin(), FRanges.end(), std::make_pair(offset, std::numeric_limits<qint64>::max()));
    return after != FRanges.begin() && offset < (after - 1)->second;
}
