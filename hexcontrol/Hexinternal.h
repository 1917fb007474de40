#pragma once
// Helpers shared by the units that make up THexEditor (Hexcontrol.cpp,
// Hexinput.cpp, Hexpaint.cpp, Hexaccessible.cpp...); not part of the
// control's interface.

#include <QByteArray>

// Divisor for the cursor, word and scroll arithmetic: a line or group of
// less than one byte lays out nothing (the paint shows the layout message).
inline int SafeDivisor(int n)
{
    return n > 0 ? n : 1;
}

// y of the first row, as painted, hit and told to screen readers.
const int kRowTop = 10;

// The file name of an editor that holds no file.
const char* const kNullFileName = "(null)";

// Shown instead of the rows while the layout is not valid; the paint breaks
// it into these lines, the rows' text reads it as one.
const char* const kLayoutMessage = "Please make sure the Bytes-Per-Line (BPL) setting you\n"
                                   "select is divisible by the Bytes-Per-Group (BPG) setting\n"
                                   "you have selected\n";

// Whether a line of `line` bytes splits into groups of `group` bytes.
inline bool LayoutValid(int line, int group)
{
    return line >= 1 && group >= 1 && line % group == 0;
}

// The hex pairs the byte panel shows, one space between bytes.
inline QByteArray HexPairs(const QByteArray& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text(bytes.isEmpty() ? 0 : bytes.size() * 3 - 1, ' ');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i * 3] = digits[b >> 4];
        text[i * 3 + 1] = digits[b & 15];
    }
    return text;
}
