#pragma once
// The smaller tools of the hexedit window: the Go to offset dialog, and the
// reading of hex search text.
#include <QByteArray>
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

// Asks for an offset (THexGoto's syntax, shown in the dialog) and refuses,
// inside the dialog, text that names none; the dialog closes only on an
// offset that exists. Opened with open(), it does not block.
class THexGotoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit THexGotoDialog(QWidget* parent = nullptr);

    // Before open(): where the cursor is (the offset and its text as the
    // editor writes it) and how many bytes there are.
    void Prepare(qint64 cursor, const QString& cursorText, qint64 size);
    // The offset accepted.
    qint64 Offset() const { return FOffset; }
    QLineEdit* Field() const { return FField; }
    // Why the text was refused; empty while nothing was.
    QString Message() const;

    void accept() override;

private:
    QLineEdit* FField = nullptr;
    QLabel* FWhere = nullptr;
    QLabel* FMessage = nullptr;
    qint64 FCursor = 0;
    qint64 FSize = 0;
    qint64 FOffset = 0;
};

// Hex search text: bytes as pairs of hexadecimal digits (either case),
// separated or not by spaces, tabs and line breaks, each run optionally
// after 0x; a digit standing alone is a byte of its own ("1 2" is 01 02).
// Anything else, a run of an odd number of digits ("abc": AB 0C or 0A BC?)
// and text without a byte are refused: false, with `error` saying what is
// wrong in a few words.
bool ReadHexSearchText(const QString& text, QByteArray* bytes, QString* error);
