// THexEditor: the cursor, navigation keys, typed characters, mouse clicks,
// offsets as text, and the Qt key and mouse events that lead to them.
#include "Hexcontrol.h"

#include "Hexinternal.h"
#include "Hittest.h"
#include "Numbase.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <QScrollBar>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

bool HasCommandModifier(Qt::KeyboardModifiers mods)
{
    return mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

// The 8-bit character a key press types, or -1 when it types none. The
// Delete key types nothing, although some systems give it the text DEL.
int TypedCode(const QKeyEvent* e)
{
    if (HasCommandModifier(e->modifiers()) || e->key() == Qt::Key_Delete)
        return -1;
    const QString text = e->text();
    if (text.size() != 1 || text.at(0).unicode() > 0xFF)
        return -1;
    return text.at(0).unicode();
}

bool ByteExists(const THexEditor& editor, qint64 offset)
{
    return offset >= 0 && offset < editor.DataSize() && offset < editor.Document()->Size();
}

// Hexadecimal digits of either case; every other character is skipped. The
// value keeps its low 64 bits.
qint64 HexTextToOffset(const char* text)
{
    quint64 value = 0;
    for (; *text; ++text) {
        const int digit = HexDigitValue(*text);
        if (digit >= 0)
            value = (value << 4) | quint64(digit);
    }
    return qint64(value);
}

// Decimal with an optional sign after leading white space, or hexadecimal
// after a leading "0x"; the decimal reading of the converter's fields,
// 64 bits wide.
qint64 DecimalTextToOffset(const char* text)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return HexTextToOffset(text + 2);
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-')
        ++text;
    quint64 value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + quint64(*text - '0');
    return qint64(negative ? 0u - value : value);
}

// Whether writing `value` big-endian over the `length` bytes from `start`
// changes a byte that exists.
bool GroupWriteChanges(const THexEditor& editor, qint64 start, int length, unsigned value)
{
    for (int n = length - 1; n >= 0; --n, value >>= 8) {
        const qint64 at = start + n;
        if (ByteExists(editor, at) && editor.GetByte(at) != (value & 0xFF))
            return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Cursor and input

void THexEditor::SetCursorPanel(int panel)
{
    if (panel == FCursorPanel)
        return;
    FCursorPanel = panel;
    MoveCursor(FCursorOffset);
}

void THexEditor::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    const qint64 line = FBytesPerLine;
    const qint64 page = line * FVisibleRows;
    qint64 to;
    switch (key) {
    case Qt::Key_PageUp: to = FCursorOffset - page; break;
    case Qt::Key_PageDown: to = FCursorOffset + page; break;
    // Inserting, End goes after the last byte, where typing appends.
    case Qt::Key_End: to = FInsertMode ? FDataSize : FDataSize - 1; break;
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_Left: to = FCursorOffset - 1; break;
    case Qt::Key_Up: to = FCursorOffset - line; break;
    case Qt::Key_Right: to = FCursorOffset + 1; break;
    case Qt::Key_Down: to = FCursorOffset + line; break;
    default: return;
    }
    // Shift extends the selection; any other move drops it.
    if (shift & Qt::ShiftModifier)
        ExtendSelection(to);
    else
        MoveCursor(to);
}

void THexEditor::KeyPress(char& ch)
{
    if (static_cast<signed char>(ch) < 32)
        return;
    ProcessInput(ch);
}

void THexEditor::ProcessInput(char ch)
{
    // A read-only document (a block device) takes no typing either, nor does
    // one that long work is saving or searching.
    if (FReadOnly || FDocument->ReadOnly() || FDocument->Busy())
        return;
    // Each path paints once, through a cursor move or a redraw of its own.
    if (FInsertMode) {
        ProcessInsertInput(ch);
        return;
    }
    if (FCursorPanel == 0) {
        ProcessBytesInput(ch);
        Redraw();
    } else {
        ProcessCharInput(ch);
        MoveCursor(FCursorOffset + 1);
    }
}

void THexEditor::ProcessBytesInput(char ch)
{
    if (FBaseBytes == 10)
        ProcessDecimalInput(ch);
    else if (FBaseBytes == 16)
        ProcessHexInput((ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch);
    // The typing position moves on even for a rejected character.
    ++FDigit;
    if (FDigit >= FInputDigits)
        MoveCursor(FCursorOffset + FCursorStep);
}

void THexEditor::ProcessHexInput(char ch)
{
    int value;
    if (ch >= '0' && ch <= '9')
        value = ch - '0';
    else if (ch >= 'a' && ch <= 'f')
        value = ch - 'a' + 10;
    else
        return;
    if (!ByteExists(*this, FCursorOffset))
        return;
    const unsigned char old = GetCursorByte();
    unsigned char byte;
    if (FDigit == 0)
        byte = static_cast<unsigned char>((old & 0x0F) | (value << 4));
    else
        byte = static_cast<unsigned char>((old & 0xF0) | value);
    if (byte == old)
        return; // a keystroke that changes no byte records nothing
    SetCursorByte(byte);
    SetDirty(1);
}

void THexEditor::ProcessDecimalInput(char ch)
{
    if (ch < '0' || ch > '9')
        return;
    // Unsigned, so a group of 0x80000000 or more shows its digits and no
    // sign; the typed text is read in 64 bits and the group keeps its low
    // bytes.
    char text[64];
    const int digits = qBound(0, FCellDigits, 40);
    const int length = std::snprintf(text, sizeof text, "%0*u", digits, GetCursorWord());
    if (FDigit < 0 || FDigit >= length)
        return;
    text[FDigit] = ch;
    const auto value = static_cast<unsigned>(std::strtoull(text, nullptr, 10) & 0xFFFFFFFFull);
    // Only the bytes of the group that exist are written; when none of them
    // changes (the group lies past the end, or the digit landed in its
    // missing bytes) nothing is recorded.
    const int group = SafeDivisor(FBytesPerGroup);
    if (!GroupWriteChanges(*this, (FCursorOffset / group) * group, group, value))
        return;
    SetCursorWord(value);
    SetDirty(1);
}

void THexEditor::ProcessCharInput(char ch)
{
    const auto byte = static_cast<unsigned char>(ch);
    if (!ByteExists(*this, FCursorOffset) || GetByte(FCursorOffset) == byte)
        return;
    SetByte(FCursorOffset, byte);
    SetDirty(1);
}

void THexEditor::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (const THitCell* cell = HitListFind(FHitList.get(), x, y)) {
        if (button == Qt::LeftButton && (shift & Qt::ShiftModifier)) {
            ExtendSelection(cell->Value);
        } else if (button != Qt::LeftButton && IsSelected(cell->Value)) {
            // Another button inside the selection keeps it, for a host's
            // context menu.
        } else {
            MoveCursor(cell->Value);
            ClearSelection();
            // A drag selects from here.
            FSelAnchor = qMin(FCursorOffset, qMax<qint64>(FDataSize - 1, 0));
        }
        FCursorPanel = cell->Tag;
    }
    setFocus(Qt::MouseFocusReason);
    Redraw();
}

qint64 THexEditor::GetMouseOffset(int x, int y) const
{
    const THitCell* cell = HitListFind(FHitList.get(), x, y);
    return cell ? cell->Value : -1;
}

int THexEditor::OffsetDigits(int base, int least) const
{
    // Enough digits for the last offset of the data, and at least `least`.
    quint64 last = FDataSize > 0 ? quint64(FDataSize - 1) : 0;
    int digits = 1;
    while (last >= quint64(base)) {
        last /= quint64(base);
        ++digits;
    }
    return qMax(digits, least);
}

void THexEditor::FormatOffset(qint64 offset, char* out)
{
    if (FBaseOffset == 16)
        std::snprintf(out, TextSize, "%0*llX", OffsetDigits(16, 8), static_cast<unsigned long long>(offset));
    else
        std::snprintf(out, TextSize, "%0*lld", OffsetDigits(10, 10), static_cast<long long>(offset));
}

qint64 THexEditor::DecodeOffset(const char* text)
{
    if (FBaseOffset == 16)
        return HexTextToOffset(text);
    return DecimalTextToOffset(text);
}

// ---------------------------------------------------------------------------
// Scrolling. While the rows fit the scroll bar's int range (up to 2^30), its
// value is the first row shown, as it always was. Beyond, its range is
// ScrollLimit and a value stands for the row at the same fraction of the
// rows; the exact row the control scrolled to is kept in FTopRow for as long
// as the bar shows the value the control gave it, and the bar's steps are
// taken over so that an arrow is one row and a page step one page.

qint64 THexEditor::MaxRow() const
{
    const qint64 rows = FDataSize / SafeDivisor(FBytesPerLine) - 1;
    return rows < 0 ? 0 : rows;
}

bool THexEditor::ScrollScaled() const
{
    return MaxRow() > ScrollLimit;
}

qint64 THexEditor::TopRow()
{
    if (!FScrollBar)
        return 0;
    const int value = FScrollBar->value();
    if (!ScrollScaled())
        return qMax(value, 0);
    if (FScrollBar->maximum() != ScrollLimit)
        FScrollBar->setMaximum(ScrollLimit); // the line length changed since SetSize
    if (value != FBarValue) {
        // The user moved the bar: the row at the same fraction.
        FTopRow = qint64(__int128(qBound(0, value, int(ScrollLimit))) * MaxRow() / ScrollLimit);
        FBarValue = value;
    }
    return FTopRow;
}

void THexEditor::SetTopRow(qint64 row)
{
    if (!FScrollBar)
        return;
    if (!ScrollScaled()) {
        FScrollBar->setValue(int(qBound(qint64(INT_MIN), row, qint64(INT_MAX))));
        return;
    }
    FTopRow = qBound(qint64(0), row, MaxRow());
    FBarValue = int(__int128(FTopRow) * ScrollLimit / qMax<qint64>(MaxRow(), 1));
    FScrollBar->setValue(FBarValue);
    update();
}

void THexEditor::SetScrollBar(QScrollBar* bar)
{
    disconnect(FBarConnection);
    FScrollBar = bar;
    FBarValue = -1;
    if (bar)
        FBarConnection = connect(bar, &QAbstractSlider::actionTriggered, this, &THexEditor::ScrollBarAction);
}

void THexEditor::ScrollBarAction(int action)
{
    if (!FScrollBar || !ScrollScaled())
        return;
    const qint64 top = TopRow();
    qint64 row;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: row = top + 1; break;
    case QAbstractSlider::SliderSingleStepSub: row = top - 1; break;
    case QAbstractSlider::SliderPageStepAdd: row = top + qMax(FVisibleRows, 1); break;
    case QAbstractSlider::SliderPageStepSub: row = top - qMax(FVisibleRows, 1); break;
    case QAbstractSlider::SliderToMinimum: row = 0; break;
    case QAbstractSlider::SliderToMaximum: row = MaxRow(); break;
    case QAbstractSlider::SliderMove:
        // A wheel turned over the bar moves by rows; a drag is the user's.
        if (FScrollBar->isSliderDown())
            return;
        row = top + (FScrollBar->sliderPosition() - FScrollBar->value());
        break;
    default: return;
    }
    FTopRow = qBound(qint64(0), row, MaxRow());
    FBarValue = int(__int128(FTopRow) * ScrollLimit / qMax<qint64>(MaxRow(), 1));
    FScrollBar->setSliderPosition(FBarValue);
    update();
}

// ---------------------------------------------------------------------------
// Qt event plumbing

bool THexEditor::event(QEvent* e)
{
    // Navigation keys and typed characters belong to the editor even inside
    // a dialog or a window with shortcuts; Tab still moves the focus on. With
    // Ctrl, Alt or Meta a navigation key does nothing more here than without,
    // so the host's shortcuts on it come first.
    if (e->type() == QEvent::ShortcutOverride) {
        const auto* k = static_cast<QKeyEvent*>(e);
        const int code = TypedCode(k);
        const bool navigation = IsNavigationKey(k->key()) && !HasCommandModifier(k->modifiers());
        if (navigation || (code >= 32 && code <= 127) || EditingKey(*k) != ekNone) {
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

int THexEditor::EditingKey(const QKeyEvent& e) const
{
    if (e.matches(QKeySequence::SelectAll))
        return ekSelectAll;
    if (e.matches(QKeySequence::Copy))
        return ekCopy;
    if (e.matches(QKeySequence::Cut))
        return ekCut;
    if (e.matches(QKeySequence::Paste))
        return ekPaste;
    const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
    if (e.key() == Qt::Key_Insert && mods == Qt::NoModifier)
        return ekInsertMode;
    // Overwriting, Delete and Backspace go on to the host as they always did.
    if (FInsertMode && mods == Qt::NoModifier && (e.key() == Qt::Key_Delete || e.key() == Qt::Key_Backspace))
        return e.key() == Qt::Key_Delete ? ekDelete : ekBackspace;
    return ekNone;
}

void THexEditor::keyPressEvent(QKeyEvent* e)
{
    switch (EditingKey(*e)) {
    case ekSelectAll: SelectAll(); e->accept(); return;
    case ekCopy: Copy(); e->accept(); return;
    case ekCut: Cut(); e->accept(); return;
    case ekPaste: Paste(); e->accept(); return;
    case ekInsertMode: SetInsertMode(!FInsertMode); e->accept(); return;
    case ekDelete: DeleteKey(false); e->accept(); return;
    case ekBackspace: DeleteKey(true); e->accept(); return;
    default: break;
    }
    int key = e->key();
    if (IsNavigationKey(key)) {
        KeyDown(key, e->modifiers());
        e->accept();
        return;
    }
    // Only characters are typed: Escape, Enter, Backspace and the other
    // control keys go on to the dialog or window around the editor.
    const int code = TypedCode(e);
    if (code >= 32) {
        char ch = static_cast<char>(code);
        KeyPress(ch);
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void THexEditor::mousePressEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    MouseDown(e->button(), e->modifiers(), p.x(), p.y());
    FDragging = e->button() == Qt::LeftButton;
    e->accept();
}

void THexEditor::mouseMoveEvent(QMouseEvent* e)
{
    if (!FDragging || !(e->buttons() & Qt::LeftButton))
        return;
    const QPoint p = e->position().toPoint();
    qint64 to = GetMouseOffset(p.x(), p.y());
    // Above or below the rows, the selection goes on a row at a time (the
    // view follows the cursor).
    if (to < 0 && p.y() < kRowTop)
        to = qMax<qint64>(0, FCursorOffset - FBytesPerLine);
    else if (to < 0 && p.y() >= kRowTop + FVisibleRows * FRowHeight)
        to = FCursorOffset + FBytesPerLine;
    if (to >= 0 && to != FCursorOffset)
        ExtendSelection(to);
    e->accept();
}

void THexEditor::mouseReleaseEvent(QMouseEvent* e)
{
    FDragging = false;
    e->accept();
}
