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

qint64 THexEditor::FindFirst(const char* text, int mode, int flags)
{
    KeepSearchText(FSearchText, sizeof FSearchText, text);
    FSearchMode = mode;
    FSearchFlags = flags;
    // FindNext starts one past FSearchPos.
    FSearchPos = (flags & sfFromCursor) ? FCursorOffset : -1;
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
    KeepSearchText(FSearchText, sizeof FSearchText, text);
    FSearchMode = mode;
    FSearchFlags = flags;
    FSearchPos = (flags & sfFromCursor) ? FCursorOffset : -1;
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
    const bool fold = FSearchMode == smText && (FSearchFlags & sfMatchCase) == 0;
    FFinding = FDocument->StartFind(FSearchPos + 1, pattern, fold);
    return FFinding;
}
