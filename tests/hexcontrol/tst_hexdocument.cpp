// THexDocument without a widget, and THexEditor over files past 4 GiB:
// random edits (bytes, groups, inserts, deletes, pastes, cuts) with undo and
// redo against a plain std::vector, sparse files past the 32-bit limits
// checked on disk, saves after inserts and deletes, the file changing under
// the document, how a save replaces a file, and long work in slices.
#include "Hexdocument.h"
#include "Hexprobe.h"
#include "Testenv.h"
#include "Testfiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

using TBytes = std::vector<unsigned char>;

TBytes Random(QRandomGenerator& rng, int size)
{
    TBytes bytes(static_cast<size_t>(size));
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(rng.bounded(4) == 0 ? 'a' + rng.bounded(3) : rng.bounded(256));
    return bytes;
}

QByteArray AsArray(const TBytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

QByteArray Contents(const THexDocument& doc)
{
    QByteArray bytes(int(doc.Size()), '\0');
    doc.Read(0, bytes.data(), bytes.size());
    return bytes;
}

// Writes a group's value over the reference as the document does.
void ApplyWord(TBytes& ref, qint64 at, int length, unsigned value)
{
    for (int n = length - 1; n >= 0; --n, value >>= 8)
        if (at + n < qint64(ref.size()))
            ref[size_t(at + n)] = static_cast<unsigned char>(value);
}

// The history of a document as plain copies: the bytes before each undo
// entry, and after each redo entry. Merged steps and steps dropped by the
// depth follow the log's entries (their serials).
struct THistory
{
    std::vector<TBytes> Past, Future;

    static unsigned long long Newest(const TChangeLog& log)
    {
        return log.UndoCount > 0 ? log.UndoEntries.back().Serial : 0;
    }
    // After a change made to `ref`, which held `before` and whose newest
    // entry was `newest`.
    void Changed(const TChangeLog& log, const TBytes& before, unsigned long long newest)
    {
        if (Newest(log) != newest) {
            Past.push_back(before);
            Future.clear();
        }
        while (int(Past.size()) > log.UndoCount)
            Past.erase(Past.begin());
    }
    bool Undo(THexDocument& doc, TBytes& ref)
    {
        const int redo = doc.ChangeLog().RedoCount;
        if (!doc.Undo())
            return false;
        if (doc.ChangeLog().RedoCount > redo) // a full redo stack drops it
            Future.push_back(ref);
        ref = Past.back();
        Past.pop_back();
        return true;
    }
    bool Redo(THexDocument& doc, TBytes& ref)
    {
        if (!doc.Redo())
            return false;
        Past.push_back(ref);
        ref = Future.back();
        Future.pop_back();
        return true;
    }
};

bool MatchesAt(const TBytes& ref, qint64 at, const QByteArray& pattern, bool fold)
{
    auto low = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (int i = 0; i < pattern.size(); ++i) {
        const unsigned char a = ref[size_t(at + i)], b = uchar(pattern[i]);
        if (fold ? low(a) != low(b) : a != b)
            return false;
    }
    return true;
}

qint64 PlainFind(const TBytes& ref, qint64 start, const QByteArray& pattern, bool fold)
{
    for (qint64 at = qMax<qint64>(start, 0); at + pattern.size() <= qint64(ref.size()); ++at)
        if (MatchesAt(ref, at, pattern, fold))
            return at;
    return -1;
}

qint64 PlainFindLast(const TBytes& ref, qint64 start, const QByteArray& pattern, bool fold)
{
    for (qint64 at = qMin(start, qint64(ref.size()) - pattern.size()); at >= 0; --at)
        if (MatchesAt(ref, at, pattern, fold))
            return at;
    return -1;
}

// The matches replace-all and find-all take: left to right, each after the
// end of the one before.
std::vector<qint64> PlainFindAll(const TBytes& ref, const QByteArray& pattern, bool fold)
{
    std::vector<qint64> all;
    for (qint64 at = PlainFind(ref, 0, pattern, fold); at >= 0; at = PlainFind(ref, at + pattern.size(), pattern, fold))
        all.push_back(at);
    return all;
}

QByteArray Pread(const QString& path, qint64 offset, int length)
{
    QByteArray bytes(length, '\0');
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    const ssize_t n = fd >= 0 ? ::pread(fd, bytes.data(), size_t(length), off_t(offset)) : -1;
    if (fd >= 0)
        ::close(fd);
    return n == length ? bytes : QByteArray("<unreadable>");
}

bool MakeSparse(const QString& path, qint64 size, qint64 at, const QByteArray& marker)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const bool ok = fd >= 0 && ::ftruncate(fd, size) == 0
                    && ::pwrite(fd, marker.constData(), size_t(marker.size()), off_t(at)) == marker.size();
    if (fd >= 0)
        ::close(fd);
    return ok;
}

struct stat Stat(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

class TestHexDocument : public QObject
{
    Q_OBJECT

private slots:
    void modelAgainstVector_data();
    void modelAgainstVector();
    void pastFourGiB_data();
    void pastFourGiB();
    void saveAfterInsertsAndDeletes_data();
    void saveAfterInsertsAndDeletes();
    void fileChangedUnderIt_data();
    void fileChangedUnderIt();
    void saveGoesThroughANewFile_data();
    void saveGoesThroughANewFile();
    void longWorkInSlices();

private:
    TTestConfigHome FConfigHome;
};

void TestHexDocument::modelAgainstVector_data()
{
    QTest::addColumn<qint64>("memoryLimit");
    QTest::addColumn<qint64>("pageSize");
    QTest::addColumn<qint64>("cacheSize");
    QTest::addColumn<int>("depth");
    QTest::newRow("paged, 16-byte pages") << qint64(0) << qint64(16) << qint64(64) << 1024;
    QTest::newRow("paged, 7-byte pages, two in the cache") << qint64(0) << qint64(7) << qint64(14) << 1024;
    QTest::newRow("in memory") << qint64(1 << 20) << qint64(16) << qint64(64) << 1024;
    QTest::newRow("paged, 30 steps deep") << qint64(0) << qint64(16) << qint64(64) << 30;
    QTest::newRow("in memory, no depth limit") << qint64(1 << 20) << qint64(16) << qint64(64) << 0;
}

// Rounds of random reads, writes, group writes, inserts (typed ones merging),
// deletes, cuts, pastes, block overwrites, saves, undo and redo, compared
// byte for byte with a std::vector and its history; each round ends with
// undo of everything (the round's first bytes again), redo of everything, a
// save (to the file itself or another) checked on disk, and a reopening of
// the saved file.
void TestHexDocument::modelAgainstVector()
{
    QFETCH(qint64, memoryLimit);
    QFETCH(qint64, pageSize);
    QFETCH(qint64, cacheSize);
    QFETCH(int, depth);
    QTemporaryDir dir;
    QString path = dir.filePath("model.bin");
    QRandomGenerator rng(20261208);
    TBytes ref = Random(rng, 3000);
    QVERIFY(WriteFile(path, AsArray(ref)));

    THexDocument doc;
    doc.SetMemoryLimit(memoryLimit);
    doc.SetPaging(pageSize, cacheSize);
    QCOMPARE(doc.Load(path), int(THexDocument::frOk));
    QCOMPARE(doc.InMemory(), memoryLimit > 0);
    doc.SetUndoDepth(depth);
    for (int round = 0; round < 6; ++round) {
        qint64 size = qint64(ref.size());
        // Unrecorded writes first; what the round's undo leads back to.
        for (int i = 0; i < 20; ++i) {
            const qint64 at = qint64(rng.bounded(int(size) + 40)) - 20;
            const TBytes block = Random(rng, rng.bounded(60));
            doc.Write(at, block.data(), qint64(block.size()));
            for (size_t k = 0; k < block.size(); ++k)
                if (at + qint64(k) >= 0 && at + qint64(k) < size)
                    ref[size_t(at + qint64(k))] = block[k];
        }
        const TBytes base = ref;
        THistory history;
        qint64 typed = -1; // where a typed insert would go on
        for (int step = 0; step < 600; ++step) {
            size = qint64(ref.size());
            // Offsets near page boundaries and the ends, often repeated.
            const qint64 at = rng.bounded(4) ? qint64(rng.bounded(int(size) + 4)) - 2
                                             : (rng.bounded(int(size / pageSize) + 1) * pageSize) - 1;
            const unsigned value = rng.generate();
            const TBytes before = ref;
            const unsigned long long newest = THistory::Newest(doc.ChangeLog());
            const bool inside = at >= 0 && at <= size; // where a range may start
            switch (rng.bounded(14)) {
            case 0:
            case 1:
                doc.SetByte(at, static_cast<unsigned char>(value));
                if (at >= 0 && at < size)
                    ref[size_t(at)] = static_cast<unsigned char>(value);
                break;
            case 2: {
                const int length = 1 + rng.bounded(4);
                doc.SetWord(at, length, value);
                if (at >= 0 && at < size)
                    ApplyWord(ref, at, length, value);
                break;
            }
            case 3:
                history.Undo(doc, ref);
                continue;
            case 4:
                history.Redo(doc, ref);
                continue;
            case 5: doc.Seal(); break;
            case 6: {
                const int length = rng.bounded(3 * int(pageSize) + 2);
                QByteArray got(length, '\x55');
                const qint64 n = doc.Read(at, got.data(), length);
                const qint64 want = at < 0 || at >= size ? 0 : qMin<qint64>(length, size - at);
                QCOMPARE(n, want);
                QCOMPARE(got.left(int(n)), AsArray(ref).mid(int(at), int(n)));
                break;
            }
            case 7: {
                if (size < 16)
                    break;
                // A pattern from the data (a match to find), in any case.
                const qint64 from = rng.bounded(int(size) - 8);
                QByteArray pattern = AsArray(ref).mid(int(from), 1 + rng.bounded(6));
                const bool fold = rng.bounded(2);
                if (fold)
                    pattern = pattern.toUpper();
                const qint64 start = rng.bounded(int(size));
                qint64 last = -7;
                const qint64 found = doc.Find(start, reinterpret_cast<const uchar*>(pattern.constData()),
                                              int(pattern.size()), fold, &last);
                QCOMPARE(found, PlainFind(ref, start, pattern, fold));
                QCOMPARE(last, found >= 0 ? found : size - pattern.size());
                QCOMPARE(doc.FindBackward(start, reinterpret_cast<const uchar*>(pattern.constData()),
                                          int(pattern.size()), fold),
                         PlainFindLast(ref, start, pattern, fold));
                if (rng.bounded(4) == 0) {
                    // Every match, or every match replaced in one step.
                    const std::vector<qint64> all = PlainFindAll(ref, pattern, fold);
                    if (rng.bounded(2)) {
                        QCOMPARE(doc.FindAll(pattern, fold), qint64(all.size()));
                        QVERIFY(doc.Matches() == all);
                    } else {
                        const TBytes with = Random(rng, rng.bounded(4));
                        QCOMPARE(doc.ReplaceAll(pattern, fold, AsArray(with)), qint64(all.size()));
                        for (auto m = all.rbegin(); m != all.rend(); ++m) {
                            ref.erase(ref.begin() + *m, ref.begin() + *m + pattern.size());
                            ref.insert(ref.begin() + *m, with.begin(), with.end());
                        }
                    }
                }
                break;
            }
            case 8:
            case 9: {
                // Typed inserts go on where the last one ended, and merge.
                const qint64 where = typed >= 0 && rng.bounded(3) ? typed : at;
                const TBytes bytes = Random(rng, 1 + rng.bounded(rng.bounded(4) ? 2 : 40));
                const bool ok = doc.Insert(where, bytes.data(), qint64(bytes.size()));
                QCOMPARE(ok, where >= 0 && where <= size);
                if (ok) {
                    ref.insert(ref.begin() + where, bytes.begin(), bytes.end());
                    typed = where + qint64(bytes.size());
                }
                break;
            }
            case 10: {
                const qint64 length = rng.bounded(3 * int(pageSize));
                const bool ok = doc.Remove(at, length, rng.bounded(2) ? TChangeLog::ckDelete : TChangeLog::ckCut);
                QCOMPARE(ok, inside && length > 0 && at + length <= size);
                if (ok)
                    ref.erase(ref.begin() + at, ref.begin() + at + length);
                break;
            }
            case 11: {
                // A paste over a selection: any lengths.
                const qint64 length = rng.bounded(20);
                const TBytes bytes = Random(rng, rng.bounded(20));
                const bool ok = doc.Replace(at, length, bytes.data(), qint64(bytes.size()), TChangeLog::ckPaste);
                QCOMPARE(ok, inside && at + length <= size && (length > 0 || !bytes.empty()));
                if (ok) {
                    ref.erase(ref.begin() + at, ref.begin() + at + length);
                    ref.insert(ref.begin() + at, bytes.begin(), bytes.end());
                }
                break;
            }
            case 12: {
                // A block written over, never past the end; or the second
                // digit of a typed byte.
                const TBytes bytes = Random(rng, 1 + rng.bounded(30));
                if (rng.bounded(2)) {
                    const bool ok = doc.OverwriteBytes(at, AsArray(bytes));
                    QCOMPARE(ok, at >= 0 && at < size);
                    for (size_t k = 0; ok && k < bytes.size() && at + qint64(k) < size; ++k)
                        ref[size_t(at + qint64(k))] = bytes[k];
                } else if (typed > 0 && doc.AmendInsert(typed - 1, bytes.data(), 1)) {
                    ref[size_t(typed - 1)] = bytes[0];
                }
                break;
            }
            case 13:
                if (rng.bounded(8) == 0) {
                    // Saved mid-way: the log goes on across it.
                    QCOMPARE(doc.Save(path), int(THexDocument::frOk));
                    QVERIFY(doc.AtSavePoint());
                    QCOMPARE(ReadFile(path), AsArray(ref));
                }
                break;
            }
            if (!(step % 50))
                QCOMPARE(Contents(doc), AsArray(ref));
            history.Changed(doc.ChangeLog(), before, newest);
            QCOMPARE(doc.Size(), qint64(ref.size()));
        }
        QCOMPARE(Contents(doc), AsArray(ref));
        const TBytes edited = ref;
        int undone = 0;
        while (history.Undo(doc, ref))
            ++undone;
        QCOMPARE(doc.ChangeLog().UndoCount, 0);
        QCOMPARE(Contents(doc), AsArray(ref));
        if (depth == 0 || depth > 1000)
            QCOMPARE(ref, base);
        // As many steps forward again (steps undone before stay undone).
        for (int i = 0; i < undone; ++i)
            QVERIFY(history.Redo(doc, ref));
        QCOMPARE(Contents(doc), AsArray(edited));

        // Saved to the file read from, or to another; checked on disk, and
        // the document goes on from the saved file.
        if (round % 2)
            path = dir.filePath(QStringLiteral("model-%1.bin").arg(round));
        QCOMPARE(doc.Save(path), int(THexDocument::frOk));
        QCOMPARE(ReadFile(path), AsArray(edited));
        QCOMPARE(Contents(doc), AsArray(edited));
        QCOMPARE(doc.Load(path), int(THexDocument::frOk));
        QCOMPARE(Contents(doc), AsArray(edited));
    }
    // Nothing but the saved files is left in the folder.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

void TestHexDocument::pastFourGiB_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("bytesPerLine");
    const qint64 size = qint64(16) << 30;
    for (int line : {16, 8}) {
        // 16 bytes a line: 2^30 rows, one to a scroll-bar step; 8 bytes a
        // line: 2^31 rows, mapped onto the scroll bar in proportion.
        const QByteArray suffix = line == 16 ? ", rows one by one" : ", rows in proportion";
        QTest::newRow("last int offset" + suffix) << qint64(0x7FFFFFFF) << line;
        QTest::newRow("last 32-bit offset" + suffix) << qint64(0xFFFFFFFF) << line;
        QTest::newRow("first offset past 32 bits" + suffix) << (qint64(1) << 32) << line;
        QTest::newRow("the last bytes" + suffix) << size - 4 << line;
    }
}

// A sparse 16 GiB file: read, typed over, searched, scrolled to and saved
// past the 32-bit limits, then read back from disk with pread.
void TestHexDocument::pastFourGiB()
{
    QFETCH(qint64, offset);
    QFETCH(int, bytesPerLine);
    const qint64 size = qint64(16) << 30;
    QTemporaryDir dir;
    const QString path = dir.filePath("disk.img");
    if (!MakeSparse(path, size, offset, "\xA5\x5A\xC3\x3C"))
        QSKIP("the file system holds no sparse 16 GiB file");

    QScrollBar bar(Qt::Vertical);
    THexProbe ed;
    ed.resize(700, 300);
    ed.SetScrollBar(&bar);
    ed.SetBytesPerLine(bytesPerLine);
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 0);
    QCOMPARE(ed.DataSize(), size);
    QVERIFY(!ed.Data()); // read in pages, not whole
    QCOMPARE(ed.GetByte(offset), uchar(0xA5));
    QCOMPARE(ed.GetByte(offset + 4), uchar(0));

    // Scrolled to: the cursor's row is painted and can be clicked.
    ed.Snapshot();
    ed.MoveCursor(offset);
    ed.Snapshot();
    QVERIFY(ed.FirstVisible() <= offset && offset <= ed.LastVisible());
    char text[THexEditor::TextSize];
    ed.FormatOffset(offset, text);
    QCOMPARE(ed.DecodeOffset(text), offset);
    QCOMPARE(qstrlen(text), 9u); // one digit more than 8, for 16 GiB
    const int rowY = 10 + int((offset - ed.FirstVisible()) / bytesPerLine) * ed.FRowHeight + 1;
    QCOMPARE(ed.GetMouseOffset(ed.FAddrSeparatorX + 21, rowY), offset - offset % bytesPerLine);
    // A page step of the bar is one page, at any size.
    const qint64 first = ed.FirstVisible();
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    ed.Snapshot();
    QCOMPARE(ed.FirstVisible(), first - qint64(ed.VisibleRows()) * bytesPerLine);
    QCOMPARE(bar.maximum(), bytesPerLine == 16 ? int(size / 16 - 1) : int(THexEditor::ScrollLimit));

    // Typed over, found, saved, and checked on disk.
    ed.MoveCursor(offset);
    ed.SetCursorPanel(0);
    for (char ch : QByteArray("7e"))
        ed.KeyPress(ch);
    QCOMPARE(ed.GetByte(offset), uchar(0x7E));
    ed.MoveCursor(offset - 1000);
    QCOMPARE(ed.FindFirst("7e 5a c3", THexEditor::smHex, THexEditor::sfFromCursor), offset);
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), 0);
    const int span = int(qMin<qint64>(6, size - offset + 1));
    QCOMPARE(Pread(path, offset - 1, span), QByteArray("\x00\x7E\x5A\xC3\x3C\x00", 6).left(span));
    QCOMPARE(QFileInfo(path).size(), size);
    QVERIFY(qint64(Stat(path).st_blocks) * 512 < (qint64(1) << 20)); // the holes stayed holes
}

void TestHexDocument::saveAfterInsertsAndDeletes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("cut");  // bytes deleted at size / 4
    QTest::addColumn<int>("keptSteps"); // undo steps left after the save
    QTest::newRow("in memory") << qint64(1000) << qint64(10) << 3;
    QTest::newRow("4 GiB sparse file") << (qint64(4) << 30) << qint64(2) << 3;
    // The deletion's bytes are more than a save keeps: that step and the
    // ones before it are given up, the insert after it stays.
    QTest::newRow("deleting more than a save keeps")
        << (qint64(256) << 20) << THexDocument::KeepAcrossSave + 1 << 1;
}

// One byte inserted at the start, a range deleted, bytes appended: the file
// saved has every byte at its new place (and does not shrink, as editors
// that save only up to the old size do), holes stay holes, undo reaches back
// across the save as far as kept, and the save point follows.
void TestHexDocument::saveAfterInsertsAndDeletes()
{
    QFETCH(qint64, size);
    QFETCH(qint64, cut);
    QFETCH(int, keptSteps);
    QTemporaryDir dir;
    const QString path = dir.filePath("big.bin");
    const qint64 marker = size - size / 4;
    if (!MakeSparse(path, size, marker, "MARK"))
        QSKIP("the file system holds no sparse file this large");
    THexDocument doc;
    QCOMPARE(doc.Load(path), 0);
    QVERIFY(doc.AtSavePoint());
    QVERIFY(doc.Insert(0, "X", 1));
    doc.Seal();
    QVERIFY(doc.Remove(size / 4, cut));
    QVERIFY(doc.Insert(doc.Size(), "tail", 4, TChangeLog::ckPaste));
    QVERIFY(!doc.AtSavePoint());
    const qint64 saved = size + 1 - cut + 4;
    QCOMPARE(doc.Size(), saved);

    QCOMPARE(doc.Save(path), 0);
    QVERIFY(doc.AtSavePoint());
    QCOMPARE(QFileInfo(path).size(), saved);
    QCOMPARE(Pread(path, 0, 2), QByteArray("X\0", 2));
    QCOMPARE(Pread(path, marker + 1 - cut, 4), QByteArray("MARK"));
    QCOMPARE(Pread(path, saved - 5, 5), QByteArray("\0tail", 5));
    if (size > (1 << 20))
        QVERIFY(qint64(Stat(path).st_blocks) * 512 < (qint64(1) << 20));

    QCOMPARE(doc.ChangeLog().UndoCount, keptSteps);
    while (doc.Undo())
        QVERIFY(!doc.AtSavePoint());
    QCOMPARE(doc.Size(), keptSteps == 3 ? size : saved - 4);
    char byte = 1;
    QCOMPARE(doc.Read(marker + (keptSteps == 3 ? 0 : 1 - cut), &byte, 1), qint64(1));
    QCOMPARE(byte, 'M');
    while (doc.Redo())
        ;
    QVERIFY(doc.AtSavePoint()); // redone back to the bytes on disk
    QCOMPARE(doc.Size(), saved);
}

void TestHexDocument::fileChangedUnderIt_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("result"); // of a save to another file
    QTest::newRow("shortened") << "shorten" << int(THexDocument::scModified | THexDocument::scShortened)
                               << int(THexDocument::frSourceLost);
    QTest::newRow("replaced by a rename") << "replace" << int(THexDocument::scReplaced) << int(THexDocument::frOk);
}

// Another program shortens or replaces the file while it is open in pages:
// nothing crashes, the change is reported, and a save never writes bytes
// that were neither in the file read nor written through the document.
void TestHexDocument::fileChangedUnderIt()
{
    QFETCH(QString, change);
    QFETCH(int, reported);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString path = dir.filePath("shared.bin");
    const QString other = dir.filePath("other.bin");
    QRandomGenerator rng(5);
    const QByteArray original = AsArray(Random(rng, 10000));
    QVERIFY(WriteFile(path, original));

    THexDocument doc;
    doc.SetMemoryLimit(0);
    doc.SetPaging(64, 256);
    QCOMPARE(doc.Load(path), 0);
    QSignalSpy changed(&doc, &THexDocument::SourceChanged);
    doc.SetByte(9000, 0xEE);
    QCOMPARE(doc.CheckSource(), 0);

    QByteArray expected = original;
    expected[9000] = char(0xEE);
    if (change == "shorten") {
        QVERIFY(QFile::resize(path, 5000));
        expected = original.left(5000); // what stays on disk
    } else {
        QVERIFY(WriteFile(dir.filePath("new.bin"), "the other program's file"));
        QVERIFY(::rename(QFile::encodeName(dir.filePath("new.bin")).constData(), QFile::encodeName(path).constData()) == 0);
    }
    QCOMPARE(doc.CheckSource(), reported);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), reported);
    QCOMPARE(doc.CheckSource(), reported);
    QCOMPARE(changed.count(), 1); // told once
    QByteArray tail(2000, '\x55');
    QCOMPARE(doc.Read(8000, tail.data(), tail.size()), qint64(2000));

    const QByteArray onDisk = ReadFile(path);
    QCOMPARE(doc.Save(other), result);
    QCOMPARE(doc.Save(path), result);
    if (result == THexDocument::frOk) {
        // The bytes read before the file was replaced, and the typed one.
        QCOMPARE(ReadFile(other), expected);
        QCOMPARE(ReadFile(path), expected);
    } else {
        QVERIFY(!doc.ErrorText().isEmpty());
        QVERIFY(!QFile::exists(other));
        QCOMPARE(ReadFile(path), onDisk);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

void TestHexDocument::saveGoesThroughANewFile_data()
{
    QTest::addColumn<int>("nameLength");
    QTest::newRow("ordinary name") << 8;
    // No room for a longer temporary name beside it; it still is not written
    // in place (that is for folders that take no new files).
    QTest::newRow("name at the length limit") << 255;
}

// A save replaces the file by a new one, with the old file's permissions,
// and leaves nothing else behind.
void TestHexDocument::saveGoesThroughANewFile()
{
    QFETCH(int, nameLength);
    QTemporaryDir dir;
    const QString path = dir.filePath(QString(nameLength, QLatin1Char('n')));
    QVERIFY(WriteFile(path, "old bytes"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    const ino_t before = Stat(path).st_ino;

    THexDocument doc;
    doc.SetMemory(9, "new bytes");
    QCOMPARE(doc.Save(path), 0);
    QCOMPARE(ReadFile(path), QByteArray("new bytes"));
    QVERIFY(Stat(path).st_ino != before);
    QCOMPARE(Stat(path).st_mode & 0777, 0640u);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QCOMPARE(doc.CheckSource(), 0); // the document now stands for the saved file
}

// StartFind and StartSave give what Find and Save give; while they run the
// document takes no changes, and Cancel leaves the target as it was.
void TestHexDocument::longWorkInSlices()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.bin");
    QByteArray bytes(3 << 20, '\0');
    bytes.replace(bytes.size() - 5, 5, "match");
    QVERIFY(WriteFile(path, bytes));
    THexDocument doc;
    doc.SetMemoryLimit(0);
    QCOMPARE(doc.Load(path), 0);

    QSignalSpy found(&doc, &THexDocument::FindFinished);
    QVERIFY(doc.StartFind(0, "MATCH", true));
    QVERIFY(doc.Busy());
    doc.SetByte(0, 1);
    QCOMPARE(doc.GetByte(0), uchar(0));
    QVERIFY(!doc.StartSave(path));
    QVERIFY(found.wait());
    QCOMPARE(found.at(0).at(0).toLongLong(), qint64(bytes.size() - 5));
    QVERIFY(!doc.Busy());

    doc.SetByte(0, 1);
    QSignalSpy saved(&doc, &THexDocument::SaveFinished);
    QVERIFY(doc.StartSave(path));
    doc.Cancel();
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toInt(), int(THexDocument::frCancelled));
    QCOMPARE(ReadFile(path), bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    QVERIFY(doc.StartSave(path));
    QVERIFY(saved.wait());
    QCOMPARE(saved.at(1).at(0).toInt(), int(THexDocument::frOk));
    bytes[0] = 1;
    QCOMPARE(ReadFile(path), bytes);
}

QTEST_MAIN(TestHexDocument)
#include "tst_hexdocument.moc"
