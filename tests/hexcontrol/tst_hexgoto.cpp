// THexGoto: Go to offset text read against a cursor and a data size.
#include "Hexgoto.h"

#include <QtTest>

class TTestHexGoto : public QObject
{
    Q_OBJECT
private slots:
    void Read_data();
    void Read();
};

void TTestHexGoto::Read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("cursor");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset"); // -1: refused
    QTest::addColumn<QString>("error"); // part of the refusal

    const qint64 big = qint64(16) << 30; // a 16 GiB file
    const qint64 max = std::numeric_limits<qint64>::max();
    QTest::newRow("decimal") << "1234" << qint64(0) << qint64(4096) << qint64(1234) << "";
    QTest::newRow("hex, spaces") << "  0x4d2 " << qint64(0) << qint64(4096) << qint64(1234) << "";
    QTest::newRow("hex capital X") << "0X4D2" << qint64(0) << qint64(4096) << qint64(1234) << "";
    QTest::newRow("hex letters without 0x") << "4D2" << qint64(0) << qint64(4096) << qint64(-1) << "0x4D2";
    QTest::newRow("forward") << "+16" << qint64(100) << qint64(4096) << qint64(116) << "";
    QTest::newRow("backward hex") << "- 0x10" << qint64(100) << qint64(4096) << qint64(84) << "";
    QTest::newRow("backward past the start") << "-101" << qint64(100) << qint64(4096) << qint64(-1) << "before the start";
    QTest::newRow("from the end") << "end-16" << qint64(0) << qint64(4096) << qint64(4080) << "";
    QTest::newRow("last byte") << "END - 1" << qint64(0) << qint64(4096) << qint64(4095) << "";
    QTest::newRow("end alone") << "end" << qint64(0) << qint64(4096) << qint64(4095) << "";
    QTest::newRow("end of empty data") << "end" << qint64(0) << qint64(0) << qint64(0) << "";
    QTest::newRow("end minus nothing") << "end-0" << qint64(0) << qint64(4096) << qint64(-1) << "past the end";
    QTest::newRow("end plus") << "end+1" << qint64(0) << qint64(4096) << qint64(-1) << "not an offset";
    QTest::newRow("before the start from the end") << "end-4097" << qint64(0) << qint64(4096) << qint64(-1)
                                                   << "before the start";
    QTest::newRow("past the end") << "4096" << qint64(0) << qint64(4096) << qint64(-1) << "4096 bytes";
    QTest::newRow("64-bit") << "0x3FFFFFFFF" << qint64(0) << big << qint64(0x3FFFFFFFF) << "";
    QTest::newRow("64-bit from the end") << "end-1" << qint64(0) << big << big - 1 << "";
    QTest::newRow("largest offset") << "9223372036854775806" << qint64(0) << max << max - 1 << "";
    QTest::newRow("past 63 bits") << "9223372036854775808" << qint64(0) << max << qint64(-1) << "too large";
    QTest::newRow("forward past 63 bits") << "+0x7FFFFFFFFFFFFFFF" << qint64(10) << max << qint64(-1)
                                          << "past the end";
    QTest::newRow("empty data") << "0" << qint64(0) << qint64(0) << qint64(0) << "";
    QTest::newRow("empty text") << " " << qint64(0) << qint64(4096) << qint64(-1) << "Type an offset";
    QTest::newRow("sign alone") << "+" << qint64(0) << qint64(4096) << qint64(-1) << "not an offset";
    QTest::newRow("two numbers") << "12 34" << qint64(0) << qint64(4096) << qint64(-1) << "not an offset";
    QTest::newRow("other characters") << "12h" << qint64(0) << qint64(4096) << qint64(-1) << "not an offset";
}

void TTestHexGoto::Read()
{
    QFETCH(QString, text);
    QFETCH(qint64, cursor);
    QFETCH(qint64, size);
    QFETCH(qint64, offset);
    QFETCH(QString, error);
    qint64 got = -7;
    QString why;
    QCOMPARE(THexGoto::Read(text, cursor, size, &got, &why), offset >= 0);
    if (offset >= 0) {
        QCOMPARE(got, offset);
    } else {
        QCOMPARE(got, qint64(-7));
        QVERIFY2(why.contains(error), qPrintable(why));
    }
}

QTEST_MAIN(TTestHexGoto)
#include "tst_hexgoto.moc"
