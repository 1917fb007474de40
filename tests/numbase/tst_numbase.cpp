// Table-driven checks of the number text conversions.
#include "Numbase.h"

#include <QByteArray>
#include <QtTest>

namespace {

// The row's text through a byte writer: the bytes it reports must be the
// row's bytes, and the guard byte after them must be untouched (a write past
// the count).
void CheckBytesWritten(int (*write)(const char* text, unsigned char* out))
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    unsigned char out[64];
    memset(out, 0xA5, sizeof out);
    const int n = write(text.constData(), out);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), n), bytes);
    QCOMPARE(out[n], static_cast<unsigned char>(0xA5));
}

} // namespace

class TTestNumbase : public QObject
{
    Q_OBJECT

private slots:
    void ValueToAsciiTable_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("four letters") << 0x41424344u << QByteArray("ABCD");
        QTest::newRow("two letters") << 0x00004142u << QByteArray("AB");
        QTest::newRow("low zero bytes are dots") << 0x41420000u << QByteArray("AB..");
        QTest::newRow("inner zero bytes are dots") << 0x41004200u << QByteArray("A.B.");
        QTest::newRow("zero is empty") << 0u << QByteArray();
        QTest::newRow("full stop looks like zero") << 0x2Eu << QByteArray(".");
        QTest::newRow("control char kept") << 1u << QByteArray("\x01");
        QTest::newRow("high byte kept") << 0xFFu << QByteArray("\xFF");
        QTest::newRow("top bit set shows all bytes") << 0x80414243u << QByteArray("\x80" "ABC");
        QTest::newRow("top byte only") << 0xFF000000u << QByteArray("\xFF...");
    }

    void ValueToAsciiTable()
    {
        QFETCH(uint, value);
        QFETCH(QByteArray, text);
        const std::string got = ValueToAscii(value);
        QCOMPARE(QByteArray(got.data(), static_cast<int>(got.size())), text);
    }

    void ValueToBinaryTable_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<int>("byteCount");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("zero auto") << 0u << 0 << QByteArray("00000000");
        QTest::newRow("five") << 5u << 0 << QByteArray("00000101");
        QTest::newRow("two bytes") << 0x100u << 0 << QByteArray("0000000100000000");
        QTest::newRow("three bytes") << 0x12345u << 0 << QByteArray("000000010010001101000101");
        QTest::newRow("24 ones") << 0x00FFFFFFu << 0 << QByteArray(24, '1');
        QTest::newRow("32 ones") << 0xFFFFFFFFu << 0 << QByteArray(32, '1');
        QTest::newRow("top bit only") << 0x80000000u << 0 << (QByteArray("1") + QByteArray(31, '0'));
        QTest::newRow("negative count is auto") << 0x100u << -3 << QByteArray("0000000100000000");
        QTest::newRow("forced one byte cuts") << 0x1FFu << 1 << QByteArray("11111111");
        QTest::newRow("forced four bytes pads") << 1u << 4 << (QByteArray(31, '0') + "1");
        QTest::newRow("count above four is four") << 0xFFFFFFFFu << 9 << QByteArray(32, '1');
        QTest::newRow("huge count is four") << 1u << 1000000 << (QByteArray(31, '0') + "1");
    }

    void ValueToBinaryTable()
    {
        QFETCH(uint, value);
        QFETCH(int, byteCount);
        QFETCH(QByteArray, text);
        QCOMPARE(QByteArray::fromStdString(ValueToBinary(value, byteCount)), text);
    }

    // One table for the four skipping parsers: which parser, text, value.
    void TextToValueTable_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<uint>("value");

        QTest::newRow("ascii lower") << "ascii" << QByteArray("abcd") << 0x61626364u;
        QTest::newRow("ascii upper") << "ascii" << QByteArray("ABCD") << 0x41424344u;
        QTest::newRow("ascii one") << "ascii" << QByteArray("A") << 0x41u;
        QTest::newRow("ascii fifth pushes out first") << "ascii" << QByteArray("ABCDE") << 0x42434445u;
        QTest::newRow("ascii high byte unsigned") << "ascii" << QByteArray("\xE9") << 0xE9u;
        QTest::newRow("ascii high bytes") << "ascii" << QByteArray("\xFF\x80") << 0xFF80u;

        QTest::newRow("hex nine digits keeps last eight") << "hex" << QByteArray("123456789") << 0x23456789u;
        QTest::newRow("hex mixed case") << "hex" << QByteArray("ffFF") << 0xFFFFu;
        QTest::newRow("hex no digit") << "hex" << QByteArray("g") << 0u;
        QTest::newRow("hex prefix x skipped") << "hex" << QByteArray("0x1F") << 0x1Fu;
        QTest::newRow("hex dollar skipped") << "hex" << QByteArray("$ff") << 0xFFu;
        QTest::newRow("hex spaces skipped") << "hex" << QByteArray("12 34") << 0x1234u;
        QTest::newRow("hex high chars skipped") << "hex" << QByteArray("\xC1" "a\xE1") << 0xAu;
        QTest::newRow("hex empty") << "hex" << QByteArray() << 0u;

        QTest::newRow("octal 777") << "octal" << QByteArray("777") << 511u;
        QTest::newRow("octal 8 skipped") << "octal" << QByteArray("18") << 1u;
        QTest::newRow("octal max") << "octal" << QByteArray("37777777777") << 0xFFFFFFFFu;
        QTest::newRow("octal overflow drops top") << "octal" << QByteArray("77777777777") << 0xFFFFFFFFu;
        QTest::newRow("octal twelve digits") << "octal" << QByteArray("100000000001") << 1u;

        QTest::newRow("binary with space") << "binary" << QByteArray("1010 1010") << 0xAAu;
        QTest::newRow("binary no digit") << "binary" << QByteArray("2") << 0u;
        QTest::newRow("binary 33 digits keeps last 32")
            << "binary" << (QByteArray("1") + QByteArray(31, '0') + "1") << 1u;
    }

    void TextToValueTable()
    {
        QFETCH(QString, base);
        QFETCH(QByteArray, text);
        QFETCH(uint, value);
        const char* t = text.constData();
        uint32_t got = 0;
        if (base == "ascii")
            got = AsciiTextToValue(t);
        else if (base == "hex")
            got = HexTextToValue(t);
        else if (base == "octal")
            got = OctalTextToValue(t);
        else
            got = BinaryTextToValue(t);
        QCOMPARE(got, value);
    }

    void DecimalTextToValueTable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("leading space") << QByteArray(" 42") << 42;
        QTest::newRow("leading tab and newline") << QByteArray("\t\n7") << 7;
        QTest::newRow("upper prefix") << QByteArray("0X1f") << 31;
        QTest::newRow("lower prefix") << QByteArray("0xff") << 255;
        QTest::newRow("space before prefix is decimal") << QByteArray(" 0x10") << 0;
        QTest::newRow("wraps at 2^32") << QByteArray("4294967296") << 0;
        QTest::newRow("max unsigned reads as -1") << QByteArray("4294967295") << -1;
        QTest::newRow("stops at letter") << QByteArray("12abc") << 12;
        QTest::newRow("minus") << QByteArray("-1") << -1;
        QTest::newRow("plus") << QByteArray("+5") << 5;
        QTest::newRow("min int") << QByteArray("-2147483648") << int(0x80000000u);
        QTest::newRow("sign alone") << QByteArray("-") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("long run wraps silently") << QByteArray("99999999999999999999") << int(1661992959u);
    }

    void DecimalTextToValueTable()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, value);
        QCOMPARE(DecimalTextToValue(text.constData()), value);
    }

    void HexDigitValueTable_data()
    {
        QTest::addColumn<char>("ch");
        QTest::addColumn<int>("value");
        QTest::newRow("0") << '0' << 0;
        QTest::newRow("a") << 'a' << 10;
        QTest::newRow("F") << 'F' << 15;
        QTest::newRow("g") << 'g' << -1;
        QTest::newRow("space") << ' ' << -1;
        QTest::newRow("high byte") << char(0xC1) << -1;
    }

    void HexDigitValueTable()
    {
        QFETCH(char, ch);
        QFETCH(int, value);
        QCOMPARE(HexDigitValue(ch), value);
    }

    void HexTextToBytesTable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("spaced") << QByteArray("de ad be ef") << QByteArray::fromHex("deadbeef");
        QTest::newRow("run") << QByteArray("deadbeef") << QByteArray::fromHex("deadbeef");
        QTest::newRow("odd run") << QByteArray("abc") << QByteArray::fromHex("ab0c");
        QTest::newRow("single digits") << QByteArray("1 2 3") << QByteArray::fromHex("010203");
        QTest::newRow("five digits") << QByteArray("12345") << QByteArray::fromHex("123405");
        QTest::newRow("prefix ends a byte") << QByteArray("0x41") << QByteArray::fromHex("0041");
        QTest::newRow("one digit") << QByteArray("7") << QByteArray::fromHex("07");
        QTest::newRow("comma") << QByteArray("a,b") << QByteArray::fromHex("0a0b");
        QTest::newRow("many separators") << QByteArray("  a,,  ;b  ") << QByteArray::fromHex("0a0b");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("white only") << QByteArray(" \t ") << QByteArray();
        QTest::newRow("no digits") << QByteArray("xyz") << QByteArray();
    }

    void HexTextToBytesTable()
    {
        CheckBytesWritten(&HexTextToBytes);
    }

    void DecimalTextToBytesTable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("255") << QByteArray("255") << QByteArray::fromHex("ff");
        QTest::newRow("256") << QByteArray("256") << QByteArray::fromHex("0100");
        QTest::newRow("65535") << QByteArray("65535") << QByteArray::fromHex("ffff");
        QTest::newRow("65536") << QByteArray("65536") << QByteArray::fromHex("00010000");
        QTest::newRow("empty") << QByteArray() << QByteArray::fromHex("00");
        QTest::newRow("-1") << QByteArray("-1") << QByteArray::fromHex("ffffffff");
        QTest::newRow("hex prefix") << QByteArray("0x1234") << QByteArray::fromHex("1234");
    }

    void DecimalTextToBytesTable()
    {
        CheckBytesWritten(&DecimalTextToBytes);
    }

    void DecimalDigitsForBytesTable_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("digits");
        QTest::newRow("1") << 1 << 3;
        QTest::newRow("2") << 2 << 5;
        QTest::newRow("3") << 3 << 8;
        QTest::newRow("4") << 4 << 10;
        QTest::newRow("0") << 0 << 3;
        QTest::newRow("7") << 7 << 3;
    }

    void DecimalDigitsForBytesTable()
    {
        QFETCH(int, n);
        QFETCH(int, digits);
        QCOMPARE(DecimalDigitsForBytes(n), digits);
    }

    void EndianFlipTable_data()
    {
        QTest::addColumn<uint>("value");
        QTest::addColumn<uint>("flip32");
        QTest::addColumn<uint>("flip24");
        QTest::addColumn<uint>("flip16");
        QTest::newRow("example") << 0x11223344u << 0x44332211u << 0x11443322u << 0x11224433u;
        QTest::newRow("zero") << 0u << 0u << 0u << 0u;
        QTest::newRow("low byte") << 0x000000FFu << 0xFF000000u << 0x00FF0000u << 0x0000FF00u;
        QTest::newRow("top byte") << 0xAB000000u << 0x000000ABu << 0xAB000000u << 0xAB000000u;
    }

    void EndianFlipTable()
    {
        QFETCH(uint, value);
        QFETCH(uint, flip32);
        QFETCH(uint, flip24);
        QFETCH(uint, flip16);
        QCOMPARE(EndianFlip32(value), flip32);
        QCOMPARE(EndianFlip24(value), flip24);
        QCOMPARE(EndianFlip16(value), flip16);
        // Each flip undoes itself.
        QCOMPARE(EndianFlip32(flip32), value);
        QCOMPARE(EndianFlip24(flip24), value);
        QCOMPARE(EndianFlip16(flip16), value);
    }
};

QTEST_APPLESS_MAIN(TTestNumbase)
#include "tst_numbase.moc"
