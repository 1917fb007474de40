#include "Hexaccessible.h"

#include "Controlsaccessible.h"
#include "Hexcontrol.h"
#include "Hexinternal.h"
#include "Numbase.h"

#include <QAccessible>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPointer>

#include <type_traits>
#include <utility>

namespace {

// The editor's own offset type, whatever width its operations take.
using TEditorOffset = std::decay_t<decltype(std::declval<const THexEditor&>().GetCursorOffset())>;

bool LayoutValid(const THexEditor& editor)
{
    return ::LayoutValid(editor.BytesPerLine(), editor.BytesPerGroup());
}

// The paint's layout message, as one line.
QString LayoutMessage()
{
    return QString::fromLatin1(kLayoutMessage).simplified();
}

QChar CellChar(unsigned char byte)
{
    // Control characters read as the panel's dot does for 0.
    return (byte < 32 || (byte >= 127 && byte < 160)) ? QLatin1Char('.') : QChar(byte);
}

QString Padded(qint64 value, int base, int digits)
{
    return QString::number(value, base).toUpper().rightJustified(digits, QLatin1Char('0'));
}

} // namespace

// ---- the rows as text -------------------------------------------------------

THexRowsText::THexRowsText(const THexEditor& editor)
{
    if (editor.Message()[0] != '\0') {
        FText = QString::fromLatin1(editor.Message()).trimmed();
        return;
    }
    if (!LayoutValid(editor)) {
        FText = LayoutMessage();
        return;
    }
    FFirst = editor.FirstVisible();
    FSize = editor.DataSize();
    FBytesPerLine = editor.BytesPerLine();
    FBytesPerGroup = editor.BytesPerGroup();
    FDecimal = editor.BaseBytes() == 10;
    FDigits = FDecimal ? DecimalDigitsForBytes(FBytesPerGroup) : 2;
    for (int row = 0; row < editor.VisibleRows() && FFirst + qint64(row) * FBytesPerLine < FSize; ++row)
        FRows = row + 1;
    if (FRows == 0)
        return;

    const int addressBase = editor.BaseOffset() == 10 ? 10 : 16;
    // As wide as the painted column: set by the data's size, not the rows shown.
    const int addressDigits = editor.OffsetDigits(addressBase, 8);
    const int groups = FBytesPerLine / FBytesPerGroup;
    const int bytesWidth = FDecimal ? groups * (FDigits + 1) - 1 : FBytesPerLine * 3 - 1 + (groups - 1);
    FBytesColumn = addressDigits + 2;
    FCharsColumn = FBytesColumn + bytesWidth + 2;
    FRowLength = FCharsColumn + FBytesPerLine + 1;

    FText.reserve(qsizetype(FRows) * FRowLength);
    for (int row = 0; row < FRows; ++row) {
        const qint64 start = FFirst + qint64(row) * FBytesPerLine;
        QString line = Padded(start, addressBase, addressDigits) + QLatin1String("  ");
        if (FDecimal) {
            for (int g = 0; g < groups; ++g) {
                const qint64 at = start + qint64(g) * FBytesPerGroup;
                if (g > 0)
                    line += QLatin1Char(' ');
                if (at < FSize) {
                    quint64 value = 0;
                    for (int i = 0; i < FBytesPerGroup; ++i)
                        value = (value << 8) | (at + i < FSize ? editor.GetByte(TEditorOffset(at + i)) : 0);
                    line += Padded(qint64(value & 0xFFFFFFFFu), 10, FDigits);
                } else {
                    line += QString(FDigits, QLatin1Char(' '));
                }
            }
        } else {
            for (int c = 0; c < FBytesPerLine; ++c) {
                const qint64 at = start + c;
                if (c > 0)
                    line += c % FBytesPerGroup == 0 ? QLatin1String("  ") : QLatin1String(" ");
                line += at < FSize ? Padded(editor.GetByte(TEditorOffset(at)), 16, 2) : QStringLiteral("  ");
            }
        }
        line += QLatin1String("  ");
        for (int c = 0; c < FBytesPerLine; ++c) {
            const qint64 at = start + c;
            line += at < FSize ? CellChar(editor.GetByte(TEditorOffset(at))) : QChar(QLatin1Char(' '));
        }
        if (row + 1 < FRows)
            line += QLatin1Char('\n');
        FText += line;
    }
}

int THexRowsText::PositionOf(qint64 offset, int panel) const
{
    if (FRows == 0 || offset < FFirst || offset >= FSize)
        return -1;
    const qint64 row = (offset - FFirst) / FBytesPerLine;
    if (row >= FRows)
        return -1;
    const int column = int((offset - FFirst) % FBytesPerLine);
    int at;
    if (panel != 0)
        at = FCharsColumn + column;
    else if (FDecimal)
        at = FBytesColumn + (column / FBytesPerGroup) * (FDigits + 1);
    else
        at = FBytesColumn + column * 3 + column / FBytesPerGroup;
    return int(row) * FRowLength + at;
}

bool THexRowsText::CellAt(int position, qint64* offset, int* panel) const
{
    if (FRows == 0 || position < 0 || position >= FText.size())
        return false;
    const int row = position / FRowLength;
    const int at = position % FRowLength;
    const qint64 start = FFirst + qint64(row) * FBytesPerLine;
    int column = -1;
    int inPanel = 0;
    if (at >= FCharsColumn && at < FCharsColumn + FBytesPerLine) {
        column = at - FCharsColumn;
        inPanel = 1;
    } else if (at >= FBytesColumn && at < FCharsColumn - 2) {
        const int x = at - FBytesColumn;
        if (FDecimal) {
            if (x % (FDigits + 1) < FDigits)
                column = (x / (FDigits + 1)) * FBytesPerGroup;
        } else {
            // A group is FBytesPerGroup cells of three characters and one
            // more space.
            const int groupWidth = FBytesPerGroup * 3 + 1;
            const int inGroup = x % groupWidth;
            if (inGroup < FBytesPerGroup * 3 && inGroup % 3 < 2)
                column = (x / groupWidth) * FBytesPerGroup + inGroup / 3;
        }
    }
    if (column < 0 || start + column >= FSize)
        return false;
    *offset = start + column;
    *panel = inPanel;
    return true;
}

int THexRowsText::RowOf(int position) const
{
    return FRows == 0 ? 0 : qBound(0, position / FRowLength, FRows - 1);
}

int THexRowsText::CellLength(int panel) const
{
    return panel != 0 ? 1 : FDigits;
}

bool THexRowsText::SelectionSpan(qint64 start, qint64 length, int panel, int* from, int* to) const
{
    if (FRows == 0 || length <= 0)
        return false;
    const qint64 shownEnd = qMin(FSize, FFirst + qint64(FRows) * FBytesPerLine);
    const qint64 first = qMax(start, FFirst);
    qint64 last = qMin(start + length, shownEnd) - 1;
    if (first > last)
        return false;
    // A decimal cell stands for its whole group.
    if (panel == 0 && FDecimal)
        last -= (last - FFirst) % FBytesPerGroup;
    *from = PositionOf(first - (panel == 0 && FDecimal ? (first - FFirst) % FBytesPerGroup : 0), panel);
    *to = PositionOf(last, panel) + CellLength(panel);
    return *from >= 0 && *to > *from;
}

// ---- names and descriptions -------------------------------------------------

QString HexCursorDescription(const THexEditor& editor)
{
    if (editor.Message()[0] != '\0')
        return QString::fromLatin1(editor.Message()).simplified();
    if (!LayoutValid(editor))
        return LayoutMessage();
    if (editor.DataSize() <= 0)
        return QStringLiteral("empty");
    const qint64 offset = editor.GetCursorOffset();
    const unsigned char byte = editor.GetByte(TEditorOffset(offset));
    QString character;
    if (byte == ' ' || byte == 0xA0)
        character = QStringLiteral("space");
    else if (CellChar(byte) == QLatin1Char('.') && byte != '.')
        character = QStringLiteral("control character");
    else
        character = QLatin1Char('\'') + QChar(byte) + QLatin1Char('\'');
    return QStringLiteral("offset %1, byte %2, %3, %4")
        .arg(editor.BaseOffset() == 10 ? QString::number(offset) : QStringLiteral("0x") + Padded(offset, 16, 1),
             editor.BaseBytes() == 10 ? QString::number(byte) : Padded(byte, 16, 2), character,
             editor.CursorPanel() == 0 ? QStringLiteral("byte panel") : QStringLiteral("character panel"));
}

QString HexAccessibleName(const THexEditor& editor)
{
    QString name = editor.accessibleName();
    if (name.isEmpty())
        name = QStringLiteral("Hex editor");
    const char* file = editor.FileName();
    if (file && file[0] != '\0' && qstrcmp(file, kNullFileName) != 0)
        name += QStringLiteral(", ") + QFileInfo(QFile::decodeName(file)).fileName();
    return name;
}

// ---- announcing changes -----------------------------------------------------

namespace {

// Lives beside an editor (as its child) once an assistive program has asked
// for the editor's interface. It gathers the editor's signals and paints
// into one check per turn of the event loop, after the editor has scrolled
// and painted, and sends an event for each thing that changed since.
class THexAccessibleNotifier : public QObject
{
public:
    explicit THexAccessibleNotifier(THexEditor* editor) : QObject(editor), FEditor(editor)
    {
        setObjectName(QStringLiteral("HexAccessibleNotifier"));
        Remember();
        const auto schedule = [this] { Schedule(); };
        connect(editor, &THexEditor::OnCursorChange, this, schedule);
        connect(editor, &THexEditor::OnCursorByteChange, this, schedule);
        connect(editor, &THexEditor::OnChangeLogUpdate, this, schedule);
        connect(editor, &THexEditor::OnSizeChange, this, schedule);
        connect(editor, &THexEditor::OnFileNameChange, this, schedule);
        connect(editor, &THexEditor::OnRowWidthChange, this, schedule);
        connect(editor, &THexEditor::OnSelectionChange, this, schedule);
        editor->installEventFilter(this);
    }

    static void Attach(THexEditor* editor)
    {
        // By name: the class has no meta-object of its own, so a search by
        // type would take any child of the editor for one.
        if (!editor->findChild<QObject*>(QStringLiteral("HexAccessibleNotifier"), Qt::FindDirectChildrenOnly))
            new THexAccessibleNotifier(editor);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Scrolling, resizing and new settings show up as paints of the
        // whole editor; the cursor's blink paints only its strip and
        // changes no text.
        if (watched != FEditor)
            return false;
        if (event->type() == QEvent::Resize
            || (event->type() == QEvent::Paint
                && static_cast<QPaintEvent*>(event)->rect().contains(FEditor->rect())))
            Schedule();
        return false;
    }

private:
    void Schedule()
    {
        if (FPending || !QAccessible::isActive())
            return;
        FPending = true;
        QMetaObject::invokeMethod(this, [this] { Flush(); }, Qt::QueuedConnection);
    }

    void Remember()
    {
        const THexRowsText rows(*FEditor);
        FText = rows.Text();
        FCaret = rows.PositionOf(FEditor->GetCursorOffset(), FEditor->CursorPanel());
        FSelFrom = FSelTo = 0;
        rows.SelectionSpan(FEditor->SelectionStart(), FEditor->SelectionLength(), FEditor->CursorPanel(), &FSelFrom,
                           &FSelTo);
        FOffset = FEditor->GetCursorOffset();
        FByte = FEditor->GetByte(TEditorOffset(FOffset));
        FName = HexAccessibleName(*FEditor);
        FDescription = HexCursorDescription(*FEditor);
    }

    void Flush()
    {
        FPending = false;
        const QString text = FText;
        const int caret = FCaret;
        const qint64 offset = FOffset;
        const int byte = FByte;
        const QString name = FName;
        const QString description = FDescription;
        const int selFrom = FSelFrom, selTo = FSelTo;
        Remember();
        if (FName != name) {
            QAccessibleEvent event(FEditor, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
        if (FText != text) {
            QAccessibleTextUpdateEvent event(FEditor, 0, text, FText);
            QAccessible::updateAccessibility(&event);
        }
        if (FCaret != caret || FText != text) {
            QAccessibleTextCursorEvent event(FEditor, FCaret);
            QAccessible::updateAccessibility(&event);
        }
        if (FSelFrom != selFrom || FSelTo != selTo) {
            QAccessibleTextSelectionEvent event(FEditor, FSelFrom, FSelTo);
            QAccessible::updateAccessibility(&event);
        }
        if (FOffset == offset && FByte != byte) {
            QAccessibleValueChangeEvent event(FEditor, FByte);
            QAccessible::updateAccessibility(&event);
        }
        if (FDescription != description) {
            QAccessibleEvent event(FEditor, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&event);
        }
    }

    THexEditor* FEditor;
    bool FPending = false;
    QString FText;
    int FCaret = -1;
    int FSelFrom = 0, FSelTo = 0;
    qint64 FOffset = 0;
    int FByte = 0;
    QString FName;
    QString FDescription;
};

} // namespace

// ---- the interface ----------------------------------------------------------

THexEditorAccessible::THexEditorAccessible(THexEditor* editor) : QAccessibleWidget(editor, QAccessible::EditableText)
{
    THexAccessibleNotifier::Attach(editor);
}

THexEditor* THexEditorAccessible::Editor() const
{
    return static_cast<THexEditor*>(widget());
}

void* THexEditorAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString THexEditorAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: return HexAccessibleName(*Editor());
    case QAccessible::Description: return HexCursorDescription(*Editor());
    default: return QAccessibleWidget::text(t);
    }
}

QAccessible::State THexEditorAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !Editor()->ReadOnly();
    s.readOnly = Editor()->ReadOnly();
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

void THexEditorAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    const THexEditor* editor = Editor();
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0)
        THexRowsText(*editor).SelectionSpan(editor->SelectionStart(), editor->SelectionLength(),
                                            editor->CursorPanel(), startOffset, endOffset);
}

int THexEditorAccessible::selectionCount() const
{
    const THexEditor* editor = Editor();
    int from = 0, to = 0;
    return THexRowsText(*editor).SelectionSpan(editor->SelectionStart(), editor->SelectionLength(),
                                               editor->CursorPanel(), &from, &to)
               ? 1
               : 0;
}

void THexEditorAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void THexEditorAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        Editor()->ClearSelection();
}

void THexEditorAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    // The bytes of the cells at both ends and all between; positions
    // between cells (addresses, spaces) select nothing.
    if (selectionIndex != 0)
        return;
    const THexRowsText rows(*Editor());
    qint64 first = 0, last = 0;
    int panel = 0, lastPanel = 0;
    if (endOffset <= startOffset || !rows.CellAt(startOffset, &first, &panel)
        || !rows.CellAt(endOffset - 1, &last, &lastPanel) || last < first)
        return;
    if (panel == 0 && Editor()->BaseBytes() == 10)
        last += Editor()->BytesPerGroup() - 1;
    Editor()->SetSelection(TEditorOffset(first), TEditorOffset(last - first + 1));
}

int THexEditorAccessible::cursorPosition() const
{
    return THexRowsText(*Editor()).PositionOf(Editor()->GetCursorOffset(), Editor()->CursorPanel());
}

void THexEditorAccessible::setCursorPosition(int position)
{
    qint64 offset = 0;
    int panel = 0;
    if (!THexRowsText(*Editor()).CellAt(position, &offset, &panel))
        return;
    Editor()->SetCursorPanel(panel);
    Editor()->SetCursorOffset(TEditorOffset(offset));
}

QString THexEditorAccessible::text(int startOffset, int endOffset) const
{
    const QString all = THexRowsText(*Editor()).Text();
    if (startOffset < 0 || endOffset < startOffset)
        return QString();
    return all.mid(startOffset, endOffset - startOffset);
}

int THexEditorAccessible::characterCount() const
{
    return int(THexRowsText(*Editor()).Text().size());
}

QRect THexEditorAccessible::characterRect(int offset) const
{
    // The band of the character's row, as the editor paints rows: kRowTop
    // pixels from the top, one line of its font each.
    const THexRowsText rows(*Editor());
    if (offset < 0 || offset >= rows.Text().size())
        return QRect();
    const int height = QFontMetrics(Editor()->font(), Editor()).height();
    const QRect band(0, kRowTop + rows.RowOf(offset) * height, Editor()->width(), height);
    return QRect(Editor()->mapToGlobal(band.topLeft()), band.size());
}

int THexEditorAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint local = Editor()->mapFromGlobal(point);
    const qint64 offset = Editor()->GetMouseOffset(local.x(), local.y());
    if (offset < 0)
        return -1;
    return THexRowsText(*Editor()).PositionOf(offset, Editor()->CursorPanel());
}

void THexEditorAccessible::scrollToSubstring(int startIndex, int)
{
    setCursorPosition(startIndex);
}

QString THexEditorAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}

QVariant THexEditorAccessible::currentValue() const
{
    return int(Editor()->GetByte(Editor()->GetCursorOffset()));
}

void THexEditorAccessible::setCurrentValue(const QVariant& value)
{
    THexEditor* editor = Editor();
    if (editor->ReadOnly() || editor->DataSize() <= 0)
        return;
    const auto byte = static_cast<unsigned char>(qBound(0, value.toInt(), 255));
    if (byte == editor->GetCursorByte())
        return;
    // As typing writes a byte: recorded, marked unsaved, shown.
    editor->SetCursorByte(byte);
    editor->SetDirty(1);
    editor->update();
}

// ---- the factory ------------------------------------------------------------

QAccessibleInterface* HexAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("THexEditor") && object && object->isWidgetType())
        return new THexEditorAccessible(static_cast<THexEditor*>(object));
    return nullptr;
}

void InstallHexAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    InstallControlsAccessibility();
    QAccessible::installFactory(&HexAccessibleFactory);
}
