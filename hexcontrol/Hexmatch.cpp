// THexDocument: searching forwards and backwards, finding every match, and
// replacing every match as one step. Finding all reads the document once, window by
// window, and gathers the matches (left to right, none overlapping the one
// before); replacing all then splices every match in one pass, so its cost
// grows with the matches, not with matches times pieces.
#include "Hexdocument.h"

#include "Hexdocstate.h"
#include "Hexscan.h"

#include <QTimer>

#include <new>

namespace {

// Candidates examined per window read from a file.
const qint64 kWindow = 1 << 20;

} // namespace

qint64 THexDocument::Scan(qint64 start, qint64 lastCandidate, const unsigned char* pattern, int length,
                          bool foldCase, qint64* lastExamined) const
{
    long long last = -1;
    if (!D->Source) {
        const long long found =
            HexScanFind(D->Memory, lastCandidate + length, start, pattern, length, foldCase, &last);
        *lastExamined = last;
        return found;
    }
    if (length == 0) {
        *lastExamined = start;
        return start;
    }
    // Windows of the file, each overlapping the next by the pattern's length
    // less one, so that a match across a boundary is seen once.
    std::vector<unsigned char> window(size_t(qMin(kWindow, lastCandidate - start + 1) + length - 1));
    for (qint64 pos = start; pos <= lastCandidate;) {
        const qint64 candidates = qMin(kWindow, lastCandidate - pos + 1);
        const qint64 bytes = candidates + length - 1;
        ReadRange(pos, window.data(), bytes, true);
        const long long found = HexScanFind(window.data(), bytes, 0, pattern, length, foldCase, &last);
        if (found >= 0) {
            *lastExamined = pos + found;
            return pos + found;
        }
        pos += candidates;
    }
    *lastExamined = lastCandidate;
    return -1;
}

qint64 THexDocument::Find(qint64 start, const unsigned char* pattern, int length, bool foldCase,
                          qint64* lastExamined) const
{
    start = qMax<qint64>(start, 0);
    if (length < 0 || start > D->Size() - length)
        return -1; // not a single candidate fits
    qint64 last = -1;
    const qint64 found = Scan(start, D->Size() - length, pattern, length, foldCase, &last);
    if (lastExamined)
        *lastExamined = last;
    return found;
}

bool THexDocument::StartFind(qint64 start, const QByteArray& pattern, bool foldCase, bool backward)
{
    if (Busy())
        return false;
    TState& d = *D;
    d.FindPattern = pattern;
    d.FindFold = foldCase;
    d.FindBackward = backward;
    d.FindStart = d.FindPos = backward ? qMin(start, d.Size() - pattern.size()) : qMax<qint64>(start, 0);
    d.FindLast = -1;
    d.Job = TState::jFind;
    d.Timer->start(0);
    return true;
}

qint64 THexDocument::ScanBackward(qint64 first, qint64 last, const unsigned char* pattern, int length,
                                  bool foldCase) const
{
    if (!D->Source)
        return HexScanFindLast(D->Memory, first, last, pattern, length, foldCase);
    // Windows from the end down, each overlapping the one after it by the
    // pattern's length less one.
    std::vector<unsigned char> window;
    for (qint64 top = last; top >= first;) {
        const qint64 low = qMax(first, top - kWindow + 1);
        window.resize(size_t(top - low + length));
        ReadRange(low, window.data(), qint64(window.size()), true);
        const long long found = HexScanFindLast(window.data(), 0, top - low, pattern, length, foldCase);
        if (found >= 0)
            return low + found;
        top = low - 1;
    }
    return -1;
}

qint64 THexDocument::FindBackward(qint64 start, const unsigned char* pattern, int length, bool foldCase,
                                  qint64* lastExamined) const
{
    const qint64 last = qMin(start, D->Size() - length);
    if (length < 0 || last < 0)
        return -1; // not a single candidate fits
    const qint64 found = ScanBackward(0, last, pattern, length, foldCase);
    if (lastExamined)
        *lastExamined = found >= 0 ? found : 0;
    return found;
}

// ---------------------------------------------------------------------------
// Find all, replace all

void THexDocument::FindAllStep(qint64 budget)
{
    TState& d = *D;
    const auto* pattern = reinterpret_cast<const unsigned char*>(d.FindPattern.constData());
    const int n = int(d.FindPattern.size());
    const qint64 lastFit = d.Size() - n;
    const qint64 stepLast = qMin(lastFit, d.FindPos + budget - 1);
    std::vector<unsigned char> window;
    while (d.FindPos <= stepLast && !(d.Replacing && d.FoundCount > MaxMatches)) {
        const qint64 base = d.FindPos;
        const qint64 chunkLast = qMin(stepLast, base + kWindow - 1);
        const unsigned char* bytes;
        if (d.Source) {
            window.resize(size_t(chunkLast - base + n));
            ReadRange(base, window.data(), qint64(window.size()), true);
            bytes = window.data();
        } else {
            bytes = d.Memory + base;
        }
        const long long size = chunkLast - base + n; // candidates up to chunkLast
        long long at = 0;
        qint64 next = chunkLast + 1;
        while (at <= chunkLast - base) {
            const long long found = HexScanFind(bytes, size, at, pattern, n, d.FindFold, nullptr);
            if (found < 0)
                break;
            if (qint64(d.Found.size()) < MaxMatches)
                d.Found.push_back(base + found);
            ++d.FoundCount;
            at = found + n;
            next = qMax(next, base + at);
        }
        d.FindPos = next;
    }
}

qint64 THexDocument::FinishFindAll()
{
    TState& d = *D;
    const qint64 count = d.FoundCount;
    std::vector<qint64> found;
    found.swap(d.Found);
    d.FoundCount = 0;
    if (!d.Replacing) {
        d.Matches.swap(found);
        d.MatchCount = count;
        d.MatchLength = int(d.FindPattern.size());
        return count;
    }
    d.Replacing = false;
    if (count > MaxMatches)
        return TooManyMatches;
    if (count == 0)
        return 0;
    try {
        const qint64 n = d.FindPattern.size();
        const auto* bytes = reinterpret_cast<const unsigned char*>(d.Replacement.constData());
        std::vector<THexPart> parts(found.size());
        for (size_t i = 0; i < found.size(); ++i) {
            THexPart& p = parts[i];
            p.Offset = found[i];
            p.Old.Length = n;
            p.New.Length = d.Replacement.size();
            if (!d.Source)
                p.New.Bytes = d.Replacement; // shared, copied only if written
            else
                p.New.Pieces = d.Pieces.AddBytes(bytes, d.Replacement.size()); // each match its own bytes
        }
        if (!RecordParts(std::move(parts), TChangeLog::ckReplaceAll))
            return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

bool THexDocument::StartFindAll(const QByteArray& pattern, bool foldCase)
{
    if (Busy())
        return false;
    TState& d = *D;
    d.FindPattern = pattern;
    d.FindFold = foldCase;
    d.FindStart = d.FindPos = 0;
    d.Found.clear();
    d.FoundCount = 0;
    d.Replacing = false;
    ClearMatches();
    if (pattern.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { emit FindAllFinished(0); }, Qt::QueuedConnection);
        return true;
    }
    d.Job = TState::jFindAll;
    d.Timer->start(0);
    return true;
}

qint64 THexDocument::FindAll(const QByteArray& pattern, bool foldCase)
{
    if (!StartFindAll(pattern, foldCase))
        return 0;
    if (pattern.isEmpty())
        return 0;
    TState& d = *D;
    EndWork();
    const qint64 lastFit = d.Size() - pattern.size();
    while (d.FindPos <= lastFit)
        FindAllStep(lastFit - d.FindPos + 1);
    return FinishFindAll();
}

bool THexDocument::StartReplaceAll(const QByteArray& pattern, bool foldCase, const QByteArray& replacement)
{
    if (!CanChange())
        return false;
    TState& d = *D;
    if (pattern.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { emit ReplaceFinished(0); }, Qt::QueuedConnection);
        return true;
    }
    StartFindAll(pattern, foldCase);
    d.Replacing = true;
    d.Replacement = replacement;
    return true;
}

qint64 THexDocument::ReplaceAll(const QByteArray& pattern, bool foldCase, const QByteArray& replacement)
{
    if (!CanChange() || pattern.isEmpty())
        return 0;
    TState& d = *D;
    StartReplaceAll(pattern, foldCase, replacement);
    EndWork();
    const qint64 lastFit = d.Size() - pattern.size();
    while (d.FindPos <= lastFit && d.FoundCount <= MaxMatches)
        FindAllStep(lastFit - d.FindPos + 1);
    return FinishFindAll();
}

const std::vector<qint64>& THexDocument::Matches() const
{
    return D->Matches;
}

qint64 THexDocument::MatchCount() const
{
    return D->MatchCount;
}

int THexDocument::MatchLength() const
{
    return D->MatchLength;
}

void THexDocument::ClearMatches()
{
    D->Matches.clear();
    D->MatchCount = 0;
}
