// THexEditor: the change log shown in the host's controls (a report-style
// tree widget for either stack, captions of the Undo and Redo actions) and
// the value texts those are made of.
//
// Text outputs other than GetRowAscii's must hold TextSize (1024) bytes;
// every text written here is cut to fit.
#include "Hexcontrol.h"
#include "Hexinternal.h"

#include <QAction>
#include <QTreeWidget>

#include <cstdio>

namespace {

// Entries shown at most in one list.
const int ListRows = 256;

const char UndoName[] = "Undo";
const char RedoName[] = "Redo";

const char* KindName(int kind)
{
    switch (kind) {
    case TChangeLog::ckByte: return "byte";
    case TChangeLog::ckWord: return "word";
    case TChangeLog::ckInsert: return "insert";
    case TChangeLog::ckDelete: return "delete";
    case TChangeLog::ckOverwrite: return "overwrite";
    case TChangeLog::ckPaste: return "paste";
    case TChangeLog::ckCut: return "cut";
    case TChangeLog::ckReplace: return "replace";
    case TChangeLog::ckReplaceAll: return "replace all";
    default: return nullptr;
    }
}

// Bytes a list row shows of a range step's side; more are counted.
const int PreviewBytes = 4;

QString Preview(const QByteArray& bytes, long long length)
{
    QString text = QString::fromLatin1(HexPairs(bytes));
    if (length > bytes.size())
        text += QStringLiteral(" ... (%1 bytes)").arg(length);
    return text;
}

QTreeWidgetItem* NewLogItem(const TChangeEntry& entry, const THexDocument& doc)
{
    char text[32];
    auto* item = new QTreeWidgetItem;
    std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(entry.Offset));
    item->setText(0, QString::fromLatin1(text));
    if (const char* name = KindName(entry.Kind))
        item->setText(1, QString::fromLatin1(name));
    if (TChangeLog::IsRange(entry.Kind)) {
        // The first part; every part of a replace-all is alike.
        const long long parts = entry.Parts > 0 ? entry.Parts : 1;
        item->setText(2, Preview(doc.StepBytes(entry, false, PreviewBytes), entry.OldLength / parts));
        item->setText(3, Preview(doc.StepBytes(entry, true, PreviewBytes), entry.NewLength / parts));
        return item;
    }
    std::snprintf(text, sizeof text, "%02X", entry.OldValue);
    item->setText(2, QString::fromLatin1(text));
    std::snprintf(text, sizeof text, "%02X", entry.NewValue);
    item->setText(3, QString::fromLatin1(text));
    return item;
}

// The newest ListRows entries, oldest first, the last row scrolled into
// view; the view repaints once, at the end.
void FillLogView(QTreeWidget* view, const std::deque<TChangeEntry>& entries, int count, const THexDocument& doc)
{
    if (!view)
        return;
    const bool updates = view->updatesEnabled();
    view->setUpdatesEnabled(false);
    view->clear();
    const int first = count > ListRows ? count - ListRows : 0;
    QList<QTreeWidgetItem*> items;
    items.reserve(count > first ? count - first : 0);
    for (int i = first; i < count; ++i)
        items.append(NewLogItem(entries[size_t(i)], doc));
    view->addTopLevelItems(items);
    if (!items.isEmpty())
        view->scrollToItem(items.last(), QAbstractItemView::EnsureVisible);
    view->setUpdatesEnabled(updates);
}

// "1 byte", "3 bytes".
void ByteCount(long long n, char* out, size_t size)
{
    std::snprintf(out, size, n == 1 ? "%lld byte" : "%lld bytes", n);
}

} // namespace

void THexEditor::ChangeLogToListView(QTreeWidget* view)
{
    const TChangeLog& log = FDocument->ChangeLog();
    FillLogView(view, log.UndoEntries, log.UndoCount, *FDocument);
}

void THexEditor::RedoLogToListView(QTreeWidget* view)
{
    const TChangeLog& log = FDocument->ChangeLog();
    FillLogView(view, log.RedoEntries, log.RedoCount, *FDocument);
}

void THexEditor::ChangeLogToMenuItem(QAction* undoItem, QAction* redoItem)
{
    // The newest entry of the stack as caption, or just the name, disabled,
    // when the stack is empty.
    auto setAction = [this](QAction* item, const char* name, const std::deque<TChangeEntry>& entries, int count) {
        if (!item)
            return;
        char caption[TextSize];
        if (count > 0)
            FormatChangeEntry(&entries[size_t(count - 1)], name, caption);
        item->setText(QString::fromLatin1(count > 0 ? caption : name));
        item->setEnabled(count > 0);
    };
    const TChangeLog& log = FDocument->ChangeLog();
    setAction(undoItem, UndoName, log.UndoEntries, log.UndoCount);
    setAction(redoItem, RedoName, log.RedoEntries, log.RedoCount);
}

void THexEditor::FormatChangeEntry(const TChangeEntry* entry, const char* name, char* out)
{
    char offsetText[TextSize];
    char oldText[TextSize] = "";
    char newText[TextSize] = "";
    FormatOffset(entry->Offset, offsetText);
    if (TChangeLog::IsRange(entry->Kind)) {
        // "Undo insert 00000010: 3 bytes", "Undo paste 00000010: 4 --> 16
        // bytes", "Undo replace all 00000010: 12 matches".
        char amount[96];
        const long long o = entry->OldLength, n = entry->NewLength;
        if (entry->Parts > 1)
            std::snprintf(amount, sizeof amount, "%lld matches", entry->Parts);
        else if (o == 0 || n == 0 || o == n)
            ByteCount(o == 0 ? n : o, amount, sizeof amount);
        else
            std::snprintf(amount, sizeof amount, "%lld --> %lld bytes", o, n);
        if (std::snprintf(out, TextSize, "%s %s %s: %s", name ? name : "", KindName(entry->Kind), offsetText,
                          amount) < 0)
            out[0] = '\0';
        return;
    }
    if (entry->Kind == TChangeLog::ckByte) {
        FormatByte(entry->OldValue, oldText);
        FormatByte(entry->NewValue, newText);
    } else if (entry->Kind == TChangeLog::ckWord) {
        FormatWord(entry->OldValue, oldText);
        FormatWord(entry->NewValue, newText);
    }
    // A name or group text too long for the output is cut.
    if (std::snprintf(out, TextSize, "%s %s: %s --> %s", name ? name : "", offsetText, oldText, newText) < 0)
        out[0] = '\0';
}

// Values are unsigned: a byte or group read from the buffer is never
// negative, so decimal texts use %u rather than showing a minus sign for
// groups of 0x80000000 and above.
void THexEditor::FormatByte(unsigned value, char* out)
{
    if (FBaseBytes == 16)
        std::snprintf(out, TextSize, "%02X", value);
    else if (FBaseBytes == 10)
        std::snprintf(out, TextSize, "%03u", value);
    else
        out[0] = '\0';
}

void THexEditor::FormatWord(unsigned value, char* out)
{
    // Zero-fill widths beyond the buffer only add zeros; keep them in range.
    auto width = [](long long digits) {
        return static_cast<int>(digits < 0 ? 0 : digits > TextSize - 1 ? TextSize - 1 : digits);
    };
    if (FBaseBytes == 16)
        std::snprintf(out, TextSize, "%0*X", width(2LL * FBytesPerGroup), value);
    else if (FBaseBytes == 10)
        std::snprintf(out, TextSize, "%0*u", width(FCellDigits), value);
    else
        out[0] = '\0';
}

void THexEditor::GetWordText(qint64 offset, char* out)
{
    FormatWord(GetWord(offset), out);
}

void THexEditor::GetRowAscii(qint64 offset, char* out)
{
    const int count = FBytesPerLine > 0 ? FBytesPerLine : 0;
    for (int i = 0; i < count; ++i) {
        // Offsets outside the data read as 0.
        const unsigned char c = GetByte(offset + i);
        out[i] = c < 32 ? '.' : static_cast<char>(c);
    }
    out[count] = '\0';
}
