#pragma once
// THexGoto: the text of a "Go to offset" field read as an offset, with no
// widget, for a host that lets the user jump through a THexEditor
// (editor->SetCursorOffset(offset) then moves the cursor and scrolls it into
// view). The syntax, which Syntax() puts in words for the user:
//   1234       decimal
//   0x4D2      hexadecimal (0x or 0X, digits of either case)
//   +16, -0x10 relative to the cursor, forwards or backwards
//   end-16     16 bytes before the end: end-1 is the last byte; "end" alone
//              is the last byte too
// White space around the text and beside the sign is allowed. Offsets are
// 64-bit. Text that is none of these, a number past 2^63 - 1, and an offset
// before the start or past the last byte are refused with a sentence saying
// why. An empty document takes offset 0 only.
#include <QCoreApplication>
#include <QString>

class THexGoto
{
    Q_DECLARE_TR_FUNCTIONS(THexGoto)
public:
    // The offset `text` names, for a cursor at `cursor` in `size` bytes.
    // False, with `error` saying why, when it names none.
    static bool Read(const QString& text, qint64 cursor, qint64 size, qint64* offset, QString* error);
    // The syntax in one line, for the dialog that asks.
    static QString Syntax();
};
