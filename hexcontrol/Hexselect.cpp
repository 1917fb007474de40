// THexEditor: the cursor's moves, the selection, insert mode (typing that
// inserts, Delete and Backspace), range changes for a host, and undo and
// redo as the control does them. Keys and the mouse lead here from
// Hexinput.cpp; the clipboard is in Hexclipboard.cpp.
#include "Hexcontrol.h"

#include "Hexinternal.h"
#include "Numbase.h"

#include <QScrollBar>

#include <cstdio>
#include <cstdlib>
#include <vector>

// ---------------------------------------------------------------------------
// The cursor and the selection

void THexEditor::MoveCursor(qint64 offset)
{
    MoveCursorTo(offset, true, false);
}

void THexEditor::MoveCursorTo(qint64 offset, bool seal, bool keepSelection)
{
    if (offset < 0)
        offset = 0;
    // Inserting, the cursor may stand after the last byte, to append.
    if (FInsertMode) {
        if (offset > FDataSize)
            offset = FDataSize;
    } else if (FDataSize > 0 && offset > FDataSize - 1) {
        offset = FDataSize - 1;
    }
    if (seal)
        FDocument->Seal();
    FBlinkPhase = 0;
    FDigit = 0;
    const bool moved = offset != FCursorOffset;
    FCursorOffset = offset;
    emit OnCursorChange(this, offset);
    if (moved && !keepSelection)
        SetSelectionRange(0, 0, -1);
    if (FScrollBar) {
        const int line = SafeDivisor(FBytesPerLine);
        if (offset < FFirstVisible)
            SetTopRow(offset / line);
        else if (offset > FLastVisible)
            SetTopRow(offset / line - FVisibleRows + 1);
    }
    Redraw();
}

void THexEditor::SetSelectionRange(qint64 start, qint64 length, qint64 anchor)
{
    FSelAnchor = anchor;
    if (length <= 0)
        start = length = 0;
    if (start == FSelStart && length == FSelLength)
        return;
    FSelStart = start;
    FSelLength = length;
    emit OnSelectionChange(this, start, length);
    Redraw();
}

void THexEditor::ExtendSelection(qint64 offset)
{
    if (FSelAnchor < 0 || !HasSelection())
        FSelAnchor = qMin(FCursorOffset, qMax<qint64>(FDataSize - 1, 0));
    const qint64 anchor = FSelAnchor;
    MoveCursorTo(offset, true, true);
    const qint64 first = qMin(anchor, FCursorOffset);
    const qint64 last = qMin(qMax(anchor, FCursorOffset), FDataSize - 1);
    SetSelectionRange(first, last - first + 1, anchor);
}

void THexEditor::SetSelection(qint64 start, qint64 length)
{
    start = qBound(qint64(0), start, FDataSize);
    length = qBound(qint64(0), length, FDataSize - start);
    SetSelectionRange(start, length, length > 0 ? start : -1);
}

void THexEditor::SelectAll()
{
    SetSelectionRange(0, FDataSize, 0);
}

void THexEditor::ClearSelection()
{
    SetSelectionRange(0, 0, -1);
}

bool THexEditor::IsMatch(qint64 offset) const
{
    const std::vector<qint64>& matches = FDocument->Matches();
    if (matches.empty())
        return false;
    const auto after = std::upper_bound(matches.begin(), matches.end(), offset);
    return after != matches.begin() && offset - *(after - 1) < FDocument->MatchLength();
}

void THexEditor::ClearMatches()
{
    FDocument->ClearMatches();
    Redraw();
}

// ---------------------------------------------------------------------------
// Following the document's size

void THexEditor::FollowDocumentSize()
{
    const qint64 size = FDocument->Size();
    if (size == FDataSize)
        return;
    // The row shown at the top stays, at any size.
    const qint64 top = FScrollBar ? TopRow() : 0;
    FDataSize = size;
    emit OnSizeChange(this, size);
    if (FScrollBar) {
        FScrollBar->setMaximum(ScrollScaled() ? ScrollLimit : int(MaxRow()));
        FBarValue = -1;
        SetTopRow(qMin(top, MaxRow()));
    }
    if (FSelStart + FSelLength > size)
        SetSelection(FSelStart, size - FSelStart);
    // No paint here: every caller moves the cursor or paints next.
}

bool THexEditor::CanEdit() const
{
    return !FReadOnly && !FDocument->ReadOnly() && !FDocument->Busy();
}

void THexEditor::RangeChanged(qint64 cursor)
{
    ClearSelection();
    FollowDocumentSize();
    SetDirty(1);
    MoveCursor(cursor < 0 ? FCursorOffset : cursor);
    emit OnCursorByteChange(this);
}

bool THexEditor::InsertBytes(qint64 offset, const QByteArray& bytes)
{
    if (!CanEdit())
        return false;
    FDocument->Seal(); // a step of its own, not part of typing
    if (!FDocument->Insert(offset, bytes.constData(), bytes.size()))
        return false;
    FDocument->Seal();
    RangeChanged(-1);
    return true;
}

bool THexEditor::DeleteBytes(qint64 offset, qint64 length)
{
    if (!CanEdit() || !FDocument->Remove(offset, length))
        return false;
    RangeChanged(-1);
    return true;
}

bool THexEditor::OverwriteBytes(qint64 offset, const QByteArray& bytes)
{
    if (!CanEdit() || !FDocument->OverwriteBytes(offset, bytes))
        return false;
    SetDirty(1);
    emit OnCursorByteChange(this);
    Redraw();
    return true;
}

// ---------------------------------------------------------------------------
// Insert mode

void THexEditor::SetInsertMode(bool insert)
{
    if (insert == FInsertMode)
        return;
    FInsertMode = insert;
    // Overwriting, the cursor stands on a byte; a half-typed byte is done.
    MoveCursor(FCursorOffset); // paints
    emit OnInsertModeChange(this, insert);
}

void THexEditor::ProcessInsertInput(char ch)
{
    const qint64 cursor = FCursorOffset;
    if (FCursorPanel != 0) {
        const auto byte = static_cast<unsigned char>(ch);
        if (!FDocument->Insert(cursor, &byte, 1))
            return;
        FollowDocumentSize();
        SetDirty(1);
        // Typed inserts go on into the same step until the cursor moves.
        MoveCursorTo(cursor + 1, false, false);
        return;
    }
    if (FBaseBytes == 16) {
        // The first digit inserts the byte, the second completes it.
        const int digit = HexDigitValue(ch);
        if (digit < 0)
            return;
        if (FDigit == 0) {
            const auto byte = static_cast<unsigned char>(digit << 4);
            if (!FDocument->Insert(cursor, &byte, 1))
                return;
            FollowDocumentSize();
            SetDirty(1);
            ClearSelection();
            FDigit = 1;
            emit OnCursorByteChange(this);
            Redraw();
            return;
        }
        const auto byte = static_cast<unsigned char>((GetByte(cursor) & 0xF0) | digit);
        if (FDocument->AmendInsert(cursor, &byte, 1)) {
            SetDirty(1);
            emit OnCursorByteChange(this);
        }
        MoveCursorTo(cursor + 1, false, false);
        return;
    }
    if (FBaseBytes != 10 || ch < '0' || ch > '9')
        return;
    // Decimal: the first digit inserts a group of zeros before the cursor's
    // group, the digits then write its value as typing over a group does.
    const int group = SafeDivisor(FBytesPerGroup);
    qint64 start = (cursor / group) * group;
    int digit = FDigit;
    if (digit == 0) {
        const std::vector<unsigned char> zeros(size_t(group), 0);
        if (!FDocument->Insert(start, zeros.data(), group))
            return;
        FollowDocumentSize();
        SetDirty(1);
        MoveCursorTo(start, false, false);
    }
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%0*u", qBound(0, FCellDigits, 40), GetWord(start));
    if (digit < length) {
        text[digit] = ch;
        unsigned value = static_cast<unsigned>(std::strtoull(text, nullptr, 10) & 0xFFFFFFFFull);
        std::vector<unsigned char> bytes(size_t(group), 0);
        for (int n = group - 1; n >= 0 && value; --n, value >>= 8)
            bytes[size_t(n)] = static_cast<unsigned char>(value & 0xFF);
        FDocument->AmendInsert(start, bytes.data(), group);
        emit OnCursorByteChange(this);
    }
    FDigit = digit + 1;
    if (FDigit >= FInputDigits)
        MoveCursorTo(start + group, false, false);
    else
        Redraw();
}

bool THexEditor::Delete()
{
    if (!FInsertMode || !CanEdit())
        return false;
    const qint64 size = FDataSize;
    DeleteKey(false);
    return FDataSize != size;
}

void THexEditor::DeleteKey(bool backspace)
{
    if (!CanEdit())
        return;
    qint64 at, length = 1;
    if (HasSelection()) {
        at = FSelStart;
        length = FSelLength;
    } else if (!backspace || FDigit != 0) {
        at = FCursorOffset; // a half-typed byte goes with Backspace too
    } else {
        at = FCursorOffset - 1;
    }
    if (at < 0 || at >= FDataSize || !FDocument->Remove(at, length))
        return;
    RangeChanged(at);
}

// ---------------------------------------------------------------------------
// Undo and redo

void THexEditor::Undo()
{
    UndoRedo(false);
}

void THexEditor::Redo()
{
    UndoRedo(true);
}

bool THexEditor::UndoRedo(bool redo)
{
    // The log's news comes once, after the cursor went to the change.
    TChangeEntry entry;
    ++FLogHold;
    const bool taken = redo ? FDocument->Redo(&entry) : FDocument->Undo(&entry);
    if (taken) {
        FollowDocumentSize();
        if (TChangeLog::IsRange(entry.Kind)) {
            ClearSelection();
            MoveCursor(entry.Offset);
        } else if (entry.Kind == TChangeLog::ckByte || entry.Kind == TChangeLog::ckWord) {
            MoveCursor(entry.Offset);
        }
        // Back at the bytes on disk: nothing is left to save.
        if (FDirty && FDocument->AtSavePoint())
            SetDirty(0);
    }
    --FLogHold;
    if (taken)
        ChangeLogUpdate();
    return taken;
}
