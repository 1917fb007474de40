// The white-space routines and the fast candidate scan, checked against a
// plain scan that tests one candidate offset after another.
#include "Hexscan.h"
#include "Strutil.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <vector>

namespace {

// The reference: every candidate in turn, lastExamined the last one tested.
int PlainScan(const unsigned char* data, int size, int start,
              const unsigned char* pattern, int n, bool fold, int* lastExamined)
{
    if (start < 0)
        start = 0;
    for (int cand = start; cand + n <= size; ++cand) {
        *lastExamined = cand;
        int i = 0;
        while (i < n && (fold ? HexScanFoldByte(data[cand + i]) == HexScanFoldByte(pattern[i])
                              : data[cand + i] == pattern[i]))
            ++i;
        if (i == n)
            return cand;
    }
    return -1;
}

QByteArray Bytes(const char* text, int n) { return QByteArray(text, n); }

} // namespace

class TTestHexScan : public QObject
{
    Q_OBJECT
private slots:
    void TrimSpace_data();
    void TrimSpace();
    void FixedCases_data();
    void FixedCases();
    void MatchesPlainScanOnRandomBuffers();
};

void TTestHexScan::TrimSpace_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("leading");  // SkipLeadingSpace
    QTest::addColumn<QByteArray>("trailing"); // StripTrailingSpace in place
    QTest::addColumn<QByteArray>("both");     // StripSpace

    QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("only space") << QByteArray(" \t\n\v\f\r") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("both ends") << QByteArray("\t ab c \r\n") << QByteArray("ab c \r\n")
                               << QByteArray("\t ab c") << QByteArray("ab c");
    QTest::newRow("inner space kept") << QByteArray("a  b") << QByteArray("a  b")
                                      << QByteArray("a  b") << QByteArray("a  b");
    // Bytes above 127 are never white space, whatever the locale says.
    QTest::newRow("high bytes") << QByteArray("\xa0x\xa0") << QByteArray("\xa0x\xa0")
                                << QByteArray("\xa0x\xa0") << QByteArray("\xa0x\xa0");
}

void TTestHexScan::TrimSpace()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, leading);
    QFETCH(QByteArray, trailing);
    QFETCH(QByteArray, both);

    QCOMPARE(QByteArray(SkipLeadingSpace(text.constData())), leading);
    QByteArray copy = text;
    StripTrailingSpace(copy.data());
    QCOMPARE(QByteArray(copy.constData()), trailing);
    copy = text;
    char* result = StripSpace(copy.data());
    QVERIFY(result >= copy.data() && result <= copy.data() + copy.size());
    QCOMPARE(QByteArray(result), both);
}

void TTestHexScan::FixedCases_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("fold");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("lastExamined"); // -2: left alone

    QTest::newRow("at offset 0") << QByteArray("abcabc") << 0 << QByteArray("abc") << false << 0 << 0;
    QTest::newRow("ends at last byte") << QByteArray("xxxxabc") << 0 << QByteArray("abc") << false << 4 << 4;
    QTest::newRow("overlapping") << QByteArray("aaaa") << 1 << QByteArray("aa") << false << 1 << 1;
    QTest::newRow("not found") << QByteArray("abcdef") << 0 << QByteArray("xy") << false << -1 << 4;
    QTest::newRow("no candidate fits") << QByteArray("abcdef") << 5 << QByteArray("ef") << false << -1 << -2;
    QTest::newRow("pattern longer than data") << QByteArray("ab") << 0 << QByteArray("abc") << false << -1 << -2;
    QTest::newRow("empty pattern") << QByteArray("ab") << 1 << QByteArray() << false << 1 << 1;
    QTest::newRow("empty pattern at the end") << QByteArray("ab") << 2 << QByteArray() << true << 2 << 2;
    QTest::newRow("fold finds upper") << QByteArray("xxABC") << 0 << QByteArray("abc") << true << 2 << 2;
    QTest::newRow("exact misses upper") << QByteArray("xxABC") << 0 << QByteArray("abc") << false << -1 << 2;
    QTest::newRow("fold with anchor byte") << QByteArray("a-b A-B") << 1 << QByteArray("a-b") << true << 4 << 4;
    // '@' and '`' sit right before 'A' and 'a'; '[' and '{' right after 'Z'
    // and 'z': none of them folds.
    QTest::newRow("fold leaves neighbours") << QByteArray("@[`{") << 0 << QByteArray("`{") << true << 2 << 2;
    QTest::newRow("fold no match for neighbours") << QByteArray("@[") << 0 << QByteArray("`{") << true << -1 << 0;
    QTest::newRow("fold leaves high bytes") << Bytes("\xc1\xe1", 2) << 0 << Bytes("\xe1", 1) << true << 1 << 1;
    QTest::newRow("zero bytes") << Bytes("\0\0\x01\0", 4) << 0 << Bytes("\x01\0", 2) << true << 2 << 2;
}

void TTestHexScan::FixedCases()
{
    QFETCH(QByteArray, data);
    QFETCH(int, start);
    QFETCH(QByteArray, pattern);
    QFETCH(bool, fold);
    QFETCH(int, result);
    QFETCH(int, lastExamined);

    int last = -2;
    QCOMPARE(HexScanFind(reinterpret_cast<const unsigned char*>(data.constData()), data.size(), start,
                         reinterpret_cast<const unsigned char*>(pattern.constData()), pattern.size(),
                         fold, &last),
             result);
    QCOMPARE(last, lastExamined);
}

// Random buffers over a small alphabet, so that matches, near misses and
// case variants are frequent; patterns are taken from the buffer (sometimes
// with their case flipped) or made up. Every search is run to exhaustion
// and each step compared with the plain scan.
void TTestHexScan::MatchesPlainScanOnRandomBuffers()
{
    QRandomGenerator rng(20261207);
    const unsigned char alphabet[] = {'a', 'A', 'b', 'B', 'z', 'Z', '@', '[', ' ', 0, 0xc1, 0xe1};
    const int alphabetSize = int(sizeof(alphabet));
    int matches = 0;

    for (int round = 0; round < 3000; ++round) {
        const int size = rng.bounded(0, 200);
        std::vector<unsigned char> data(size_t(size) + 1);
        const int used = rng.bounded(2, alphabetSize + 1); // fewer symbols, more matches
        for (int i = 0; i < size; ++i)
            data[size_t(i)] = alphabet[rng.bounded(used)];

        const int n = rng.bounded(0, 7);
        std::vector<unsigned char> pattern(size_t(n) + 1);
        if (size >= n && rng.bounded(4) != 0) {
            const int at = rng.bounded(size - n + 1);
            for (int i = 0; i < n; ++i) {
                unsigned char ch = data[size_t(at + i)];
                if (rng.bounded(3) == 0 && ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z'))
                    ch ^= 0x20;
                pattern[size_t(i)] = ch;
            }
        } else {
            for (int i = 0; i < n; ++i)
                pattern[size_t(i)] = alphabet[rng.bounded(used)];
        }
        const bool fold = rng.bounded(2) == 0;

        int fastPos = rng.bounded(-1, 3);
        int plainPos = fastPos;
        for (int step = 0; step < size + 3; ++step) {
            int fastLast = -2, plainLast = -2;
            const int fast = HexScanFind(data.data(), size, fastPos + 1, pattern.data(), n, fold, &fastLast);
            const int plain = PlainScan(data.data(), size, plainPos + 1, pattern.data(), n, fold, &plainLast);
            if (fast != plain || fastLast != plainLast) {
                qWarning("round %d step %d size %d n %d fold %d: fast %d/%d plain %d/%d", round, step,
                         size, n, int(fold), fast, fastLast, plain, plainLast);
                QFAIL("fast scan differs from the plain scan");
            }
            if (fastLast != -2)
                fastPos = fastLast;
            if (plainLast != -2)
                plainPos = plainLast;
            if (fast < 0)
                break;
            ++matches;
        }
    }
    QVERIFY(matches > 1000); // the rounds really exercised matches
}

QTEST_APPLESS_MAIN(TTestHexScan)
#include "tst_hexscan.moc"
