// THexEditor: searching the buffer for text, a decimal number or a hex byte
// string. The search state lives from FindFirst to the next FindFirst;
// FSearchPos holds the last candidate offset examined, so each FindNext
// carries on one byte after the previous match (matches may overlap) and,
// once the candidates have run out, keeps returning -1.
#include "Hexcontrol.h"

#include "Hexscan.h"
#include "Numbase.h"
#include "Strutil.h"

#include <cstring>

int THexEditor::FindFirst(const char* text, int mode, int flags)
{
    // Leading white space is skipped before the copy, so a long pattern
    // after many blanks keeps its first 1023 characters.
    const char* src = SkipLeadingSpace(text ? text : "");
    const size_t len = strnlen(src, sizeof(FSearchText) - 1);
    std::memcpy(FSearchText, src, len);
    FSearchText[len] = '\0';
    StripTrailingSpace(FSearchText);

    FSearchMode = mode;
    FSearchFlags = flags;
    // FindNext starts one past FSearchPos.
    FSearchPos = (flags & sfFromCursor) ? FCursorOffset : -1;
    return FindNext();
}

int THexEditor::FindNext()
{
    switch (FSearchMode) {
    case smText: return FindNextAscii();
    case smDecimal: return FindNextDecimal();
    case smHex: return FindNextHex();
    default: return -1;
    }
}

int THexEditor::FindNextAscii()
{
    const int n = static_cast<int>(std::strlen(FSearchText));
    return HexScanFind(FData, FDataSize, FSearchPos + 1LL,
                       reinterpret_cast<const unsigned char*>(FSearchText), n,
                       (FSearchFlags & sfMatchCase) == 0, &FSearchPos);
}

int THexEditor::FindNextDecimal()
{
    unsigned char pattern[4];
    const int n = DecimalTextToBytes(FSearchText, pattern);
    return HexScanFind(FData, FDataSize, FSearchPos + 1LL, pattern, n, false, &FSearchPos);
}

int THexEditor::FindNextHex()
{
    // One byte per hex digit at most, and the text holds at most 1023.
    unsigned char pattern[sizeof(FSearchText)];
    const int n = HexTextToBytes(FSearchText, pattern);
    if (n == 0)
        return -1;
    return HexScanFind(FData, FDataSize, FSearchPos + 1LL, pattern, n, false, &FSearchPos);
}
