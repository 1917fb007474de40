// THexValues and THexValueView: bytes read as every type in both byte
// orders, typed values turned back into bytes or refused, random bytes
// through text and back, and the widget following an editor and writing to
// it.
#include "Hexcontrol.h"
#include "Hexvalueview.h"
#include "Testenv.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

using V = THexValues;

} // namespace

class TTestHexValueView : public QObject
{
    Q_OBJECT
private slots:
    void Texts_data();
    void Texts();
    void Typed_data();
    void Typed();
    void RandomBytesReadBack();
    void FollowsAndWritesEditor();

private:
    TTestConfigHome FConfig;
};

void TTestHexValueView::Texts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("bigEndian");
    // int8 uint8 int16 uint16 int32 uint32 int64 uint64 float32 float64; "-": past the end
    QTest::addColumn<QStringList>("texts");
    const QByteArray counting = QByteArray::fromHex("0102030405060708");
    QTest::newRow("little endian") << counting << false
                                   << QStringList{"1", "1", "513", "513", "67305985", "67305985", "578437695752307201",
                                                  "578437695752307201", "1.5399896e-36", "5.447603722011605e-270"};
    QTest::newRow("big endian") << counting << true
                                << QStringList{"1", "1", "258", "258", "16909060", "16909060", "72623859790382856",
                                               "72623859790382856", "2.3879393e-38", "8.20788039913184e-304"};
    QTest::newRow("all ones: negative, NaN") << QByteArray(8, '\xFF') << false
                                              << QStringList{"-1", "255", "-1", "65535", "-1", "4294967295", "-1",
                                                             "18446744073709551615", "-NaN", "-NaN"};
    QTest::newRow("negative infinity") << QByteArray::fromHex("000000000000F0FF") << false
                                       << QStringList{"0", "0", "0", "0", "0", "0", "-4503599627370496",
                                                      "18442240474082181120", "0", "-inf"};
    QTest::newRow("float 1.5, four bytes") << QByteArray::fromHex("3FC00000") << true
                                           << QStringList{"63", "63", "16320", "16320", "1069547520", "1069547520",
                                                          "-", "-", "1.5", "-"};
    QTest::newRow("float -0.1, four bytes") << QByteArray::fromHex("CDCCCCBD") << false
                                            << QStringList{"-51", "205", "-13107", "52429", "-1110651699",
                                                           "3184315597", "-", "-", "-0.1", "-"};
    QTest::newRow("float inf, quiet NaN") << QByteArray::fromHex("0000807F000000000000F87F") << false
                                          << QStringList{"0", "0", "0", "0", "2139095040", "2139095040",
                                                         "2139095040", "2139095040", "inf", "1.0568533725e-314"};
    QTest::newRow("one byte") << QByteArray("\x80", 1) << false
                              << QStringList{"-128", "128", "-", "-", "-", "-", "-", "-", "-", "-"};
    QTest::newRow("nothing") << QByteArray() << true
                             << QStringList{"-", "-", "-", "-", "-", "-", "-", "-", "-", "-"};
}

void TTestHexValueView::Texts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, bigEndian);
    QFETCH(QStringList, texts);
    for (int t = 0; t < V::TypeCount; ++t) {
        const QString text = V::Text(V::TType(t), reinterpret_cast<const uchar*>(bytes.constData()), bytes.size(),
                                     bigEndian);
        QCOMPARE(text.isNull() ? QStringLiteral("-") : text, texts.at(t));
    }
}

void TTestHexValueView::Typed_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QByteArray>("bytes"); // hex; empty: refused
    QTest::addColumn<QString>("error");    // part of the refusal
    const QString range = QStringLiteral("Out of range");
    const QString notWhole = QStringLiteral("not a whole number");
    QTest::newRow("int8 lowest") << int(V::vtInt8) << "-128" << false << QByteArray("80") << "";
    QTest::newRow("int8 too low") << int(V::vtInt8) << "-129" << false << QByteArray() << "-128 to 127";
    QTest::newRow("int8 too high") << int(V::vtInt8) << "128" << false << QByteArray() << range;
    QTest::newRow("int8 bit pattern") << int(V::vtInt8) << "0xff" << false << QByteArray("ff") << "";
    QTest::newRow("int8 pattern too wide") << int(V::vtInt8) << "0x100" << false << QByteArray() << range;
    QTest::newRow("int8 negated hex") << int(V::vtInt8) << "-0x80" << false << QByteArray("80") << "";
    QTest::newRow("uint8 negative") << int(V::vtUInt8) << "-1" << false << QByteArray() << "0 to 255";
    QTest::newRow("uint8 minus zero") << int(V::vtUInt8) << "-0" << false << QByteArray("00") << "";
    QTest::newRow("int16 little endian") << int(V::vtInt16) << "-2" << false << QByteArray("feff") << "";
    QTest::newRow("int16 big endian") << int(V::vtInt16) << "-2" << true << QByteArray("fffe") << "";
    QTest::newRow("uint32 highest") << int(V::vtUInt32) << "4294967295" << false << QByteArray("ffffffff") << "";
    QTest::newRow("uint32 too high") << int(V::vtUInt32) << "4294967296" << false << QByteArray() << range;
    QTest::newRow("int32 spaces and plus") << int(V::vtInt32) << " +42 " << true << QByteArray("0000002a") << "";
    QTest::newRow("int64 lowest") << int(V::vtInt64) << "-9223372036854775808" << false
                                  << QByteArray("0000000000000080") << "";
    QTest::newRow("int64 too high") << int(V::vtInt64) << "9223372036854775808" << false << QByteArray() << range;
    QTest::newRow("uint64 highest") << int(V::vtUInt64) << "18446744073709551615" << false
                                    << QByteArray("ffffffffffffffff") << "";
    QTest::newRow("uint64 past 64 bits") << int(V::vtUInt64) << "18446744073709551616" << false << QByteArray()
                                         << range;
    QTest::newRow("letters") << int(V::vtInt32) << "12a" << false << QByteArray() << notWhole;
    QTest::newRow("prefix only") << int(V::vtInt32) << "0x" << false << QByteArray() << notWhole;
    QTest::newRow("two numbers") << int(V::vtInt32) << "1 2" << false << QByteArray() << notWhole;
    QTest::newRow("decimal point") << int(V::vtUInt16) << "1.0" << false << QByteArray() << notWhole;
    QTest::newRow("empty") << int(V::vtUInt16) << "  " << false << QByteArray() << "Type a value";
    QTest::newRow("float32 big endian") << int(V::vtFloat32) << "1.5" << true << QByteArray("3fc00000") << "";
    QTest::newRow("float32 -0.1") << int(V::vtFloat32) << "-0.1" << false << QByteArray("cdccccbd") << "";
    QTest::newRow("float32 largest") << int(V::vtFloat32) << "3.4028235e+38" << false << QByteArray("ffff7f7f")
                                     << "";
    QTest::newRow("float32 too large") << int(V::vtFloat32) << "1e39" << false << QByteArray() << range;
    QTest::newRow("float32 rounds to zero") << int(V::vtFloat32) << "1e-50" << false << QByteArray() << range;
    QTest::newRow("float32 inf") << int(V::vtFloat32) << "inf" << false << QByteArray("0000807f") << "";
    QTest::newRow("float32 -Infinity") << int(V::vtFloat32) << "-Infinity" << false << QByteArray("000080ff") << "";
    QTest::newRow("float32 nan") << int(V::vtFloat32) << "NaN" << true << QByteArray("7fc00000") << "";
    QTest::newRow("float trailing text") << int(V::vtFloat32) << "1.5x" << false << QByteArray() << "not a number";
    QTest::newRow("float64 plus") << int(V::vtFloat64) << "+2" << false << QByteArray("0000000000000040") << "";
    QTest::newRow("float64 too small") << int(V::vtFloat64) << "1e-400" << false << QByteArray() << range;
}

void TTestHexValueView::Typed()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, bigEndian);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QByteArray out("untouched");
    QString why;
    const bool ok = V::Bytes(V::TType(type), text, bigEndian, &out, &why);
    QCOMPARE(ok, !bytes.isEmpty());
    if (ok) {
        QCOMPARE(out.toHex(), bytes);
    } else {
        QCOMPARE(out, QByteArray("untouched"));
        QVERIFY2(why.contains(error), qPrintable(why));
    }
}

// Whatever the bytes, the text shown reads back as the same bytes (a NaN
// keeps only its sign), in both byte orders.
void TTestHexValueView::RandomBytesReadBack()
{
    QRandomGenerator rng(2024);
    for (int i = 0; i < 3000; ++i) {
        unsigned char bytes[8];
        for (unsigned char& b : bytes)
            b = uchar(rng.bounded(256));
        // Exponent bits all set now and then: infinities and NaNs.
        if (i % 7 == 0) {
            bytes[0] |= 0x7F;
            bytes[1] |= 0xF0;
            bytes[3] |= 0x7F;
            bytes[2] |= 0x80;
        }
        const bool bigEndian = i % 2;
        for (int t = 0; t < V::TypeCount; ++t) {
            const auto type = V::TType(t);
            const QString text = V::Text(type, bytes, 8, bigEndian);
            if (text.endsWith(QLatin1String("NaN")))
                continue;
            QByteArray back;
            QString why;
            QVERIFY2(V::Bytes(type, text, bigEndian, &back, &why), qPrintable(text + ": " + why));
            QCOMPARE(back, QByteArray(reinterpret_cast<const char*>(bytes), V::Size(type)));
        }
    }
}

void TTestHexValueView::FollowsAndWritesEditor()
{
    THexEditor editor;
    const QByteArray data = QByteArray::fromHex("0102030405060708090A");
    QVERIFY(editor.Document()->SetMemory(data.size(), data.constData()));
    editor.SetSize(data.size());
    editor.SetCursorOffset(1);
    THexValueView inspector;
    inspector.SetEditor(&editor);
    QSignalSpy entered(&inspector, &THexValueView::OnValueEntered);
    QCOMPARE(inspector.Offset(), 1);
    QCOMPARE(inspector.ValueText(V::vtUInt16), QStringLiteral("770")); // 02 03

    // The cursor near the end: the longer values run past it.
    editor.SetCursorOffset(8);
    QCoreApplication::processEvents();
    QCOMPARE(inspector.ValueText(V::vtUInt16), QStringLiteral("2569"));
    QVERIFY(inspector.ValueText(V::vtUInt32).isNull());
    QVERIFY(!inspector.ValueField(V::vtUInt32)->isEnabled());
    QVERIFY(!inspector.EnterValue(V::vtUInt32, QStringLiteral("1")));
    QVERIFY(inspector.Message().contains(QLatin1String("past the end")));

    // A value typed into a row and Enter: written big endian at the cursor.
    inspector.SetBigEndian(true);
    QCOMPARE(inspector.ValueField(V::vtInt16)->accessibleName(),
             QStringLiteral("Signed 16-bit integer, big endian"));
    QLineEdit* field = inspector.ValueField(V::vtInt16);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("-2"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(editor.GetByte(8), uchar(0xFF));
    QCOMPARE(editor.GetByte(9), uchar(0xFE));
    QVERIFY(editor.Dirty());
    QCOMPARE(entered.count(), 1);
    QCOMPARE(entered.at(0).at(0).toLongLong(), 8);
    QCOMPARE(entered.at(0).at(1).toByteArray(), QByteArray("\xFF\xFE", 2));
    QCOMPARE(editor.ChangeLog().UndoCount, 1); // one step for the value
    QCOMPARE(field->text(), QStringLiteral("-2"));
    QVERIFY(inspector.Message().isEmpty());

    // Refused: the bytes stay, the row says why.
    QVERIFY(!inspector.EnterValue(V::vtInt8, QStringLiteral("200")));
    QVERIFY(inspector.Message().contains(QLatin1String("-128 to 127")));
    QCOMPARE(inspector.ValueField(V::vtInt8)->accessibleDescription(), inspector.Message());
    QCOMPARE(editor.GetByte(8), uchar(0xFF));
    editor.SetReadOnly(true);
    QVERIFY(!inspector.EnterValue(V::vtUInt8, QStringLiteral("1")));
    QCOMPARE(editor.GetByte(8), uchar(0xFF));
    QCOMPARE(entered.count(), 1);

    // A selection is read from its start.
    editor.SetSelection(2, 4);
    QCoreApplication::processEvents();
    QCOMPARE(inspector.Offset(), 2);
    QCOMPARE(inspector.ValueText(V::vtUInt16), QStringLiteral("772")); // 03 04, big endian
    editor.ClearSelection();

    // Undo in the editor shows the old bytes again; so does a new file.
    editor.SetReadOnly(false);
    while (editor.ChangeLog().UndoCount > 0)
        editor.Undo();
    QCoreApplication::processEvents();
    QCOMPARE(inspector.ValueText(V::vtUInt16), QStringLiteral("2314")); // 09 0A
    editor.SetNotLoaded();
    QCoreApplication::processEvents();
    QCOMPARE(inspector.Offset(), -1);
    QVERIFY(inspector.ValueText(V::vtUInt8).isNull());
}

QTEST_MAIN(TTestHexValueView)
#include "tst_hexvalueview.moc"
