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

    // Long work.
    enum { jNone, jFind, jSave };
    int Job = jNone;
    QTimer* Timer = nullptr;
    QByteArray FindPattern;
    bool FindFold = false;
    qint64 FindPos = 0;          // next candidate
    qint64 FindStart = 0;
    qint64 FindLast = -1;        // last candidate examined
    std::unique_ptr<THexDocument::TSave> Save;

    ~TState() { std::free(Memory); }

    qint64 Size() const { return Source ? Pieces.Size() : MemorySize; }
};
