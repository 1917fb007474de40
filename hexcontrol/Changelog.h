#pragma once
// The hex editor's undo and redo history: two stacks of changes, each at
// most Depth() entries deep (1024 unless set; 0: as deep as memory allows).
//
// A change is one byte (kind 0), one group of bytes read as a big-endian
// value (kind 1), or a range change: bytes inserted, deleted, written over
// as a block, pasted, cut or replaced (kinds 2 and up). Consecutive changes
// at the same offset merge into one entry until the entry is sealed (every
// cursor move seals), so the two digits typed into one byte undo as one
// step; the document merges consecutive typed inserts the same way.
//
// A range change keeps what it took out and put in (Data, opaque here and
// read by THexDocument), so undo and redo restore exactly those bytes. Its
// Offset is where it happened at the time: later inserts and deletes before
// it do not move it.
//
// Offsets are 64-bit (long long, the same type as qint64), so a change can sit
// anywhere in a file of any size.
#include <deque>
#include <memory>

// What a range change took out and put in; defined by the document.
struct TChangeData;

struct TChangeEntry
{
    int Kind;          // a ck* kind of TChangeLog
    int Flags;         // bit 0 set: sealed, later changes start a new entry
    long long Offset;  // byte offset; for a word, the group's first byte;
                       // for a range change, where its first part starts
    unsigned OldValue; // value before the change (value kinds)
    unsigned NewValue; // value after the change (value kinds)
    int Size;          // bytes the change covers: 1 for a byte, the group's
                       // length for a word, so undo and redo write exactly
                       // those bytes even after the group length changed
    // Range changes: the bytes taken out and put in (over all parts), and
    // the number of parts (a replace-all has one per match).
    long long OldLength = 0;
    long long NewLength = 0;
    long long Parts = 0;
    // Unique in the log's life; an entry keeps it between the two stacks.
    unsigned long long Serial = 0;
    std::shared_ptr<TChangeData> Data{};
};

class TChangeLog
{
public:
    // The default depth of each stack.
    enum { Capacity = 1024 };
    enum { cfSealed = 1 };
    enum {
        ckByte = 0,
        ckWord = 1,
        ckInsert = 2,    // bytes typed or inserted
        ckDelete = 3,    // bytes deleted
        ckOverwrite = 4, // a block written over existing bytes
        ckPaste = 5,     // a paste (inserted, or written over)
        ckCut = 6,       // a cut
        ckReplace = 7,   // one match replaced
        ckReplaceAll = 8 // every match replaced, one part each
    };
    // Whether an entry of this kind is a range change (carries Data).
    static bool IsRange(int kind) { return kind >= ckInsert && kind <= ckReplaceAll; }

    std::deque<TChangeEntry> UndoEntries; // oldest first
    std::deque<TChangeEntry> RedoEntries; // oldest first; the last is redone next
    int UndoCount = 0;                    // entries on each stack
    int RedoCount = 0;
    // Bumped by every call that changes either stack, so a reader can keep
    // data derived from the entries until the log changes again.
    unsigned Revision = 0;

    // Empties both stacks. The state the bytes are in keeps its identity
    // (StateId), so a save point at it stays valid.
    void Clear();
    // Records a change. A full undo stack drops its oldest entry first. A
    // change at the offset of the newest unsealed entry of the same kind and
    // size only updates that entry's new value; any other change is appended
    // and empties the redo stack.
    void AddChange(int kind, long long offset, unsigned oldValue, unsigned newValue, int size = 1);
    // Appends a range change as its own entry (never merged), dropping the
    // oldest entry of a full stack, and empties the redo stack.
    void AddEntry(TChangeEntry entry);
    // The newest undo entry, to extend (a merged insert); null when none.
    // Bump Revision after changing it.
    TChangeEntry* Newest();
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

    // Entries each stack keeps at most; 0: no limit but memory. A smaller
    // depth drops the oldest undo entries and the farthest redo entries.
    void SetDepth(int depth);
    int Depth() const { return FDepth; }
    // Keeps only the newest `undo` undo entries and the nearest `redo` redo
    // entries.
    void Keep(int undo, int redo);

    // The identity of the state the bytes are in: the same after undoing
    // back to it or redoing forward to it, different for every other state.
    unsigned long long StateId() const;

private:
    void Append(TChangeEntry entry);
    void DropOldest();

    int FDepth = Capacity;
    unsigned long long FNextSerial = 1;
    // The state under the oldest undo entry.
    unsigned long long FBaseId = 0;
};
