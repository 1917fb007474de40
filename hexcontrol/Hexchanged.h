#pragma once
// Inside the hex editor (not installed): which bytes of the document as it
// is now the undo stack changed, for painting them in the change colour.
//
// A byte or group change marks the byte at its offset, a range change the
// bytes it put in. An entry's offsets are where it happened at its time, so
// each is carried through the inserts and deletes made after it: walking
// the stack from the newest entry down, a map from an entry's positions to
// the positions of now is built up, one range change at a time. Only the
// newest entries are walked, and the walk stops early when the map grows
// past a bound, so a paint never pays for an unbounded history.
#include <QtGlobal>

#include <utility>
#include <vector>

class TChangeLog;

class THexChangedBytes
{
public:
    // Entries walked at most, newest first.
    enum { Newest = 1024 };

    void Build(const TChangeLog& log);
    bool Contains(qint64 offset) const;

private:
    // A piece of the map, from its Start to the next piece's: positions
    // move by Value, or, when Gone (deleted since), all land on Value.
    struct TSegment
    {
        qint64 Start;
        qint64 Value;
        bool Gone;
    };
    // Where `position` is now, and whether it was deleted since.
    std::pair<qint64, bool> Map(qint64 position) const;

    std::vector<TSegment> FMap;
    std::vector<qint64> FPoints;                      // sorted
    std::vector<std::pair<qint64, qint64>> FRanges;   // sorted, [first, end)
};
