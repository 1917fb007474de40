// The change log as the host sees it: rows of the undo and redo lists, the
// captions and states of the Undo and Redo actions, and the value texts.
#include "Hexprobe.h"
#include "Testfiles.h"

#include <QAction>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>

namespace {


QStringList RowTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int c = 0; c < 4; ++c)
        texts << item->text(c);
    return texts;
}

// A list as the host builds it, shown so that scrolling means something.
struct TLogList
{
    QTreeWidget View;
    TLogList()
    {
        View.setColumnCount(4);
        View.resize(300, 150);
        View.show();
    }
    bool LastRowVisible()
    {
        const int count = View.topLevelItemCount();
        if (count == 0)
            return false;
        // Vertically: the columns may well be wider than the view.
        const QRect row = View.visualItemRect(View.topLevelItem(count - 1));
        return !row.isEmpty() && row.top() >= 0 && row.bottom() <= View.viewport()->rect().bottom();
    }
};

} // namespace

class TTestHexLog : public QObject
{
    Q_OBJECT
private slots:
    void ListsShowNewest256();
    void EmptyLog();
    void Captions_data();
    void Captions();
    void WordChangeInDecimal();
    void RangeSteps_data();
    void RangeSteps();
    void ValueTexts_data();
    void ValueTexts();
    void RowAscii_data();
    void RowAscii();
};

// 300 byte changes at distinct offsets: the undo list holds entries 44..299;
// after undoing all of them the redo list holds the newest 256 redo entries,
// whose last row is the change the next Redo applies (offset 0).
void TTestHexLog::ListsShowNewest256()
{
    THexProbe editor;
    editor.SetBytes(Ascending(1024));
    for (int i = 0; i < 300; ++i)
        editor.SetByte(i, 0xEE);
    QCOMPARE(editor.ChangeLog().UndoCount, 300);

    TLogList undo, redo;
    editor.ChangeLogToListView(&undo.View);
    QCOMPARE(undo.View.topLevelItemCount(), 256);
    QCOMPARE(RowTexts(undo.View.topLevelItem(0)), QStringList({"0000002C", "byte", "2C", "EE"}));
    QCOMPARE(RowTexts(undo.View.topLevelItem(255)), QStringList({"0000012B", "byte", "2B", "EE"}));
    QVERIFY(undo.LastRowVisible());
    QVERIFY(undo.View.updatesEnabled());

    for (int i = 0; i < 300; ++i)
        editor.Undo();
    editor.RedoLogToListView(&redo.View);
    QCOMPARE(redo.View.topLevelItemCount(), 256);
    QCOMPARE(redo.View.topLevelItem(0)->text(0), QStringLiteral("000000FF"));
    QCOMPARE(redo.View.topLevelItem(255)->text(0), QStringLiteral("00000000"));
    QVERIFY(redo.LastRowVisible());

    // Refilling replaces the rows rather than adding to them.
    editor.ChangeLogToListView(&undo.View);
    QCOMPARE(undo.View.topLevelItemCount(), 0);
}

void TTestHexLog::EmptyLog()
{
    THexProbe editor;
    QAction undoItem(QStringLiteral("stale")), redoItem(QStringLiteral("stale"));
    TLogList undo, redo;
    undo.View.addTopLevelItem(new QTreeWidgetItem(QStringList{"old"}));
    editor.ChangeLogToListView(&undo.View);
    editor.RedoLogToListView(&redo.View);
    editor.ChangeLogToMenuItem(&undoItem, &redoItem);
    QCOMPARE(undo.View.topLevelItemCount(), 0);
    QCOMPARE(redo.View.topLevelItemCount(), 0);
    QCOMPARE(undoItem.text(), QStringLiteral("Undo"));
    QCOMPARE(redoItem.text(), QStringLiteral("Redo"));
    QVERIFY(!undoItem.isEnabled());
    QVERIFY(!redoItem.isEnabled());
}

void TTestHexLog::Captions_data()
{
    QTest::addColumn<int>("baseOffset");
    QTest::addColumn<int>("baseBytes");
    QTest::addColumn<int>("undos"); // how many of the two changes to undo
    QTest::addColumn<QString>("undoText");
    QTest::addColumn<QString>("redoText");

    QTest::newRow("hex, nothing undone") << 16 << 16 << 0 << "Undo 00000010: 41 --> 42" << "Redo";
    QTest::newRow("hex, one undone") << 16 << 16 << 1 << "Undo 00000008: 08 --> FF"
                                     << "Redo 00000010: 41 --> 42";
    QTest::newRow("hex, both undone") << 16 << 16 << 2 << "Undo" << "Redo 00000008: 08 --> FF";
    QTest::newRow("decimal bases") << 10 << 10 << 0 << "Undo 0000000016: 065 --> 066" << "Redo";
    QTest::newRow("decimal offset, hex bytes") << 10 << 16 << 1 << "Undo 0000000008: 08 --> FF"
                                               << "Redo 0000000016: 41 --> 42";
}

void TTestHexLog::Captions()
{
    QFETCH(int, baseOffset);
    QFETCH(int, baseBytes);
    QFETCH(int, undos);
    QFETCH(QString, undoText);
    QFETCH(QString, redoText);

    THexProbe editor;
    QByteArray bytes = Ascending(64);
    bytes[0x10] = 0x41;
    editor.SetBytes(bytes);
    editor.SetBaseOffset(baseOffset);
    editor.SetBaseBytes(baseBytes);
    editor.SetByte(8, 0xFF);
    editor.SetByte(0x10, 0x42);
    for (int i = 0; i < undos; ++i)
        editor.Undo();

    QAction undoItem, redoItem;
    editor.ChangeLogToMenuItem(&undoItem, &redoItem);
    QCOMPARE(undoItem.text(), undoText);
    QCOMPARE(redoItem.text(), redoText);
    QCOMPARE(undoItem.isEnabled(), undoText != QLatin1String("Undo"));
    QCOMPARE(redoItem.isEnabled(), redoText != QLatin1String("Redo"));
}

// In decimal with 2-byte groups the caption shows 5-digit group values (the
// width the last paint laid out), the list always hex.
void TTestHexLog::WordChangeInDecimal()
{
    THexProbe editor;
    editor.SetBytes(Ascending(256));
    editor.SetBaseBytes(10);
    editor.SetBytesPerGroup(2);
    editor.resize(800, 400);
    editor.grab(); // a paint sets the cell width
    QCOMPARE(editor.FCellDigits, 5);

    editor.SetWord(5, 0x1234); // the group at 4: 0x0405 = 1029 becomes 4660
    QAction undoItem, redoItem;
    editor.ChangeLogToMenuItem(&undoItem, &redoItem);
    QCOMPARE(undoItem.text(), QStringLiteral("Undo 00000004: 01029 --> 04660"));

    TLogList undo;
    editor.ChangeLogToListView(&undo.View);
    QCOMPARE(undo.View.topLevelItemCount(), 1);
    QCOMPARE(RowTexts(undo.View.topLevelItem(0)), QStringList({"00000004", "word", "405", "1234"}));

    char text[THexEditor::TextSize];
    editor.GetWordText(5, text);
    QCOMPARE(QByteArray(text), QByteArray("04660"));
}

void TTestHexLog::RangeSteps_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("row");

    QTest::newRow("insert") << 0 << "Undo insert 00000010: 3 bytes"
                            << QStringList{"00000010", "insert", "", "61 62 63"};
    QTest::newRow("delete") << 1 << "Undo delete 00000020: 1 byte" << QStringList{"00000020", "delete", "20", ""};
    QTest::newRow("paste over a selection") << 2 << "Undo paste 00000008: 2 --> 5 bytes"
                                            << QStringList{"00000008", "paste", "08 09",
                                                           "61 62 63 64 ... (5 bytes)"};
    QTest::newRow("cut") << 3 << "Undo cut 00000000: 4 bytes" << QStringList{"00000000", "cut", "00 01 02 03", ""};
    QTest::newRow("block written over") << 4 << "Undo overwrite 00000030: 2 bytes"
                                        << QStringList{"00000030", "overwrite", "30 31", "FF FF"};
    QTest::newRow("replace all") << 5 << "Undo replace all 00000001: 3 matches"
                                 << QStringList{"00000001", "replace all", "41", "7A 7A"};
}

// Each range step names its kind in the Undo caption (and, once undone, in
// the Redo caption) and shows its first bytes in the list.
void TTestHexLog::RangeSteps()
{
    QFETCH(int, step);
    QFETCH(QString, caption);
    QFETCH(QStringList, row);
    THexProbe editor;
    QByteArray bytes = Ascending(64);
    if (step == 5)
        bytes = "xAyAzA";
    editor.SetBytes(bytes);
    editor.SetInsertMode(true);
    THexDocument& doc = *editor.Document();
    switch (step) {
    case 0: QVERIFY(doc.Insert(0x10, "abc", 3)); break;
    case 1: QVERIFY(editor.DeleteBytes(0x20, 1)); break;
    case 2: QVERIFY(doc.Replace(8, 2, "abcde", 5, TChangeLog::ckPaste)); break;
    case 3: QVERIFY(doc.Remove(0, 4, TChangeLog::ckCut)); break;
    case 4: QVERIFY(editor.OverwriteBytes(0x30, "\xff\xff")); break;
    case 5: QCOMPARE(editor.ReplaceAll("A", THexEditor::smText, THexEditor::sfMatchCase, "zz"), qint64(3)); break;
    }
    QAction undoItem, redoItem;
    editor.ChangeLogToMenuItem(&undoItem, &redoItem);
    QCOMPARE(undoItem.text(), caption);
    TLogList undo;
    editor.ChangeLogToListView(&undo.View);
    QCOMPARE(RowTexts(undo.View.topLevelItem(0)), row);
    editor.Undo();
    editor.ChangeLogToMenuItem(&undoItem, &redoItem);
    QCOMPARE(redoItem.text(), QString(caption).replace(0, 4, QStringLiteral("Redo")));
}

void TTestHexLog::ValueTexts_data()
{
    QTest::addColumn<int>("baseBytes");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("cellDigits"); // as a paint would leave it
    QTest::addColumn<uint>("value");
    QTest::addColumn<QByteArray>("byteText");
    QTest::addColumn<QByteArray>("wordText");

    QTest::newRow("hex 1-byte group") << 16 << 1 << 2 << 0x0Au << QByteArray("0A") << QByteArray("0A");
    QTest::newRow("hex 4-byte group") << 16 << 4 << 8 << 0xABu << QByteArray("AB") << QByteArray("000000AB");
    QTest::newRow("decimal byte") << 10 << 1 << 3 << 7u << QByteArray("007") << QByteArray("007");
    // A group of 0x80000000 or more is a large number, not a negative one.
    QTest::newRow("decimal top bit") << 10 << 4 << 10 << 0xFFFFFFFEu << QByteArray("4294967294")
                                     << QByteArray("4294967294");
    QTest::newRow("other base writes nothing") << 8 << 1 << 2 << 5u << QByteArray() << QByteArray();
    // Huge groups only add leading zeros, up to what the text holds.
    QTest::newRow("huge group") << 16 << 100000 << 2 << 1u << QByteArray("01")
                                << QByteArray(THexEditor::TextSize - 2, '0') + "1";
}

void TTestHexLog::ValueTexts()
{
    QFETCH(int, baseBytes);
    QFETCH(int, group);
    QFETCH(int, cellDigits);
    QFETCH(uint, value);
    QFETCH(QByteArray, byteText);
    QFETCH(QByteArray, wordText);

    struct TEditor : THexProbe
    {
        void SetCellDigits(int digits) { FCellDigits = digits; }
    } editor;
    editor.SetBaseBytes(baseBytes);
    editor.SetBytesPerGroup(group);
    editor.SetCellDigits(cellDigits);
    char text[THexEditor::TextSize + 16];
    std::memset(text, 'x', sizeof text);
    editor.FormatByte(value, text);
    QCOMPARE(QByteArray(text), byteText);
    std::memset(text, 'x', sizeof text);
    editor.FormatWord(value, text);
    QCOMPARE(QByteArray(text), wordText);
    QCOMPARE(text[THexEditor::TextSize], 'x'); // nothing written past the text
}

void TTestHexLog::RowAscii_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("bytesPerLine");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("letter, line feed, zero") << QByteArray("A\n\0", 3) << 3 << 0 << QByteArray("A..");
    QTest::newRow("past the end reads zero") << QByteArray("xyz") << 5 << 1 << QByteArray("yz...");
    QTest::newRow("high and space kept") << QByteArray("\x1f \x7f\xe9", 4) << 4 << 0 << QByteArray(". \x7f\xe9");
    QTest::newRow("row before the start") << QByteArray("ab") << 4 << -2 << QByteArray("..ab");
}

void TTestHexLog::RowAscii()
{
    QFETCH(QByteArray, data);
    QFETCH(int, bytesPerLine);
    QFETCH(int, offset);
    QFETCH(QByteArray, text);

    THexProbe editor;
    editor.SetBytes(data);
    editor.SetBytesPerLine(bytesPerLine);
    QByteArray out(bytesPerLine + 8, 'x');
    editor.GetRowAscii(offset, out.data());
    QCOMPARE(QByteArray(out.constData()), text);
}

QTEST_MAIN(TTestHexLog)
#include "tst_hexlog.moc"
