#include "Changelog.h"

#include <utility>

void TChangeLog::Clear()
{
    FBaseId = StateId();
    UndoEntries.clear();
    RedoEntries.clear();
    UndoCount = 0;
    RedoCount = 0;
    ++Revision;
}

void TChangeLog::DropOldest()
{
    FBaseId = UndoEntries.front().Serial;
    UndoEntries.pop_front();
    UndoCount = int(UndoEntries.size());
}

void TChangeLog::Append(TChangeEntry entry)
{
    if (entry.Serial == 0)
        entry.Serial = FNextSerial++;
    UndoEntries.push_back(std::move(entry));
    UndoCount = int(UndoEntries.size());
}

void TChangeLog::AddChange(int kind, long long offset, unsigned oldValue, unsigned newValue, int size)
{
    ++Revision;
    if (FDepth > 0 && UndoCount >= FDepth)
        DropOldest();
    if (UndoCount > 0) {
        TChangeEntry& last = UndoEntries.back();
        // A byte change must never merge into a word entry or the other way
        // round: undo would then restore only part of what was changed.
        if (last.Offset == offset && !(last.Flags & cfSealed) && last.Kind == kind && last.Size == size) {
            last.NewValue = newValue;
            return;
        }
    }
    Append(TChangeEntry{kind, 0, offset, oldValue, newValue, size});
    RedoEntries.clear();
    RedoCount = 0;
}

void TChangeLog::AddEntry(TChangeEntry entry)
{
    ++Revision;
    if (FDepth > 0 && UndoCount >= FDepth)
        DropOldest();
    entry.Flags = 0;
    entry.Serial = 0;
    Append(std::move(entry));
    RedoEntries.clear();
    RedoCount = 0;
}

TChangeEntry* TChangeLog::Newest()
{
    return UndoCount > 0 ? &UndoEntries.back() : nullptr;
}

void TChangeLog::Seal()
{
    if (UndoCount > 0)
        UndoEntries.back().Flags |= cfSealed;
}

const TChangeEntry* TChangeLog::FindOffset(long long offset) const
{
    for (int i = 0; i < UndoCount; ++i)
        if (UndoEntries[size_t(i)].Offset == offset)
            return &UndoEntries[size_t(i)];
    return nullptr;
}

bool TChangeLog::TakeUndo(TChangeEntry& out)
{
    if (UndoCount <= 0)
        return false;
    ++Revision;
    out = UndoEntries.back();
    UndoEntries.pop_back();
    UndoCount = int(UndoEntries.size());
    if (FDepth == 0 || RedoCount < FDepth) {
        RedoEntries.push_back(out);
        RedoCount = int(RedoEntries.size());
    }
    return true;
}

bool TChangeLog::TakeRedo(TChangeEntry& out)
{
    if (RedoCount <= 0 || RedoEntries.empty())
        return false;
    ++Revision;
    out = RedoEntries.back();
    RedoEntries.pop_back();
    RedoCount = int(RedoEntries.size());
    // Back onto the undo stack as a change is recorded: a full stack drops
    // its oldest entry, and a value change may merge into an unsealed newest
    // entry at its offset; the older redo entries stay.
    if (FDepth > 0 && UndoCount >= FDepth)
        DropOldest();
    if (UndoCount > 0 && !IsRange(out.Kind)) {
        TChangeEntry& last = UndoEntries.back();
        if (last.Offset == out.Offset && !(last.Flags & cfSealed) && last.Kind == out.Kind && last.Size == out.Size) {
            last.NewValue = out.NewValue;
            return true;
        }
    }
    out.Flags = 0;
    Append(out);
    return true;
}

void TChangeLog::SetDepth(int depth)
{
    FDepth = depth > 0 ? depth : 0;
    if (FDepth > 0)
        Keep(FDepth, FDepth);
}

void TChangeLog::Keep(int undo, int redo)
{
    bool changed = false;
    while (UndoCount > 0 && UndoCount > undo) {
        DropOldest();
        changed = true;
    }
    while (RedoCount > 0 && RedoCount > redo) {
        RedoEntries.pop_front();
        RedoCount = int(RedoEntries.size());
        changed = true;
    }
    if (changed)
        ++Revision;
}

unsigned long long TChangeLog::StateId() const
{
    return UndoCount > 0 ? UndoEntries.back().Serial : FBaseId;
}
