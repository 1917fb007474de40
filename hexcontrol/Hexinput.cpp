// THexEditor: the cursor, navigation keys, typed characters, mouse clicks,
// offsets as text, and the Qt key and mouse events that lead to them.
#include "Hexcontrol.h"

#include "Hexinternal.h"
#include "Hittest.h"
#include "Numbase.h"

#include <QKeyEvent>
#include <QMouseEvent>

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
    return offset >= 0 && offset < editor.DataSize();
}

// Whether writing `value` big-endian over the `length` bytes from `start`
// changes a byte that exists.
bool GroupWriteChanges(const THexEditor& editor, qint64 start, int length, unsigned value)
{
    for (int n = length - 1; n >= 0; --n, value >>= 8) {
        const qint64 at = start + n;
        if (ByteExists(editor, at) && editor.GetByte(int(at)) != (value & 0xFF))
            return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Cursor and input

void THexEditor::MoveCursor(int offset)
{
    if (offset < 0)
        offset = 0;
    if (FDataSize > 0 && offset > FDataSize - 1)
        offset = FDataSize - 1;
    FChangeLog->Seal();
    FBlinkPhase = 0;
    FDigit = 0;
    FCursorOffset = offset;
    emit OnCursorChange(this, offset);
    if (FScrollBar) {
        const int line = SafeDivisor(FBytesPerLine);
        if (offset < FFirstVisible)
            FScrollBar->setValue(offset / line);
        else if (offset > FLastVisible)
            FScrollBar->setValue(offset / line - FVisibleRows + 1);
    }
    Redraw();
}

void THexEditor::SetCursorPanel(int panel)
{
    if (panel == FCursorPanel)
        return;
    FCursorPanel = panel;
    MoveCursor(FCursorOffset);
}

void THexEditor::KeyDown(int& key, Qt::KeyboardModifiers)
{
    const int line = FBytesPerLine;
    // Page moves are computed wide so a huge page cannot wrap around.
    auto clampedMove = [this](qint64 target) {
        MoveCursor(int(qBound(qint64(INT_MIN), target, qint64(INT_MAX))));
    };
    switch (key) {
    case Qt::Key_PageUp:
        clampedMove(qint64(FCursorOffset) - qint64(line) * FVisibleRows);
        break;
    case Qt::Key_PageDown:
        clampedMove(qint64(FCursorOffset) + qint64(line) * FVisibleRows);
        break;
    case Qt::Key_End:
        MoveCursor(FDataSize - 1);
        break;
    case Qt::Key_Home:
        MoveCursor(0);
        break;
    case Qt::Key_Left:
        clampedMove(qint64(FCursorOffset) - 1);
        break;
    case Qt::Key_Up:
        clampedMove(qint64(FCursorOffset) - line);
        break;
    case Qt::Key_Right:
        clampedMove(qint64(FCursorOffset) + 1);
        break;
    case Qt::Key_Down:
        clampedMove(qint64(FCursorOffset) + line);
        break;
    default:
        break;
    }
}

void THexEditor::KeyPress(char& ch)
{
    if (static_cast<signed char>(ch) < 32)
        return;
    ProcessInput(ch);
}

void THexEditor::ProcessInput(char ch)
{
    if (FReadOnly)
        return;
    if (FCursorPanel == 0) {
        ProcessBytesInput(ch);
    } else {
        ProcessCharInput(ch);
        MoveCursor(FCursorOffset + 1);
    }
    Redraw();
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
    if (!GroupWriteChanges(*this, qint64(FCursorOffset / group) * group, group, value))
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

void THexEditor::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (const THitCell* cell = HitListFind(FHitList.get(), x, y)) {
        MoveCursor(cell->Value);
        FCursorPanel = cell->Tag;
    }
    setFocus(Qt::MouseFocusReason);
    Redraw();
}

int THexEditor::GetMouseOffset(int x, int y) const
{
    const THitCell* cell = HitListFind(FHitList.get(), x, y);
    return cell ? cell->Value : -1;
}

void THexEditor::FormatOffset(int offset, char* out)
{
    if (FBaseOffset == 16)
        std::sprintf(out, "%0*X", 8, unsigned(offset));
    else
        std::sprintf(out, "%0*d", 10, offset);
}

int THexEditor::DecodeOffset(const char* text)
{
    if (FBaseOffset == 16)
        return int(HexTextToValue(text));
    return DecimalTextToValue(text);
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
        if (navigation || (code >= 32 && code <= 127)) {
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

void THexEditor::keyPressEvent(QKeyEvent* e)
{
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
    e->accept();
}
