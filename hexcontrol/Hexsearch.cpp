// THexEditor: searching the document for text, a decimal number or a hex
// byte string. The search state lives from FindFirst (or StartFindFirst) to
// the next one; FSearchPos holds the last candidate offset examined, so each
// FindNext carries on one byte after the previous match (matches may
// overlap) and, once the candidates have run out, keeps returning -1.
#include "Hexcontrol.h"

#include "Numbase.h"
#include "Strutil.h"

#include <cstring>

namespace {

// Sets up the search state as FindFirst does.
void KeepSearchText(char* kept, size_t room, const char* text)
{
    // Leading white space is skipped before the copy, so a long pattern
    // after many blanks keeps its first 1023 characters.
    const char* src = SkipLeadingSpace(text ? text : "");
    const size_t len = strnlen(src, room - 1);
    std::memcpy(kept, src, len);
    kept[len] = '\0';
    StripTrailingSpace(kept);
}

} // namespace

void THexEditor::KeepSearch(const char* text, int mode, int flags)
{
    KeepSearchText(FSearchText, sizeof FSearchText, text);
    FSearchMode = mode;
    FSearchFlags = flags;
    // FindNext starts one past FSearchPos.
    FSearchPos = (flags & sfFromCursor) ? FCursorOffset : -1;
}

bool THexEditor::SearchFolds() const
{
    return FSearchMode == smText && (FSearchFlags & sfMatchCase) == 0;
}

qint64 THexEditor::FindFirst(const char* text, int mode, int flags)
{
    KeepSearch(text, mode, flags);
    return FindNext();
}

qint64 THexEditor::FindNext()
{
    switch (FSearchMode) {
    case smText: return FindNextAscii();
    case smDecimal: return FindNextDecimal();
    case smHex: return FindNextHex();
    default: return -1;
    }
}

bool THexEditor::SearchPattern(QByteArray* pattern) const
{
    unsigned char bytes[sizeof FSearchText];
    int n = 0;
    switch (FSearchMode) {
    case smText:
        *pattern = QByteArray(FSearchText);
        return true;
    case smDecimal:
        n = DecimalTextToBytes(FSearchText, bytes);
        break;
    case smHex:
        // One byte per hex digit at most, and the text holds at most 1023.
        n = HexTextToBytes(FSearchText, bytes);
        if (n == 0)
            return false;
        break;
    default:
        return false;
    }
    *pattern = QByteArray(reinterpret_cast<const char*>(bytes), n);
    return true;
}

qint64 THexEditor::FindNextAscii()
{
    const int n = static_cast<int>(std::strlen(FSearchText));
    return FDocument->Find(FSearchPos + 1, reinterpret_cast<const unsigned char*>(FSearchText), n,
                           (FSearchFlags & sfMatchCase) == 0, &FSearchPos);
}

qint64 THexEditor::FindNextDecimal()
{
    unsigned char pattern[4];
    const int n = DecimalTextToBytes(FSearchText, pattern);
    return FDocument->Find(FSearchPos + 1, pattern, n, false, &FSearchPos);
}

qint64 THexEditor::FindNextHex()
{
    unsigned char pattern[sizeof(FSearchText)];
    const int n = HexTextToBytes(FSearchText, pattern);
    if (n == 0)
        return -1;
    return FDocument->Find(FSearchPos + 1, pattern, n, false, &FSearchPos);
}

bool THexEditor::StartFindFirst(const char* text, int mode, int flags)
{
    if (FDocument->Busy())
        return false;
    KeepSearch(text, mode, flags);
    return StartFindNext();
}

bool THexEditor::StartFindNext()
{
    if (FDocument->Busy())
        return false;
    QByteArray pattern;
    if (!SearchPattern(&pattern)) {
        // Nothing to look for: the answer comes at once, from the event
        // loop, as every answer of a started search does.
        QMetaObject::invokeMethod(this, [this] { emit OnFindDone(this, -1); }, Qt::QueuedConnection);
        return true;
    }
    FFindingBackward = false;
    FFinding = FDocument->StartFind(FSearchPos + 1, pattern, SearchFolds());
    return FFinding;
}

// ---------------------------------------------------------------------------
// Backwards

qint64 THexEditor::FindLast(const char* text, int mode, int flags)
{
    KeepSearch(text, mode, flags);
    // FindPrevious looks before FSearchPos: before the cursor, or anywhere.
    if (!(flags & sfFromCursor))
        FSearchPos = FDataSize;
    return FindPrevious();
}

qint64 THexEditor::FindPrevious()
{
    QByteArray pattern;
    if (!SearchPattern(&pattern) || FSearchPos <= 0)
        return -1;
    const qint64 found = FDocument->FindBackward(FSearchPos - 1, reinterpret_cast<const uchar*>(pattern.constData()),
                                                 int(pattern.size()), SearchFolds());
    if (found >= 0)
        FSearchPos = found;
    return found;
}

bool THexEditor::StartFindLast(const char* text, int mode, int flags)
{
    if (FDocument->Busy())
        return false;
    KeepSearch(text, mode, flags);
    if (!(flags & sfFromCursor))
        FSearchPos = FDataSize;
    return StartFindPrevious();
}

bool THexEditor::StartFindPrevious()
{
    if (FDocument->Busy())
        return false;
    QByteArray pattern;
    if (!SearchPattern(&pattern) || FSearchPos <= 0) {
        QMetaObject::invokeMethod(this, [this] { emit OnFindDone(this, -1); }, Qt::QueuedConnection);
        return true;
    }
    FFindingBackward = true;
    FFinding = FDocument->StartFind(FSearchPos - 1, pattern, SearchFolds(), true);
    return FFinding;
}

// ---------------------------------------------------------------------------
// Every match, and replacing

qint64 THexEditor::FindAll(const char* text, int mode, int flags)
{
    KeepSearch(text, mode, flags);
    QByteArray pattern;
    const qint64 count = SearchPattern(&pattern) ? FDocument->FindAll(pattern, SearchFolds()) : 0;
    if (count == 0)
        FDocument->ClearMatches();
    Redraw();
    return count;
}

bool THexEditor::StartFindAll(const char* text, int mode, int flags)
{
    if (FDocument->Busy())
        return false;
    KeepSearch(text, mode, flags);
    QByteArray pattern;
    if (!SearchPattern(&pattern))
        pattern.clear(); // the document answers 0 from the event loop
    FFinding = FDocument->StartFindAll(pattern, SearchFolds());
    return FFinding;
}

QByteArray THexEditor::ReplacementBytes(const char* text) const
{
    if (!text)
        text = "";
    unsigned char bytes[TextSize];
    switch (FSearchMode) {
    case smDecimal:
        return QByteArray(reinterpret_cast<const char*>(bytes), DecimalTextToBytes(text, bytes));
    case smHex: {
        // One byte per hex digit at most: the text is cut to what fits.
        char kept[TextSize];
        KeepSearchText(kept, sizeof kept, text);
        return QByteArray(reinterpret_cast<const char*>(bytes), HexTextToBytes(kept, bytes));
    }
    default:
        return QByteArray(text, int(strnlen(text, TextSize - 1)));
    }
}

bool THexEditor::ReplaceMatch(const char* replacement)
{
    QByteArray pattern;
    if (!CanEdit() || !SearchPattern(&pattern) || pattern.isEmpty() || FSearchPos < 0)
        return false;
    const qint64 at = FSearchPos;
    const auto* p = reinterpret_cast<const uchar*>(pattern.constData());
    if (FDocument->Find(at, p, int(pattern.size()), SearchFolds()) != at)
        return false; // the search does not stand on a match (any more)
    const QByteArray with = ReplacementBytes(replacement);
    if (!FInsertMode && with.size() != pattern.size())
        return false;
    if (!FDocument->Replace(at, pattern.size(), with.constData(), with.size(), TChangeLog::ckReplace))
        return false;
    RangeChanged(at);
    // The next match is looked for after the replacement.
    FSearchPos = at + with.size() - 1;
    return true;
}

qint64 THexEditor::ReplaceAll(const char* text, int mode, int flags, const char* replacement)
{
    KeepSearch(text, mode, flags);
    QByteArray pattern;
    const QByteArray with = ReplacementBytes(replacement);
    if (!CanEdit() || !SearchPattern(&pattern) || pattern.isEmpty())
        return 0;
    if (!FInsertMode && with.size() != pattern.size())
        return ReplaceRefused;
    const qint64 count = FDocument->ReplaceAll(pattern, SearchFolds(), with);
    if (count > 0)
        RangeChanged(-1);
    return count;
}

bool THexEditor::StartReplaceAll(const char* text, int mode, int flags, const char* replacement)
{
    if (!CanEdit())
        return false;
    KeepSearch(text, mode, flags);
    QByteArray pattern;
    const QByteArray with = ReplacementBytes(replacement);
    // Nothing to look for, or lengths that differ in overwrite mode: the
    // answer comes from the event loop, as every answer of long work does.
    qint64 answer = 1;
    if (!SearchPattern(&pattern) || pattern.isEmpty())
        answer = 0;
    else if (!FInsertMode && with.size() != pattern.size())
        answer = ReplaceRefused;
    if (answer <= 0) {
        QMetaObject::invokeMethod(this, [this, answer] { emit OnReplaceDone(this, answer); }, Qt::QueuedConnection);
        return true;
    }
    FReplacing = FDocument->StartReplaceAll(pattern, SearchFolds(), with);
    return FReplacing;
}
