#include "Changelog.h"

#include <cstring>

void TChangeLog::Clear()
{
    UndoCount = 0;
    RedoCount = 0;
    ++Revision;
}

void TChangeLog::AddChange(int kind, long long offset, unsigned oldValue, unsigned newValue, int size)
{
    ++Revision;
    if (UndoCount >= Capacity) {
        std::memmove(&UndoEntries[0], &UndoEntries[1], sizeof(TChangeEntry) * (Capacity - 1));
        UndoCount = Capacity - 1;
    }
    if (UndoCount > 0) {
        TChangeEntry& last = UndoEntries[UndoCount - 1];
        // A byte change must never merge into a word entry or the other way
        // round: undo would then restore only part of what was changed.
        if (last.Offset == offset && !(last.Flags & cfSealed) && last.Kind == kind && last.Size == size) {
            last.NewValue = newValue;
            return;
        }
    }
    UndoEntries[UndoCount++] = TChangeEntry{kind, 0, offset, oldValue, newValue, size};
    RedoCount = 0;
}

void TChangeLog::Seal()
{
    if (UndoCount > 0)
        UndoEntries[UndoCount - 1].Flags |= cfSealed;
}

const TChangeEntry* TChangeLog::FindOffset(long long offset) const
{
    for (int i = 0; i < UndoCount; ++i)
        if (UndoEntries[i].Offset == offset)
            return &UndoEntries[i];
    return nullptr;
}

bool TChangeLog::TakeUndo(TChangeEntry& out)
{
    if (UndoCount <= 0)
        return false;
    ++Revision;
    out = UndoEntries[UndoCount - 1];
    if (RedoCount < Capacity)
        RedoEntries[RedoCount++] = out;
    --UndoCount;
    return true;
}

bool TChangeLog::TakeRedo(TChangeEntry& out)
{
    if (RedoCount <= 0)
        return false;
    const int remaining = RedoCount - 1;
    out = RedoEntries[RedoCount - 1];
    AddChange(out.Kind, out.Offset, out.OldValue, out.NewValue, out.Size);
    RedoCount = remaining;
    return true;
}
