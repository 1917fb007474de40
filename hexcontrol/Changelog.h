#pragma once
// The hex editor's undo and redo history: two fixed stacks of 1024 changes.
// A change is either one byte (kind 0) or one group of bytes read as a
// big-endian value (kind 1). Consecutive changes at the same offset merge
// into one entry until the entry is sealed (every cursor move seals), so the
// two digits typed into one byte undo as one step.
//
// Offsets are 64-bit (long long, the same type as qint64), so a change can sit
// anywhere in a file of any size.

struct TChangeEntry
{
    int Kind;          // 0 = byte change, 1 = word (group) change
    int Flags;         // bit 0 set: sealed, later changes start a new entry
    long long Offset;  // byte offset; for a word, the group's first byte
    unsigned OldValue; // value before the change
    unsigned NewValue; // value after the change
    int Size;          // bytes the change covers: 1 for a byte, the group's
                       // length for a word, so undo and redo write exactly
                       // those bytes even after the group length changed
};

class TChangeLog
{
public:
    enum { Capacity = 1024 };
    enum { cfSealed = 1 };
    enum { ckByte = 0, ckWord = 1 };

    TChangeEntry UndoEntries[Capacity]; // oldest first
    TChangeEntry RedoEntries[Capacity]; // oldest first
    int UndoCount = 0;
    int RedoCount = 0;
    // Bumped by every call that changes either stack, so a reader can keep
    // data derived from the entries until the log changes again.
    unsigned Revision = 0;

    void Clear();
    // Records a change. A full undo stack drops its oldest entry first. A
    // change at the offset of the newest unsealed entry of the same kind and
    // size only updates that entry's new value; any other change is appended
    // and empties the redo stack.
    void AddChange(int kind, long long offset, unsigned oldValue, unsigned newValue, int size = 1);
    // Seals the newest undo entry so the next change starts a new one.
    void Seal();
    // The oldest undo entry at exactly `offset`, or null.
    const TChangeEntry* FindOffset(long long offset) const;
    // Moves the newest undo entry to the redo stack (dropped when that is
    // full) and copies it to `out`. False when there is nothing to undo.
    bool TakeUndo(TChangeEntry& out);
    // Moves the newest redo entry back onto the undo stack and copies it to
    // `out`; older redo entries stay. False when there is nothing to redo.
    bool TakeRedo(TChangeEntry& out);
};
