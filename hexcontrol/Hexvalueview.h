#pragma once
// THexValueView: the bytes at a THexEditor's cursor (or at the start of its
// selection) read as numbers, one row per type (signed and unsigned integers
// of 8, 16, 32 and 64 bits, floats of 32 and 64 bits; THexValues,
// Hexvalues.h, reads and writes them), in the byte order the "Byte order"
// switch (BigEndian) picks. A row whose value
// would run past the end of the data shows "past the end" and takes no
// typing.
//
//   auto* inspector = new THexValueView(dock);
//   inspector->SetEditor(editor);   // follows the cursor and every change
//   dock->setWidget(inspector);
//
// Bound to an editor, the inspector follows its signals (cursor moves, the
// selection, typed bytes, undo and redo, loading, size changes) and shows the bytes again
// once the event loop runs; Refresh() does it at once.
//
// Typing a value back: the user types into a row and presses Enter. The text
// is read as a value of the row's type (see Hexvalues.h: decimal, 0x for a
// bit pattern, inf and nan for floats, range-checked). A text that is not
// such a value is refused: the row keeps it, and the sentence saying why
// appears under the rows (Message()) and as the row's accessible
// description. A value read is turned into bytes in the byte order shown,
// written over the editor's bytes from the inspected offset with
// THexEditor::OverwriteBytes (not while the editor is ReadOnly or busy), and
// announced with OnValueEntered(offset, bytes). Escape, or leaving the row,
// takes the typed text back.
//
// Without an editor, a program shows bytes with SetBytes and writes the
// values OnValueEntered hands it wherever they belong.
//
// Keyboard and screen readers: the switch and the rows are in the Tab chain;
// each row is a line edit named after its type and byte order ("Unsigned
// 16-bit integer, little endian"), its short label ("uint16") is its buddy
// and tooltip.
#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include "Hexvalues.h"

class QComboBox;
class QLabel;
class QLineEdit;
class THexEditor;

class THexValueView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool BigEndian READ BigEndian WRITE SetBigEndian)

public:
    explicit THexValueView(QWidget* parent = nullptr);

    // The editor followed and written to; null to follow none. The
    // inspector forgets an editor destroyed before it.
    void SetEditor(THexEditor* editor);
    THexEditor* Editor() const { return FEditor.data(); }

    bool BigEndian() const { return FBigEndian; }
    void SetBigEndian(bool value);
    // uic's name for the setter (forms built in Designer).
    void setBigEndian(bool value) { SetBigEndian(value); }

    // Without an editor: shows `bytes` (the first 8 count) as the bytes from
    // `offset` on.
    void SetBytes(qint64 offset, const QByteArray& bytes);
    // The offset inspected, -1 when nothing is (no data, or the editor shows
    // its start message), and the bytes read from it (at most 8).
    qint64 Offset() const { return FOffset; }
    QByteArray Bytes() const { return FBytes; }

    // What the row of `type` shows; empty when its value runs past the end.
    QString ValueText(THexValues::TType type) const;
    QLineEdit* ValueField(THexValues::TType type) const;
    // Reads `text` as the row's value and writes it, as typing it into the
    // row and pressing Enter does. False when refused (see Message()).
    bool EnterValue(THexValues::TType type, const QString& text);
    // Why the last value typed was refused; empty after one was written.
    QString Message() const;

public slots:
    // Reads the bytes at the editor's cursor (or selection) again, at once.
    void Refresh();

signals:
    // A value typed into a row, as the bytes to write from `offset`.
    void OnValueEntered(qint64 offset, QByteArray bytes);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ScheduleRefresh();
    void ShowValues();
    void ShowRow(int row, bool keepTyping);
    void Refuse(int row, const QString& why);
    bool Writable() const;

    QPointer<THexEditor> FEditor;
    QList<QMetaObject::Connection> FConnections;
    bool FBigEndian = false;
    bool FRefreshPending = false;
    qint64 FOffset = -1;
    QByteArray FBytes;

    QLabel* FWhere = nullptr;
    QComboBox* FByteOrder = nullptr;
    QLineEdit* FFields[THexValues::TypeCount] = {};
    QLabel* FMessage = nullptr;
};
