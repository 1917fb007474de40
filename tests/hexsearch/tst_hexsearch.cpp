// The white-space trimming of search texts, and THexEditor's searches: text with and without case, decimal and hex
// patterns, from the start and from the cursor, overlapping matches, the end
// of the search, and the search position against a plain scan; searching
// backwards, finding and replacing every match, and replacing one.
#include "Hexprobe.h"
#include "Strutil.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {


QList<int> Results(const QString& list)
{
    QList<int> out;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        out.append(part.trimmed().toInt());
    return out;
}

} // namespace

class TTestHexSearch : public QObject
{
    Q_OBJECT
private slots:
    void TrimSpace_data();
    void TrimSpace();
    void Searches_data();
    void Searches();
    void LongTextIsCut();
    void AgreesWithPlainScan();
    void BackwardsAllAndReplace_data();
    void BackwardsAllAndReplace();
    void ReplaceOneThenGoOn();
};

void TTestHexSearch::TrimSpace_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("leading");  // SkipLeadingSpace
    QTest::addColumn<QByteArray>("trailing"); // StripTrailingSpace, in place
    QTest::addColumn<QByteArray>("both");     // StripSpace

    QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("only space") << QByteArray(" \t\n\v\f\r") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("both ends, inner kept") << QByteArray("\t a  c \r\n") << QByteArray("a  c \r\n")
                                           << QByteArray("\t a  c") << QByteArray("a  c");
    // Bytes above 127 are never white space, whatever the locale says.
    QTest::newRow("high bytes") << QByteArray("\xa0x\x85") << QByteArray("\xa0x\x85")
                                << QByteArray("\xa0x\x85") << QByteArray("\xa0x\x85");
}

void TTestHexSearch::TrimSpace()
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
    const char* result = StripSpace(copy.data());
    QVERIFY(result >= copy.constData() && result <= copy.constData() + copy.size());
    QCOMPARE(QByteArray(result), both);
}

void TTestHexSearch::Searches_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("results"); // FindFirst, then FindNext calls

    const int text = THexEditor::smText, dec = THexEditor::smDecimal, hex = THexEditor::smHex;
    const int exact = THexEditor::sfMatchCase, cursor = THexEditor::sfFromCursor;

    QTest::newRow("match at 0 and at the very end")
        << QByteArray("abcxabc") << 5 << QByteArray("abc") << text << exact << "0,4,-1,-1,-1";
    QTest::newRow("overlapping") << QByteArray("aaaa") << 0 << QByteArray("aa") << text << 0 << "0,1,2,-1";
    QTest::newRow("case folded") << QByteArray("xABCxabc") << 0 << QByteArray("abc") << text << 0 << "1,5,-1";
    QTest::newRow("case exact") << QByteArray("xABCxabc") << 0 << QByteArray("abc") << text << exact << "5,-1";
    QTest::newRow("pattern trimmed") << QByteArray("a b c") << 0 << QByteArray(" \tb c\r\n") << text << exact
                                     << "2,-1";
    QTest::newRow("nothing found") << QByteArray("abcdef") << 0 << QByteArray("xyz") << text << 0 << "-1,-1,-1";
    QTest::newRow("longer than the data") << QByteArray("ab") << 0 << QByteArray("abc") << text << 0 << "-1,-1";
    QTest::newRow("empty text matches every offset")
        << QByteArray("ab") << 0 << QByteArray("  ") << text << 0 << "0,1,2,-1";
    QTest::newRow("from the cursor on a match")
        << QByteArray("abxab_ab") << 3 << QByteArray("ab") << text << (exact | cursor) << "6,-1";
    QTest::newRow("from the cursor at the last byte")
        << QByteArray("abab") << 3 << QByteArray("ab") << text << cursor << "-1";
    QTest::newRow("decimal 300 is 01 2c")
        << QByteArray("\x00\x01\x2c\x01\x2c", 5) << 0 << QByteArray("300") << dec << 0 << "1,3,-1";
    QTest::newRow("decimal 65536 takes four bytes")
        << QByteArray("\x01\x00\x00\x01\x00\x00", 6) << 0 << QByteArray("65536") << dec << 0 << "2,-1";
    QTest::newRow("decimal 0x41 prefix") << QByteArray("zA") << 0 << QByteArray("0x41") << dec << 0 << "1,-1";
    QTest::newRow("hex 01 2c") << QByteArray("\x00\x01\x2c\x01\x2c", 5) << 0 << QByteArray("01 2c") << hex << 0
                               << "1,3,-1";
    // Case folding belongs to text searches only.
    QTest::newRow("hex matches bytes exactly")
        << QByteArray("aA") << 0 << QByteArray("41") << hex << 0 << "1,-1";
    QTest::newRow("hex without digits") << QByteArray("zz") << 0 << QByteArray("zz") << hex << 0 << "-1,-1";
    QTest::newRow("unknown mode") << QByteArray("aa") << 0 << QByteArray("a") << 7 << 0 << "-1";
    QTest::newRow("empty buffer") << QByteArray() << 0 << QByteArray("a") << text << 0 << "-1,-1";
}

void TTestHexSearch::Searches()
{
    QFETCH(QByteArray, data);
    QFETCH(int, cursor);
    QFETCH(QByteArray, text);
    QFETCH(int, mode);
    QFETCH(int, flags);
    QFETCH(QString, results);

    THexProbe editor;
    editor.SetBytes(data);
    editor.SetCursorOffset(cursor);
    QList<int> got;
    got.append(editor.FindFirst(text.constData(), mode, flags));
    const QList<int> expected = Results(results);
    while (got.size() < expected.size())
        got.append(editor.FindNext());
    QCOMPARE(got, expected);
}

// The pattern keeps its first 1023 characters, so a buffer of 1023 of them
// holds exactly one match and one of 1022 none.
void TTestHexSearch::LongTextIsCut()
{
    const QByteArray text = "   " + QByteArray(3000, 'q');
    THexProbe editor;
    editor.SetBytes(QByteArray(1023, 'Q'));
    QCOMPARE(editor.FindFirst(text.constData(), THexEditor::smText, 0), 0);
    QCOMPARE(int(std::strlen(editor.FSearchText)), 1023);
    QCOMPARE(editor.FindNext(), -1);
    editor.SetBytes(QByteArray(1022, 'q'));
    QCOMPARE(editor.FindFirst(text.constData(), THexEditor::smText, 0), -1);

    // Hex text is cut the same way: 1023 characters of "11 " are 341 bytes.
    QByteArray hexText;
    while (hexText.size() < 3000)
        hexText += "11 ";
    editor.SetBytes(QByteArray(341, '\x11'));
    QCOMPARE(editor.FindFirst(hexText.constData(), THexEditor::smHex, 0), 0);
    editor.SetBytes(QByteArray(340, '\x11'));
    QCOMPARE(editor.FindFirst(hexText.constData(), THexEditor::smHex, 0), -1);
}

// Random buffers and patterns through every mode: each step's result and
// search position equal those of testing one candidate after another. The
// alphabet holds both cases of letters, the bytes next to the letter ranges
// (which must not fold) and a high byte; buffers are long enough for the
// scan's 32-byte blocks and their tails.
void TTestHexSearch::AgreesWithPlainScan()
{
    QRandomGenerator rng(4711);
    const char alphabet[] = {'a', 'A', 'z', 'Z', '@', '[', '`', '{', '-', '\0', '\x01', '\x2c', '\xe1'};
    const char textAlphabet[] = "aAzZ@[`{-";
    THexProbe editor;
    int matches = 0;
    for (int round = 0; round < 2000; ++round) {
        QByteArray data;
        const int size = rng.bounded(0, 200);
        const int used = rng.bounded(2, int(sizeof alphabet) + 1); // fewer symbols, more matches
        for (int i = 0; i < size; ++i)
            data.append(alphabet[rng.bounded(used)]);
        editor.SetBytes(data);
        editor.SetCursorOffset(size > 0 ? rng.bounded(size) : 0);

        const int mode = rng.bounded(THexEditor::smText, THexEditor::smHex + 1);
        const int flags = (rng.bounded(2) ? int(THexEditor::sfMatchCase) : 0)
                          | (rng.bounded(2) ? int(THexEditor::sfFromCursor) : 0);
        // The pattern each mode should look for, and the text that asks for it.
        QByteArray pattern, text;
        const int n = rng.bounded(1, 6);
        if (mode == THexEditor::smText) {
            // Mostly a piece of the buffer with some letters' case flipped.
            const QByteArray piece = size >= n ? data.mid(rng.bounded(size - n + 1), n) : QByteArray();
            if (!piece.isEmpty() && !piece.contains('\0') && rng.bounded(4) != 0) {
                for (char ch : piece)
                    pattern.append(((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z' && rng.bounded(2)) ? char(ch ^ 0x20) : ch);
            } else {
                for (int i = 0; i < n; ++i)
                    pattern.append(textAlphabet[rng.bounded(int(sizeof textAlphabet) - 1)]);
            }
            text = pattern;
        } else if (mode == THexEditor::smHex) {
            pattern = size >= n && rng.bounded(2) ? data.mid(rng.bounded(size - n + 1), n) : QByteArray();
            for (int i = pattern.size(); i < n; ++i)
                pattern.append(alphabet[rng.bounded(used)]);
            text = pattern.toHex(' ');
        } else {
            const quint32 values[] = {0, 1, 97, 300, 0x2c01, 65536, 0x61000001u};
            const quint32 v = values[rng.bounded(7)];
            text = QByteArray::number(v);
            const char be[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
            pattern = v < 256 ? QByteArray(be + 3, 1) : v < 65536 ? QByteArray(be + 2, 2) : QByteArray(be, 4);
        }
        const bool fold = mode == THexEditor::smText && !(flags & THexEditor::sfMatchCase);

        int plainPos = (flags & THexEditor::sfFromCursor) ? editor.GetCursorOffset() : -1;
        int result = editor.FindFirst(text.constData(), mode, flags);
        for (int step = 0; step < size + 2; ++step) {
            int plain = -1;
            for (int cand = plainPos + 1; cand + pattern.size() <= size; ++cand) {
                plainPos = cand;
                const QByteArray here = data.mid(cand, pattern.size());
                if (fold ? here.toLower() == pattern.toLower() : here == pattern) {
                    plain = cand;
                    break;
                }
            }
            if (result != plain || editor.FSearchPos != plainPos) {
                qWarning("round %d step %d mode %d flags %d: got %d at %d, plain %d at %d", round, step, mode,
                         flags, result, int(editor.FSearchPos), plain, plainPos);
                QFAIL("search differs from the plain scan");
            }
            if (result < 0)
                break;
            ++matches;
            result = editor.FindNext();
        }
    }
    QVERIFY(matches > 1000); // the rounds really exercised matches
}

void TTestHexSearch::BackwardsAllAndReplace_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("backwards"); // FindLast, then FindPrevious calls
    QTest::addColumn<int>("count");         // FindAll
    QTest::addColumn<QByteArray>("with");
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("replaced");      // ReplaceAll
    QTest::addColumn<QByteArray>("after");

    const int text = THexEditor::smText, hex = THexEditor::smHex;
    const int exact = THexEditor::sfMatchCase, cursor = THexEditor::sfFromCursor;
    QTest::newRow("last, previous, all") << QByteArray("abcxabc") << 0 << QByteArray("abc") << text << exact
                                         << "4,0,-1" << 2 << QByteArray("XYZ") << false << 2
                                         << QByteArray("XYZxXYZ");
    QTest::newRow("backwards from the cursor") << QByteArray("abab") << 2 << QByteArray("ab") << text << cursor
                                               << "0,-1" << 2 << QByteArray("b") << true << 2 << QByteArray("bb");
    QTest::newRow("overlapping: all are apart") << QByteArray("aaaa") << 0 << QByteArray("aa") << text << 0
                                                << "2,1,0,-1" << 2 << QByteArray("") << true << 2 << QByteArray("");
    QTest::newRow("overwriting keeps the length") << QByteArray("xAyA") << 0 << QByteArray("a") << text << 0
                                                  << "3,1,-1" << 2 << QByteArray("zz") << false
                                                  << int(THexEditor::ReplaceRefused) << QByteArray("xAyA");
    QTest::newRow("hex, by longer") << QByteArray("\x01\x2c\x00\x01\x2c", 5) << 0 << QByteArray("01 2c") << hex
                                    << 0 << "3,0,-1" << 2 << QByteArray("ff ff ff") << true << 2
                                    << QByteArray("\xff\xff\xff\x00\xff\xff\xff", 7);
    QTest::newRow("nothing found") << QByteArray("abc") << 0 << QByteArray("q") << text << 0 << "-1" << 0
                                   << QByteArray("z") << true << 0 << QByteArray("abc");
}

// Each answer twice: at once, and from the same search in slices.
void TTestHexSearch::BackwardsAllAndReplace()
{
    QFETCH(QByteArray, data);
    QFETCH(int, cursor);
    QFETCH(QByteArray, text);
    QFETCH(int, mode);
    QFETCH(int, flags);
    QFETCH(QString, backwards);
    QFETCH(int, count);
    QFETCH(QByteArray, with);
    QFETCH(bool, insert);
    QFETCH(int, replaced);
    QFETCH(QByteArray, after);

    THexProbe editor, sliced;
    for (THexProbe* e : {&editor, &sliced}) {
        e->SetBytes(data);
        e->SetCursorOffset(cursor);
        e->SetInsertMode(insert);
    }
    QSignalSpy found(&sliced, &THexEditor::OnFindDone);
    QList<int> got{int(editor.FindLast(text.constData(), mode, flags))};
    QVERIFY(sliced.StartFindLast(text.constData(), mode, flags));
    const QList<int> expected = Results(backwards);
    while (got.size() < expected.size())
        got.append(editor.FindPrevious());
    QCOMPARE(got, expected);
    QVERIFY(found.wait());
    QCOMPARE(found.at(0).at(1).toLongLong(), qint64(expected.at(0)));

    QCOMPARE(editor.FindAll(text.constData(), mode, flags), qint64(count));
    QCOMPARE(editor.MatchCount(), qint64(count));
    QSignalSpy all(&sliced, &THexEditor::OnFindAllDone);
    QVERIFY(sliced.StartFindAll(text.constData(), mode, flags));
    QVERIFY(all.wait());
    QCOMPARE(all.at(0).at(1).toLongLong(), qint64(count));

    QCOMPARE(editor.ReplaceAll(text.constData(), mode, flags, with.constData()), qint64(replaced));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(editor.Data()), int(editor.DataSize())), after);
    QCOMPARE(editor.ChangeLog().UndoCount, replaced > 0 ? 1 : 0);
    QCOMPARE(editor.MatchCount(), qint64(replaced > 0 ? 0 : count)); // changed bytes: no match shown
    QSignalSpy done(&sliced, &THexEditor::OnReplaceDone);
    QVERIFY(sliced.StartReplaceAll(text.constData(), mode, flags, with.constData()));
    QVERIFY(done.wait());
    QCOMPARE(done.at(0).at(1).toLongLong(), qint64(replaced));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(sliced.Data()), int(sliced.DataSize())), after);
    if (replaced > 0) {
        editor.Undo();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(editor.Data()), int(editor.DataSize())), data);
    }
}

// Replace on the match found, and the search goes on after what replaced it.
void TTestHexSearch::ReplaceOneThenGoOn()
{
    THexProbe editor;
    editor.SetBytes("aXaXa");
    editor.SetInsertMode(true);
    QVERIFY(!editor.ReplaceMatch("aa")); // no search yet
    QCOMPARE(editor.FindFirst("a", THexEditor::smText, 0), 0);
    QVERIFY(editor.ReplaceMatch("aa"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(editor.Data()), int(editor.DataSize())), QByteArray("aaXaXa"));
    QCOMPARE(editor.FindNext(), 3);
    editor.SetInsertMode(false);
    QVERIFY(!editor.ReplaceMatch("bb")); // overwriting: the length must stay
    QVERIFY(editor.ReplaceMatch("b"));
    QCOMPARE(editor.FindNext(), 5);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(editor.Data()), int(editor.DataSize())), QByteArray("aaXbXa"));
    QCOMPARE(editor.ChangeLog().UndoCount, 2);
}

QTEST_MAIN(TTestHexSearch)
#include "tst_hexsearch.moc"
