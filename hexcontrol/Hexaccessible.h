#pragma once
// How screen readers and other assistive programs see THexEditor, through
// Qt's accessibility (AT-SPI on Linux desktops): an editable, multi-line text
// named "Hex editor" (or the widget's accessibleName) and its file,
//   text         the rows the editor shows, one line each: the address, the
//                bytes (a space between bytes, two between groups; decimal
//                groups in decimal mode) and the characters;
//   caret        where the cursor's cell of its panel is in that text; moving
//                the caret moves the cursor;
//   selection    the selected bytes' cells in the cursor's panel, from the
//                first shown to the last shown (one range, which takes in
//                the addresses and the other panel of the rows between);
//                setting a selection selects the bytes of the cells at its
//                ends;
//   description  the byte under the cursor and its panel, such as
//                "offset 0x10, byte 48, 'H', byte panel";
//   value        the byte under the cursor, 0..255; setting it writes the
//                byte as typing does (not when ReadOnly).
// It announces cursor moves (text caret moved), selections (text selection
// changed), changed bytes (value and text changed), scrolling and a new
// file (name changed) as the editor
// raises its signals and paints, only while an assistive program listens.
//
// The factory is installed by the first THexEditor made (with the one for the
// widgets of controls/), so a program needs to do nothing;
// InstallHexAccessibility() may also be called earlier, and again at no cost.
#include <QAccessibleWidget>
#include <QString>
#include <QtGlobal>

class THexEditor;

void InstallHexAccessibility();

// The factory itself, for programs that keep a list of their own.
QAccessibleInterface* HexAccessibleFactory(const QString& className, QObject* object);

// The text of the rows an editor shows and where each cell lies in it.
class THexRowsText
{
public:
    // The rows of the editor's last paint that hold data.
    explicit THexRowsText(const THexEditor& editor);

    const QString& Text() const { return FText; }
    // Where the cell of `offset` in `panel` (0 bytes, 1 characters) starts,
    // or -1 when its row is not shown.
    int PositionOf(qint64 offset, int panel) const;
    // The offset and panel of the cell at `position`; false outside the
    // cells (addresses, spaces, line ends).
    bool CellAt(int position, qint64* offset, int* panel) const;
    // The row `position` lies in, counted from the first row shown.
    int RowOf(int position) const;
    // Characters of a cell of the panel (2 for a hex byte, a decimal
    // group's digits, 1 for a character).
    int CellLength(int panel) const;
    // Where the selected bytes' cells shown start and end in the text, in
    // `panel`; false when none is shown.
    bool SelectionSpan(qint64 start, qint64 length, int panel, int* from, int* to) const;

private:
    QString FText;
    qint64 FFirst = 0;
    qint64 FSize = 0;
    int FRows = 0;
    int FBytesPerLine = 1;
    int FBytesPerGroup = 1;
    bool FDecimal = false;
    int FDigits = 2;     // digits of a cell
    int FBytesColumn = 0;
    int FCharsColumn = 0;
    int FRowLength = 1;  // characters of a row with its line end
};

// "offset 0x10, byte 48, 'H', byte panel": the cursor's offset in the
// address base, its byte in the byte base, the character and the panel;
// the message instead while the editor shows one; "empty" without data.
QString HexCursorDescription(const THexEditor& editor);

// "Hex editor, data.bin": the widget's accessibleName or "Hex editor", and
// the file's name when the editor has one.
QString HexAccessibleName(const THexEditor& editor);

class THexEditorAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleValueInterface
{
public:
    explicit THexEditorAccessible(THexEditor* editor);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    // Text: the rows shown, with at most one selection.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // Value: the byte under the cursor.
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override { return 255; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    THexEditor* Editor() const;
};
