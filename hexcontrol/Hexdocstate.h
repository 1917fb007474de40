#pragma once
// Inside the hex document (not installed): its state, shared by the units
// that implement it (Hexdocument.cpp, Hexsave.cpp).
#include "Hexdocument.h"
#include "Hexpieces.h"
#include "Hexsource.h"

#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <cstdlib>
#include <vector>

// Bytes a range change took out or put in: a copy for a document held in
// memory, pieces of the file and the added bytes for one read from a file.
// Pieces of the added bytes stay valid as long as the log holds them (the
// added bytes are kept through a save while it does); pieces of the file
// are turned into added bytes before a save replaces the file.
struct THexSpan
{
    qint64 Length = 0;
    QByteArray Bytes;
    std::vector<THexPiece> Pieces; // each Start counted from the span's start
};

// One part of a range change: at Offset (in the document as it was before
// the change), Old went and New came. Parts are in ascending order and do
// not overlap.
struct THexPart
{
    qint64 Offset = 0;
    THexSpan Old;
    THexSpan New;
};

struct TChangeData
{
    std::vector<THexPart> Parts;
};

// One piece of work of a save: `Length` bytes at `Dest` of the new file, from
// memory, from the added bytes, or from the source file at `From`.
struct THexSaveOp
{
    enum { Memory, Added, Source };
    int Kind;
    qint64 Dest;
    qint64 Length;
    qint64 From;
};

struct THexDocument::TSave
{
    QString Path;        // the name saved to
    QString Target;      // the file saved to (a symbolic link followed)
    QString Temporary;   // beside it; empty when written in place
    int Fd = -1;         // the file written
    QFile Out;           // Fd for WriteBlock
    bool InPlace = false;
    qint64 Length = 0;
    mode_t Mode = 0;
    bool TargetExists = false;
    uid_t Owner = 0;
    gid_t Group = 0;
    std::vector<THexSaveOp> Ops;
    size_t Op = 0;       // the op being written
    qint64 OpDone = 0;   // bytes of it written
    qint64 Done = 0;
    qint64 Total = 0;
    // In place: the bytes overwritten, to put back after a failure.
    qint64 OldSize = 0;
    std::vector<std::pair<qint64, QByteArray>> Backup;
    int Failure = 0;     // the result a failed step gives
    std::vector<unsigned char> Buffer; // bytes copied through memory
    // Log entries whose old file bytes were kept in memory: the rest go once
    // the file is replaced.
    int KeepUndo = 0;
    int KeepRedo = 0;
};

struct THexDocument::TState
{
    // Storage: a block in memory, or a file with the pieces over it.
    unsigned char* Memory = nullptr; // malloc'd; null for a file
    qint64 MemorySize = 0;
    std::unique_ptr<THexFileSource> Source;
    THexPieces Pieces;
    bool ReadOnly = false;

    qint64 PageSize = THexDocument::DefaultPageSize;
    qint64 CacheSize = THexDocument::DefaultCacheSize;
    qint64 MemoryLimit = THexDocument::DefaultMemoryLimit;

    QString Path;
    THexFileStamp Stamp;
    int Reported = 0;            // SourceChanged bits already raised
    mutable bool ReadFault = false;
    mutable bool FaultQueued = false;
    QString Error;

    TChangeLog Log;
    // The log's state when the bytes were last saved or loaded; none (~0)
    // once they were replaced by others.
    unsigned long long SavePoint = 0;
    qint64 MemoryCapacity = 0;   // bytes allocated for Memory

    // Find all: the matches (the first MaxMatches), their count, length.
    std::vector<qint64> Matches;
    qint64 MatchCount = 0;
    int MatchLength = 0;

    // Long work.
    enum { jNone, jFind, jSave, jFindAll };
    int Job = jNone;
    QTimer* Timer = nullptr;
    QByteArray FindPattern;
    bool FindFold = false;
    qint64 FindPos = 0;          // next candidate
    qint64 FindStart = 0;
    qint64 FindLast = -1;        // last candidate examined
    bool FindBackward = false;   // candidates downwards from FindPos
    // Find all / replace all: the matches found so far, and the bytes that
    // replace them (when replacing).
    std::vector<qint64> Found;
    qint64 FoundCount = 0;
    bool Replacing = false;
    QByteArray Replacement;
    std::unique_ptr<THexDocument::TSave> Save;

    ~TState() { std::free(Memory); }

    bool LogHoldsRanges() const
    {
        for (const auto* stack : {&Log.UndoEntries, &Log.RedoEntries})
            for (const TChangeEntry& e : *stack)
                if (e.Data)
                    return true;
        return false;
    }

    qint64 Size() const { return Source ? Pieces.Size() : MemorySize; }
};
