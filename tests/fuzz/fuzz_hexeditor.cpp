// The hex editor driven by a stream of operations decoded from the fuzzer's
// bytes: navigation keys (with Shift, selecting), typed characters in either
// mode, clicks, property changes within the control's data model, undo,
// redo, searches, inserts, deletes, block writes, replace-all, pastes of
// any clipboard content and cuts, and loads and saves of small files in a
// temporary folder, read whole or in tiny pages, and the file cut short by
// "another program" while it is open.
//
// After every operation that moves the cursor, the cursor is inside the
// buffer; after every operation, the file name and message are terminated
// within their 1024 bytes, both change-log stacks are within their capacity
// and, while no step changed the size, every logged change starts inside
// the buffer; the selection lies inside the buffer. A keystroke that changes
// no byte records nothing and leaves the dirty flag alone. Whenever the undo
// stack is empty and nothing has fallen off it (and no group longer than the
// four bytes a word entry holds was edited, and the file read from was not
// cut short), the buffer equals the one the log started from. At the end everything is undone and checked
// the same way, then redone and compared with the edited buffer. Each search
// is checked against a plain scan; each save against the file on disk; each
// load against the bytes written.
#include "FuzzCheck.h"
#include "QtFuzzEnv.h"

#include "Changelog.h"
#include "Hexcontrol.h"
#include "Numbase.h"

#include <QAction>
#include <QByteArray>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTreeWidget>

#include <cctype>
#include <cstring>

namespace {

constexpr int NavigationKeys[] = {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home,
                                  Qt::Key_Left,   Qt::Key_Up,       Qt::Key_Right, Qt::Key_Down};

QByteArray Buffer(const THexEditor& e)
{
    QByteArray bytes(int(qMin(e.DataSize(), e.Document()->Size())), '\0');
    e.Document()->Read(0, bytes.data(), bytes.size());
    return bytes;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The pattern a search with this text and mode looks for; false when the
// search can find nothing at all.
bool ReferencePattern(const QByteArray& rawText, int mode, QByteArray* pattern)
{
    QByteArray text = rawText;
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    int b = 0;
    while (b < text.size() && IsSpace(text[b]))
        ++b;
    text = text.mid(b, 1023);
    while (!text.isEmpty() && IsSpace(text.back()))
        text.chop(1);
    if (mode == THexEditor::smText) {
        *pattern = text;
        return true;
    }
    unsigned char bytes[1024];
    if (mode == THexEditor::smDecimal) {
        const int n = DecimalTextToBytes(text.constData(), bytes);
        *pattern = QByteArray(reinterpret_cast<const char*>(bytes), n);
        return true;
    }
    if (mode == THexEditor::smHex) {
        const int n = HexTextToBytes(text.constData(), bytes);
        *pattern = QByteArray(reinterpret_cast<const char*>(bytes), n);
        return n > 0;
    }
    return false;
}

// The first candidate at or after `start` whose bytes equal the pattern.
qint64 ReferenceFind(const QByteArray& data, qint64 start, const QByteArray& pattern, bool fold)
{
    for (qint64 at = qMax(start, qint64(0)); at + pattern.size() <= data.size(); ++at) {
        int i = 0;
        while (i < pattern.size()
               && (fold ? Fold(data[at + i]) == Fold(pattern[i]) : data[at + i] == pattern[i]))
            ++i;
        if (i == pattern.size())
            return at;
    }
    return -1;
}

// `sized`: no step in the log changes the size, so every entry's offset is
// an offset of the buffer as it is.
void CheckEntry(const TChangeEntry& entry, qint64 size, bool sized)
{
    FUZZ_CHECK(entry.Kind >= TChangeLog::ckByte && entry.Kind <= TChangeLog::ckReplaceAll);
    FUZZ_CHECK(entry.Offset >= 0 && (!sized || entry.Offset < size));
    FUZZ_CHECK(TChangeLog::IsRange(entry.Kind) == bool(entry.Data));
    if (entry.Kind == TChangeLog::ckByte)
        FUZZ_CHECK(entry.OldValue <= 0xFFu && entry.NewValue <= 0xFFu);
}

// Types one character. A keystroke that changes no byte records nothing and
// leaves the dirty flag as it was.
void Type(THexEditor& editor, char c)
{
    const QByteArray before = Buffer(editor);
    const unsigned revision = editor.ChangeLog().Revision;
    const bool dirty = editor.Dirty();
    editor.KeyPress(c);
    if (Buffer(editor) == before) {
        FUZZ_CHECK(editor.ChangeLog().Revision == revision);
        FUZZ_CHECK(editor.Dirty() == dirty);
    }
}

class TModel
{
public:
    explicit TModel(THexEditor& editor) : FEditor(editor) { Restart(); }

    void Restart()
    {
        FBase = Buffer(FEditor);
        FExact = !FSourceCut;
        FOverflowed = false;
    }

    // The file read from was cut short: its bytes read differently now.
    void SourceCut(bool cut)
    {
        FSourceCut = cut;
        if (cut)
            FExact = false;
    }
    bool Cut() const { return FSourceCut; }

    // Checked after every operation.
    // cursorMoved: the operation ended in a cursor move, which brings the
    // cursor inside a buffer that is not empty. (Without one, the cursor may
    // stay past the end: a cursor placed while the buffer was empty keeps
    // its offset when a larger buffer replaces it.)
    void Check(bool cursorMoved)
    {
        const TChangeLog& log = FEditor.ChangeLog();
        const qint64 size = FEditor.DataSize();
        const qint64 cursor = FEditor.GetCursorOffset();
        FUZZ_CHECK(size >= 0);
        FUZZ_CHECK(cursor >= 0);
        if (cursorMoved)
            FUZZ_CHECK(size == 0 || cursor < size || (FEditor.InsertMode() && cursor == size));
        FUZZ_CHECK(FEditor.SelectionLength() >= 0 && FEditor.SelectionStart() >= 0
                   && FEditor.SelectionStart() + FEditor.SelectionLength() <= size);
        FUZZ_CHECK(log.UndoCount >= 0 && log.UndoCount <= TChangeLog::Capacity);
        FUZZ_CHECK(log.RedoCount >= 0 && log.RedoCount <= TChangeLog::Capacity);
        // A change is only recorded where there is a byte to change (a group
        // change at a group that starts inside the buffer).
        bool sized = true;
        for (const auto* stack : {&log.UndoEntries, &log.RedoEntries})
            for (const TChangeEntry& e : *stack)
                sized = sized && (!e.Data || e.OldLength == e.NewLength);
        for (int i = 0; i < log.UndoCount; ++i)
            CheckEntry(log.UndoEntries[size_t(i)], size, sized);
        for (int i = 0; i < log.RedoCount; ++i)
            CheckEntry(log.RedoEntries[size_t(i)], size, sized);

        if (log.UndoCount == 0 && log.RedoCount == 0) {
            // A fresh log: whatever the buffer holds now is where undo leads.
            Restart();
            return;
        }
        // A word entry holds at most four bytes: a longer group keeps only
        // its last four, so undo restores something else than was there.
        // (A group length changed between an edit and its undo is fine: the
        // entry records how many bytes it covers.)
        if (FEditor.BytesPerGroup() > 4)
            FExact = false;
        if (log.UndoCount == TChangeLog::Capacity || (log.Depth() > 0 && log.UndoCount >= log.Depth()))
            FOverflowed = true;
        if (log.UndoCount == 0 && FExact && !FOverflowed)
            FUZZ_CHECK(Buffer(FEditor) == FBase);
    }

    void UndoAllRedoAll()
    {
        TChangeLog const& log = FEditor.ChangeLog();
        if (log.UndoCount == 0)
            return;
        const bool redoClean = log.RedoCount == 0;
        const QByteArray edited = Buffer(FEditor);
        for (int guard = 0; log.UndoCount > 0 && guard <= TChangeLog::Capacity; ++guard)
            FEditor.Undo();
        FUZZ_CHECK(log.UndoCount == 0);
        if (FExact && !FOverflowed)
            FUZZ_CHECK(Buffer(FEditor) == FBase);
        for (int guard = 0; log.RedoCount > 0 && guard <= TChangeLog::Capacity; ++guard)
            FEditor.Redo();
        FUZZ_CHECK(log.RedoCount == 0);
        if (FExact && redoClean)
            FUZZ_CHECK(Buffer(FEditor) == edited);
    }

private:
    THexEditor& FEditor;
    QByteArray FBase;
    bool FExact = true;
    bool FOverflowed = false;
    bool FSourceCut = false;
};

void CheckSearch(THexEditor& editor, TFuzzInput& in)
{
    const unsigned char how = in.Byte();
    const int mode = 1 + how % 4; // 4 is no search mode at all
    const int flags = ((how >> 2) & 1 ? THexEditor::sfMatchCase : 0) | ((how >> 3) & 1 ? THexEditor::sfFromCursor : 0);
    size_t length = 0;
    const unsigned char* p = in.Bytes(24, &length);
    QByteArray text(reinterpret_cast<const char*>(p), int(length));
    // Now and then a pattern longer than the control keeps (1023 characters).
    if ((how & 0x30) == 0x30 && !text.isEmpty())
        text = text.repeated(1 + 1500 / text.size()).left(1500);
    const QByteArray data = Buffer(editor);
    const qint64 start = (flags & THexEditor::sfFromCursor) ? editor.GetCursorOffset() + 1 : 0;

    const qint64 found = editor.FindFirst(QByteArray(text).append('\0').constData(), mode, flags);
    QByteArray pattern;
    if (!ReferencePattern(text, mode, &pattern)) {
        FUZZ_CHECK(found == -1);
        return;
    }
    const bool fold = mode == THexEditor::smText && !(flags & THexEditor::sfMatchCase);
    qint64 expected = ReferenceFind(data, start, pattern, fold);
    FUZZ_CHECK(found == expected);
    // A few more: each carries on one byte after the last match, and once
    // nothing is left every call says so.
    for (int i = 0; i < 3; ++i) {
        const qint64 next = editor.FindNext();
        expected = expected < 0 ? -1 : ReferenceFind(data, expected + 1, pattern, fold);
        FUZZ_CHECK(next == expected);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TFuzzInput in(data, size);
    THexEditor editor;
    editor.resize(420, 260);
    QTreeWidget list;
    QAction undoItem(QStringLiteral("Undo"), nullptr);
    QAction redoItem(QStringLiteral("Redo"), nullptr);
    const QString dir = FuzzTempDir().path();
    const QByteArray file = QDir(dir).filePath(QStringLiteral("hex.bin")).toLocal8Bit();
    const QByteArray missing = QDir(dir).filePath(QStringLiteral("missing/none.bin")).toLocal8Bit();
    TModel model(editor);

    for (int ops = 0; !in.Empty() && ops < 400; ++ops) {
        const int op = in.Byte() % 32;
        // Navigation keys, SetCursorOffset and a successful load all end in
        // MoveCursor.
        const bool cursorMoved = op == 0 || op == 15 || op == 16;
        switch (op) {
        case 0: {
            const unsigned char b = in.Byte();
            int key = NavigationKeys[b % 8];
            editor.KeyDown(key, (b & 0x80) ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        }
        case 1: {
            Type(editor, char(in.Byte()));
            break;
        }
        case 2: {
            // A burst of typing, mostly digits of the current base.
            size_t n = 0;
            const unsigned char* p = in.Bytes(16, &n);
            for (size_t i = 0; i < n; ++i) {
                static const char digits[] = "0123456789abcdefABCDEF xz";
                char c = (p[i] & 0x80) ? char(p[i] & 0x7F) : digits[p[i] % (sizeof digits - 1)];
                Type(editor, c);
            }
            break;
        }
        case 3: {
            const int x = int(in.Word16() % unsigned(editor.width() + 40)) - 20;
            const int y = int(in.Word16() % unsigned(editor.height() + 40)) - 20;
            editor.MouseDown(Qt::LeftButton, Qt::NoModifier, x, y);
            const int at = editor.GetMouseOffset(x, y);
            FUZZ_CHECK(at >= -1);
            break;
        }
        case 4: {
            QImage image(editor.size(), QImage::Format_RGB32);
            editor.render(&image);
            break;
        }
        case 5: {
            const unsigned char b = in.Byte();
            // Mostly ordinary widths; sometimes wider than the hit-test table.
            editor.SetBytesPerLine(b < 200 ? 1 + b % 40 : 100 + b);
            break;
        }
        case 6: {
            const int group = 1 + in.Byte() % 6;
            editor.SetBytesPerGroup(group);
            break;
        }
        case 7: editor.SetBaseBytes((in.Byte() & 1) ? 10 : 16); break;
        case 8: editor.SetBaseOffset((in.Byte() & 1) ? 10 : 16); break;
        case 9: editor.SetCursorPanel(in.Byte() % 3); break;
        case 10: editor.SetReadOnly(in.Byte() & 1); break;
        case 11: editor.Undo(); break;
        case 12: editor.Redo(); break;
        case 13: CheckSearch(editor, in); break;
        case 14: {
            const QByteArray before = Buffer(editor);
            QFile saved(QString::fromLocal8Bit(file));
            const QByteArray onDisk = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
            saved.close();
            const int result = editor.SaveToFile(file.constData());
            // Bytes the cut file no longer holds are never saved as zeros:
            // the save fails and the file stays as it was.
            FUZZ_CHECK(result == THexEditor::frOk || (result == THexEditor::frSourceLost && model.Cut()));
            FUZZ_CHECK(saved.open(QIODevice::ReadOnly));
            FUZZ_CHECK(saved.readAll() == (result == THexEditor::frOk ? before : onDisk));
            if (result == THexEditor::frOk) {
                FUZZ_CHECK(!editor.Dirty());
                FUZZ_CHECK(Buffer(editor) == before);
                model.SourceCut(false);
            }
            break;
        }
        case 15: {
            size_t n = 0;
            const unsigned char* p = in.Bytes(200, &n);
            const QByteArray bytes(reinterpret_cast<const char*>(p), int(n));
            {
                QFile out(QString::fromLocal8Bit(file));
                FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                FUZZ_CHECK(out.write(bytes) == bytes.size());
            }
            // Read whole, or in pages of a few bytes through a cache of a few
            // pages.
            const unsigned char paging = in.Byte();
            editor.Document()->SetMemoryLimit((paging & 1) ? 0 : THexDocument::DefaultMemoryLimit);
            editor.Document()->SetPaging(1 + (paging >> 1) % 32, 64);
            FUZZ_CHECK(editor.LoadFromFile(file.constData()) == THexEditor::frOk);
            model.SourceCut(false);
            FUZZ_CHECK(Buffer(editor) == bytes);
            FUZZ_CHECK(editor.GetCursorOffset() == 0);
            FUZZ_CHECK(editor.ChangeLog().UndoCount == 0 && editor.ChangeLog().RedoCount == 0);
            FUZZ_CHECK(!editor.Dirty());
            FUZZ_CHECK(editor.Message()[0] == '\0');
            break;
        }
        case 16: editor.SetCursorOffset(qint64(qint32(in.Word32()))); break;
        case 17: editor.resize(1 + int(in.Word16() % 900), 1 + int(in.Word16() % 600)); break;
        case 18:
            if (in.Byte() & 1)
                editor.SetNull();
            else
                editor.SetNotLoaded();
            FUZZ_CHECK(editor.DataSize() == 1024);
            FUZZ_CHECK(Buffer(editor) == QByteArray(1024, '\0'));
            break;
        case 19: {
            const unsigned value = in.Word32();
            if (in.Byte() & 1)
                editor.SetCursorWord(value);
            else
                editor.SetCursorByte(static_cast<unsigned char>(value));
            break;
        }
        case 20: {
            const qint64 offset = qint64((quint64(qint64(qint32(in.Word32()))) << 16) ^ in.Word16());
            char text[THexEditor::TextSize];
            editor.FormatOffset(offset, text);
            FUZZ_CHECK(std::strlen(text) < sizeof text);
            FUZZ_CHECK(editor.DecodeOffset(text) == offset);
            break;
        }
        case 21: editor.AnimateCursor(); break;
        case 22: {
            const QByteArray before = Buffer(editor);
            FUZZ_CHECK(editor.LoadFromFile(missing.constData()) == THexEditor::frCannotOpen);
            FUZZ_CHECK(Buffer(editor) == before);
            FUZZ_CHECK(editor.ChangeLog().UndoCount == 0);
            break;
        }
        case 23:
            editor.ChangeLogToListView(&list);
            FUZZ_CHECK(list.topLevelItemCount() == qMin(editor.ChangeLog().UndoCount, 256));
            editor.RedoLogToListView(&list);
            FUZZ_CHECK(list.topLevelItemCount() == qMin(editor.ChangeLog().RedoCount, 256));
            editor.ChangeLogToMenuItem(&undoItem, &redoItem);
            FUZZ_CHECK(undoItem.isEnabled() == (editor.ChangeLog().UndoCount > 0));
            FUZZ_CHECK(redoItem.isEnabled() == (editor.ChangeLog().RedoCount > 0));
            break;
        case 24: {
            // Any name, up to twice what the control keeps.
            size_t n = 0;
            const unsigned char* p = in.Bytes(40, &n);
            QByteArray name(reinterpret_cast<const char*>(p), int(n));
            name.replace('\0', "");
            if (in.Byte() & 1)
                name = name.repeated(name.isEmpty() ? 0 : 1 + 2048 / name.size()).left(2048);
            editor.ChangeFileName(name.constData());
            const QByteArray kept(editor.FileName());
            FUZZ_CHECK(kept.size() < THexEditor::TextSize);
            FUZZ_CHECK(name.startsWith(kept));
            FUZZ_CHECK(kept.size() == qMin(name.size(), THexEditor::TextSize - 1));
            FUZZ_CHECK(editor.LoadFromFile((QByteArray(missing) + name.left(3000)).constData())
                       == THexEditor::frCannotOpen);
            break;
        }
        case 25: {
            // Another program cuts the file short while it is open.
            QFile out(QString::fromLocal8Bit(file));
            if (out.exists() && out.resize(out.size() * in.Byte() / 256)) {
                editor.Document()->CheckSource();
                model.SourceCut(!editor.Document()->InMemory());
            }
            break;
        }
        case 26: editor.SetInsertMode(in.Byte() & 1); break;
        case 27: {
            // Delete, Backspace, select all, copy, cut, as keys.
            static const int keys[] = {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_A, Qt::Key_C, Qt::Key_X};
            const unsigned char b = in.Byte();
            const int key = keys[b % 5];
            QKeyEvent press(QEvent::KeyPress, key, key >= Qt::Key_A ? Qt::ControlModifier : Qt::NoModifier);
            QCoreApplication::sendEvent(&editor, &press);
            break;
        }
        case 28: {
            // Any clipboard content: text in either panel, or raw bytes.
            const unsigned char how = in.Byte();
            size_t n = 0;
            const unsigned char* p = in.Bytes(64, &n);
            QByteArray bytes(reinterpret_cast<const char*>(p), int(n));
            if (how & 0x10)
                bytes = bytes.repeated(1 + (how >> 5) * 40); // longer pastes now and then
            QMimeData data;
            if (how & 1)
                data.setData(QStringLiteral("application/octet-stream"), bytes);
            else
                data.setText(QString::fromLatin1(bytes));
            const qint64 size = editor.DataSize();
            editor.PasteData(&data);
            if (!editor.InsertMode())
                FUZZ_CHECK(editor.DataSize() == size);
            break;
        }
        case 29: {
            const qint64 at = qint64(in.Word16() % 1200) - 50;
            const qint64 length = qint64(in.Word16() % 300) - 20;
            size_t n = 0;
            const unsigned char* p = in.Bytes(40, &n);
            const QByteArray bytes(reinterpret_cast<const char*>(p), int(n));
            const qint64 size = editor.DataSize();
            switch (in.Byte() % 4) {
            case 0: editor.InsertBytes(at, bytes); break;
            case 1: editor.DeleteBytes(at, length); break;
            case 2:
                editor.OverwriteBytes(at, bytes);
                FUZZ_CHECK(editor.DataSize() == size); // never past the end
                break;
            default: editor.SetSelection(at, length); break;
            }
            break;
        }
        case 30: {
            size_t n = 0;
            const unsigned char* p = in.Bytes(6, &n);
            const QByteArray pattern = QByteArray(reinterpret_cast<const char*>(p), int(n)).append('\0');
            const QByteArray with = QByteArray(reinterpret_cast<const char*>(in.Bytes(6, &n)), int(n)).append('\0');
            const qint64 count = editor.ReplaceAll(pattern.constData(), THexEditor::smHex, 0, with.constData());
            FUZZ_CHECK(count >= THexEditor::ReplaceRefused);
            break;
        }
        case 31: editor.SetUndoDepth(in.Byte() % 8 == 0 ? int(in.Byte() % 40) : TChangeLog::Capacity); break;
        }
        FUZZ_CHECK(strnlen(editor.FileName(), THexEditor::TextSize) < size_t(THexEditor::TextSize));
        FUZZ_CHECK(strnlen(editor.Message(), THexEditor::TextSize) < size_t(THexEditor::TextSize));
        model.Check(cursorMoved);
    }
    model.UndoAllRedoAll();
    model.Check(false);
    return 0;
}
