// THexEditor: copy, cut and paste. The clipboard is another program's
// input: what a paste reads is bounded by ClipboardLimit and checked before
// a byte changes, and a copy that would not fit is refused whole.
#include "Hexcontrol.h"
#include "Hexinternal.h"
#include "Numbase.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

const char kOctetStream[] = "application/octet-stream";
const char kPlainText[] = "text/plain";

// The characters the character panel shows (a zero byte as a dot), UTF-8.
QByteArray PanelText(QByteArray bytes)
{
    bytes.replace('\0', '.');
    return QString::fromLatin1(bytes).toUtf8();
}

// Hex bytes as the byte panel reads them: runs of hexadecimal digits cut
// into pairs from the left (a run of odd length ends in a one-digit byte),
// the runs apart by white space or line breaks, each with a "0x" of its own
// or none. Anything else is not hex text: false.
bool HexPasteBytes(const QString& text, QByteArray* out)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2 + 1);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        qsizetype start = i;
        while (i < n && !text[i].isSpace())
            ++i;
        if (i - start > 2 && text[start] == QLatin1Char('0')
            && (text[start + 1] == QLatin1Char('x') || text[start + 1] == QLatin1Char('X')))
            start += 2;
        int value = 0;
        for (qsizetype k = start; k < i; ++k) {
            const int d = HexDigitValue(text[k].toLatin1()); // 0 beyond Latin-1: not a digit
            if (d < 0)
                return false;
            value = (value << 4) | d;
            if ((k - start) % 2 == 1 || k + 1 == i) {
                bytes.append(char(value));
                value = 0;
            }
        }
    }
    *out = bytes;
    return true;
}

} // namespace

QMimeData* THexEditor::SelectionData()
{
    if (!HasSelection())
        return nullptr;
    if (FSelLength > ClipboardLimit) {
        emit OnClipboardRefused(this, crTooLarge, FSelLength);
        return nullptr;
    }
    QByteArray bytes(FSelLength, Qt::Uninitialized);
    FDocument->Read(FSelStart, bytes.data(), FSelLength);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kPlainText), FCursorPanel == 0 ? HexPairs(bytes) : PanelText(bytes));
    data->setData(QString::fromLatin1(kOctetStream), bytes);
    return data;
}

bool THexEditor::Copy()
{
    QMimeData* data = SelectionData();
    if (!data)
        return false;
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

bool THexEditor::Cut()
{
    // Overwriting, the size never changes: a cut only copies.
    if (!Copy())
        return false;
    if (!FInsertMode || !CanEdit())
        return true;
    const qint64 at = FSelStart;
    if (!FDocument->Remove(at, FSelLength, TChangeLog::ckCut))
        return true;
    RangeChanged(at);
    return true;
}

bool THexEditor::Paste()
{
    return PasteData(QGuiApplication::clipboard()->mimeData());
}

bool THexEditor::PasteData(const QMimeData* data)
{
    if (!data || !CanEdit())
        return false;
    QByteArray bytes;
    if (data->hasFormat(QString::fromLatin1(kOctetStream))) {
        bytes = data->data(QString::fromLatin1(kOctetStream));
    } else if (data->hasText()) {
        const QString text = data->text();
        // Three characters a byte at most ("41 "), whatever the source.
        if (text.size() / 3 > ClipboardLimit) {
            emit OnClipboardRefused(this, crTooLarge, text.size());
            return false;
        }
        if (FCursorPanel != 0) {
            bytes = text.toUtf8();
        } else if (!HexPasteBytes(text, &bytes)) {
            emit OnClipboardRefused(this, crNotHex, text.size());
            return false;
        }
    }
    if (bytes.size() > ClipboardLimit) {
        emit OnClipboardRefused(this, crTooLarge, bytes.size());
        return false;
    }
    if (bytes.isEmpty())
        return false;
    const qint64 at = HasSelection() ? FSelStart : FCursorOffset;
    bool done;
    if (FInsertMode)
        done = FDocument->Replace(at, FSelLength, bytes.constData(), bytes.size(), TChangeLog::ckPaste);
    else
        done = FDocument->OverwriteBytes(at, bytes, TChangeLog::ckPaste);
    if (!done)
        return false;
    // The cursor goes after what was pasted.
    RangeChanged(at + bytes.size());
    return true;
}
