// THexDocument without a widget, and THexEditor over files past 4 GiB:
// random edits against a plain std::vector, sparse files past the 32-bit
// limits checked on disk, the file changing under the document, how a save
// replaces a file, and long work in slices.
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

// Writes a change-log entry's value over the reference as the document does.
void Apply(TBytes& ref, const TChangeEntry& e, bool redo)
{
    unsigned value = redo ? e.NewValue : e.OldValue;
    const int length = e.Kind == TChangeLog::ckByte ? 1 : e.Size;
    for (int n = length - 1; n >= 0; --n, value >>= 8)
        if (e.Offset + n < qint64(ref.size()))
            ref[size_t(e.Offset + n)] = static_cast<unsigned char>(value);
}

qint64 PlainFind(const TBytes& ref, qint64 start, const QByteArray& pattern, bool fold)
{
    auto low = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (qint64 at = qMax<qint64>(start, 0); at + pattern.size() <= qint64(ref.size()); ++at) {
        int i = 0;
        while (i < pattern.size()
               && (fold ? low(ref[size_t(at + i)]) == low(uchar(pattern[i])) : ref[size_t(at + i)] == uchar(pattern[i])))
            ++i;
        if (i == pattern.size())
            return at;
    }
    return -1;
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
    QTest::newRow("paged, 16-byte pages") << qint64(0) << qint64(16) << qint64(64);
    QTest::newRow("paged, 7-byte pages, two in the cache") << qint64(0) << qint64(7) << qint64(14);
    QTest::newRow("in memory") << qint64(1 << 20) << qint64(16) << qint64(64);
}

// Rounds of random reads, writes, group writes, undo and redo, compared
// byte for byte with a std::vector; each round ends with undo of everything
// (the round's first bytes again), redo of everything, a save (to the file
// itself or another) checked on disk, and a reopening of the saved file.
void TestHexDocument::modelAgainstVector()
{
    QFETCH(qint64, memoryLimit);
    QFETCH(qint64, pageSize);
    QFETCH(qint64, cacheSize);
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
    const qint64 size = qint64(ref.size());
    for (int round = 0; round < 6; ++round) {
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
        for (int step = 0; step < 600; ++step) {
            // Offsets near page boundaries and the ends, often repeated.
            const qint64 at = rng.bounded(4) ? qint64(rng.bounded(int(size) + 4)) - 2
                                             : (rng.bounded(int(size / pageSize)) * pageSize) - 1;
            const unsigned value = rng.generate();
            TChangeEntry e;
            switch (rng.bounded(8)) {
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
                    Apply(ref, TChangeEntry{1, 0, at, 0, value, length}, true);
                break;
            }
            case 3:
                if (doc.Undo(&e))
                    Apply(ref, e, false);
                break;
            case 4:
                if (doc.Redo(&e))
                    Apply(ref, e, true);
                break;
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
                break;
            }
            }
        }
        QCOMPARE(Contents(doc), AsArray(ref));
        const TBytes edited = ref;
        while (doc.Undo())
            ;
        QCOMPARE(Contents(doc), AsArray(base));
        while (doc.Redo())
            ;
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
