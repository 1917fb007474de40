// THexEditor's data side and input: construction, files, byte and word
// access, undo and redo through the control, typing, keys, mouse and focus.
#include "Hexprobe.h"
#include "Testfiles.h"
#include "Testenv.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const THexEditor& ed)
{
    return QByteArray(reinterpret_cast<const char*>(ed.Data()), ed.DataSize());
}

QByteArray Pattern(int size, int seed)
{
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed) & 0xFF);
    return data;
}


// Runs one test function of this program (name[:data tag]) again in a child
// process with an ordinary user's rights, and fails when it fails there.
void RunAsOrdinaryUser(const QString& testFunction)
{
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    // The child runs a copy in a folder anyone may enter: the build folder may
    // lie where an ordinary user cannot reach it.
    QTemporaryDir runDir;
    const QString copy = runDir.filePath(QStringLiteral("child"));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(QFile::setPermissions(runDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(runDir.path());
    child.setChildProcessModifier([uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(77);
    });
    child.start(copy, {testFunction});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        QFAIL(qPrintable("the child run did not finish: " + child.errorString()));
    if (child.exitCode() == 77)
        QSKIP("running as root and cannot take an ordinary user's rights");
    QVERIFY2(child.exitCode() == 0, child.readAll().constData());
}

// Types a character the way a key press does.
void Type(THexEditor& ed, char ch)
{
    ed.KeyPress(ch);
}

} // namespace

class TestHexEditor : public QObject
{
    Q_OBJECT

private slots:
    void constructionState();
    void setNullAndNotLoaded();

    void wordWritesGroupBigEndianWithOneEntry_data();
    void wordWritesGroupBigEndianWithOneEntry();
    void sameByteAfterCursorMoveMakesTwoEntries();
    void undoUndoRedoLeavesOneRedoEntry();
    void undoThenTypingEmptiesRedo();
    void undoRedoRestoreRandomEdits();

    void loadFile_data();
    void loadFile();
    void loadFailureKeepsDataResetsLog_data();
    void loadFailureKeepsDataResetsLog();
    void shortReadZeroesTail();
    void loadShowsOnlyBytesRead_data();
    void loadShowsOnlyBytesRead();
    void saveFile();
    void saveToUnopenableTarget_data();
    void saveToUnopenableTarget();
    void saveFailingMidwayKeepsOldFile();
    void saveInReadOnlyFolder_data();
    void saveInReadOnlyFolder();

    void hexTyping_data();
    void hexTyping();
    void decimalTyping_data();
    void decimalTyping();
    void keystrokeChangingNoByteRecordsNothing_data();
    void keystrokeChangingNoByteRecordsNothing();
    void characterPanel();
    void readOnlyIgnoresTyping();
    void pageDownUsesRowsLastPainted();
    void scrollFollowsCursor();
    void mouseClicks();
    void keysReachEditorInsideDialog();
    void otherKeysReachDialogAndHost_data();
    void otherKeysReachDialogAndHost();

private:
    TTestConfigHome FConfigHome;
};

void TestHexEditor::constructionState()
{
    THexProbe ed;
    QCOMPARE(Bytes(ed), Bytes(ed).left(256).repeated(4));
    QCOMPARE(int(ed.GetByte(255)), 255);
    QCOMPARE(ed.GetCursorOffset(), 5);
    QCOMPARE(ed.CursorPanel(), 1);
    QCOMPARE(ed.focusPolicy(), Qt::StrongFocus);
    // Digits, letters and dots take the same width, or the columns misalign.
    const QFontMetrics metrics(ed.font());
    QCOMPARE(metrics.horizontalAdvance('W'), metrics.horizontalAdvance('.'));
    // Published properties are reachable by name, as a form designer sets them.
    QVERIFY(ed.setProperty("BytesPerLine", 8));
    QCOMPARE(ed.property("BytesPerLine").toInt(), 8);
}

void TestHexEditor::setNullAndNotLoaded()
{
    THexProbe ed;
    ed.SetByte(3, 0x99);
    ed.SetDirty(1);
    ed.SetNotLoaded();
    QCOMPARE(Bytes(ed), QByteArray(1024, 0));
    QVERIFY(!ed.Dirty());
    QCOMPARE(QByteArray(ed.FileName()), QByteArray("(null)"));
    QCOMPARE(ed.ChangeLog().UndoCount, 0);
    QCOMPARE(QByteArray(ed.Message()), QByteArray("Start by using the File menu to open a file"));

    // Edits of the null buffer do not survive the next SetNull.
    ed.SetByte(0, 0x55);
    ed.SetNull();
    QCOMPARE(int(ed.GetByte(0)), 0);
}

void TestHexEditor::wordWritesGroupBigEndianWithOneEntry_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("offset");
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("2-byte group") << 2 << 5 << 0x1234u << 4 << QByteArray("\x12\x34", 2);
    QTest::newRow("4-byte group") << 4 << 6 << 0xA1B2C3D4u << 4 << QByteArray("\xA1\xB2\xC3\xD4", 4);
    QTest::newRow("3-byte group drops top byte") << 3 << 7 << 0x11223344u << 6 << QByteArray("\x22\x33\x44", 3);
    QTest::newRow("1-byte group") << 1 << 9 << 0x1FFu << 9 << QByteArray("\xFF", 1);
}

void TestHexEditor::wordWritesGroupBigEndianWithOneEntry()
{
    QFETCH(int, group);
    QFETCH(int, offset);
    QFETCH(uint, value);
    QFETCH(int, start);
    QFETCH(QByteArray, bytes);

    THexProbe ed;
    ed.SetBytesPerGroup(group);
    const unsigned before = ed.GetWord(offset);
    ed.SetWord(offset, value);
    QCOMPARE(Bytes(ed).mid(start, group), bytes);
    QCOMPARE(int(ed.GetByte(start - 1)), (start - 1) % 256);
    QCOMPARE(int(ed.GetByte(start + group)), (start + group) % 256);
    QCOMPARE(ed.ChangeLog().UndoCount, 1);
    const TChangeEntry& e = ed.ChangeLog().UndoEntries[0];
    QCOMPARE(e.Kind, 1);
    QCOMPARE(e.Offset, start);
    QCOMPARE(e.OldValue, before);
    QCOMPARE(e.NewValue, value);

    ed.Undo();
    QCOMPARE(Bytes(ed), Bytes(THexProbe()));
}

void TestHexEditor::sameByteAfterCursorMoveMakesTwoEntries()
{
    THexProbe ed;
    ed.MoveCursor(7);
    ed.SetCursorByte(1);
    ed.MoveCursor(8);
    ed.MoveCursor(7);
    ed.SetCursorByte(2);
    QCOMPARE(ed.ChangeLog().UndoCount, 2);
    ed.Undo();
    ed.Undo();
    QCOMPARE(int(ed.GetByte(7)), 7);
}

void TestHexEditor::undoUndoRedoLeavesOneRedoEntry()
{
    THexProbe ed;
    ed.SetByte(1, 0xAA);
    ed.MoveCursor(2);
    ed.SetByte(2, 0xBB);
    ed.MoveCursor(3);
    QSignalSpy cursor(&ed, &THexEditor::OnCursorChange);
    QSignalSpy dirty(&ed, &THexEditor::OnDirtyChange);
    ed.Undo();
    ed.Undo();
    QCOMPARE(int(ed.GetByte(1)), 1);
    QCOMPARE(int(ed.GetByte(2)), 2);
    ed.Redo();
    QCOMPARE(int(ed.GetByte(1)), 0xAA);
    QCOMPARE(int(ed.GetByte(2)), 2);
    QCOMPARE(ed.ChangeLog().RedoCount, 1);
    QCOMPARE(ed.ChangeLog().UndoCount, 1);
    QCOMPARE(ed.GetCursorOffset(), 1);
    QCOMPARE(cursor.count(), 3);
    QCOMPARE(dirty.count(), 0); // undo and redo leave the dirty flag alone
    // The restored entry is sealed: the next change there is its own step.
    ed.SetByte(1, 0xCC);
    QCOMPARE(ed.ChangeLog().UndoCount, 2);
}

void TestHexEditor::undoThenTypingEmptiesRedo()
{
    THexProbe ed;
    ed.SetCursorPanel(0);
    ed.MoveCursor(0);
    Type(ed, 'f');
    Type(ed, 'f');
    ed.Undo();
    QCOMPARE(ed.ChangeLog().RedoCount, 1);
    ed.MoveCursor(4);
    Type(ed, '1');
    QCOMPARE(ed.ChangeLog().RedoCount, 0);
    ed.Redo(); // nothing to redo
    QCOMPARE(int(ed.GetByte(0)), 0);
}

void TestHexEditor::undoRedoRestoreRandomEdits()
{
    QRandomGenerator rng(20261207);
    for (int round = 0; round < 40; ++round) {
        THexProbe ed;
        ed.SetBytesPerGroup(1 + int(rng.bounded(4)));
        const QByteArray original = Bytes(ed);
        const int edits = 1 + int(rng.bounded(300));
        for (int i = 0; i < edits; ++i) {
            // A small range of offsets makes repeated and merged edits likely.
            const int offset = int(rng.bounded(40));
            if (rng.bounded(2))
                ed.SetByte(offset, static_cast<unsigned char>(rng.bounded(256)));
            else
                ed.SetWord(offset, rng.generate());
            if (rng.bounded(2))
                ed.MoveCursor(int(rng.bounded(1024))); // seals
            // The group length may change between an edit and its undo:
            // each word change still restores exactly the bytes it covered.
            if (rng.bounded(8) == 0)
                ed.SetBytesPerGroup(1 + int(rng.bounded(4)));
        }
        const QByteArray edited = Bytes(ed);
        const int steps = ed.ChangeLog().UndoCount;
        for (int i = 0; i < steps; ++i)
            ed.Undo();
        QCOMPARE(Bytes(ed), original);
        for (int i = 0; i < steps; ++i)
            ed.Redo();
        QCOMPARE(Bytes(ed), edited);
        QCOMPARE(ed.ChangeLog().RedoCount, 0);
    }
}

void TestHexEditor::loadFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("file") << 5000;
    QTest::newRow("empty file") << 0;
}

void TestHexEditor::loadFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath("data.bin");
    const QByteArray content = Pattern(size, 3);
    QVERIFY(WriteFile(path, content));

    THexProbe ed;
    ed.SetNotLoaded();
    ed.SetByte(2, 9);
    ed.SetDirty(1);
    QSignalSpy names(&ed, &THexEditor::OnFileNameChange);
    QSignalSpy sizes(&ed, &THexEditor::OnSizeChange);
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 0);
    QCOMPARE(Bytes(ed), content);
    QCOMPARE(sizes.last().at(1).toInt(), size);
    QCOMPARE(QString::fromLocal8Bit(ed.FileName()), path);
    QCOMPARE(names.count(), 1);
    QVERIFY(!ed.Dirty());
    QCOMPARE(QByteArray(ed.Message()), QByteArray());
    QCOMPARE(ed.ChangeLog().UndoCount, 0);
    QCOMPARE(ed.GetCursorOffset(), 0);
    int key = Qt::Key_End; // on an empty buffer the cursor stays at 0
    ed.KeyDown(key, Qt::NoModifier);
    QCOMPARE(ed.GetCursorOffset(), qMax(size - 1, 0));
}

void TestHexEditor::loadFailureKeepsDataResetsLog_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("character device") << "device";
    // A pipe without a writer: refused at once, never waited on.
    QTest::newRow("pipe") << "fifo";
}

void TestHexEditor::loadFailureKeepsDataResetsLog()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("nothing-here.bin");
    if (kind == "directory") {
        path = dir.path();
    } else if (kind == "device") {
        path = "/dev/null";
    } else if (kind == "fifo") {
        path = dir.filePath("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    }

    THexProbe ed;
    ed.SetByte(100, 0x77);
    ed.MoveCursor(200);
    const QByteArray before = Bytes(ed);
    ::alarm(60); // a load that blocks ends the test instead of hanging it
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 3);
    ::alarm(0);
    QVERIFY(!ed.Document()->ErrorText().isEmpty());
    QCOMPARE(Bytes(ed), before);
    QCOMPARE(ed.ChangeLog().UndoCount, 0);
    QCOMPARE(ed.GetCursorOffset(), 0);
}

void TestHexEditor::shortReadZeroesTail()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("short.bin");
    QVERIFY(WriteFile(path, QByteArray(4096, char(0x5A))));
    THexProbe ed;
    ed.ChangeFileName("before");
    ed.SetDirty(1);
    ed.ReadLimit = 1000;
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 1);
    QCOMPARE(ed.DataSize(), 4096);
    QCOMPARE(Bytes(ed), QByteArray(1000, char(0x5A)) + QByteArray(3096, 0));
    QCOMPARE(QByteArray(ed.FileName()), QByteArray("before"));
    QVERIFY(ed.Dirty());
}

void TestHexEditor::loadShowsOnlyBytesRead_data()
{
    QTest::addColumn<int>("readLimit"); // -1: the whole file
    QTest::addColumn<int>("result");
    QTest::newRow("whole file") << -1 << 0;
    QTest::newRow("short read") << 1000 << 1;
}

// Whenever a load announces a size (and paints, right after), the bytes the
// control holds are the file's (a short read's missing tail as zeros), never
// memory that was not read yet.
void TestHexEditor::loadShowsOnlyBytesRead()
{
    QFETCH(int, readLimit);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString path = dir.filePath("load.bin");
    const QByteArray content = Pattern(4096, 0x5A);
    QVERIFY(WriteFile(path, content));
    const QByteArray expected =
        readLimit < 0 ? content : content.left(readLimit) + QByteArray(content.size() - readLimit, 0);

    THexProbe ed;
    QList<QByteArray> shown; // what each announcement saw
    connect(&ed, &THexEditor::OnSizeChange, this, [&] { shown.append(Bytes(ed)); });
    ed.ReadLimit = readLimit;
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), result);
    QVERIFY(!shown.isEmpty());
    for (const QByteArray& bytes : std::as_const(shown))
        QCOMPARE(bytes, expected);
}

void TestHexEditor::saveFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.bin");
    QVERIFY(WriteFile(path, QByteArray(9000, 'x'))); // longer than what is saved
    THexProbe ed;
    ed.SetByte(0, 0xEE);
    ed.SetDirty(1);
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), 0);
    QCOMPARE(ReadFile(path), Bytes(ed));
    QVERIFY(!ed.Dirty());
    QCOMPARE(QString::fromLocal8Bit(ed.FileName()), path);
    QCOMPARE(ed.ChangeLog().UndoCount, 1); // the log survives a save
}

void TestHexEditor::saveToUnopenableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder missing") << "missing";
    QTest::newRow("target is a folder") << "folder";
    QTest::newRow("read-only target") << "readonly";
}

void TestHexEditor::saveToUnopenableTarget()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path;
    if (kind == "missing") {
        path = dir.filePath("no/such/folder/out.bin");
    } else if (kind == "folder") {
        path = dir.filePath("sub");
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(WriteFile(path + "/inside.txt", "keep"));
    } else {
        path = dir.filePath("locked.bin");
        QVERIFY(WriteFile(path, "locked"));
        QFile::setPermissions(path, QFile::ReadOwner);
        if (QFileInfo(path).isWritable())
            QSKIP("running with rights that write read-only files");
    }

    THexProbe ed;
    ed.SetDirty(1);
    QSignalSpy names(&ed, &THexEditor::OnFileNameChange);
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), 3);
    QVERIFY(ed.Dirty());
    QCOMPARE(names.count(), 0);
    if (kind == "folder")
        QCOMPARE(ReadFile(path + "/inside.txt"), QByteArray("keep"));
    if (kind == "readonly")
        QCOMPARE(ReadFile(path), QByteArray("locked"));
}

void TestHexEditor::saveFailingMidwayKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("precious.bin");
    const QByteArray old = Pattern(3 << 20, 11);
    QVERIFY(WriteFile(path, old));

    // A loaded file of 3 MiB is saved in several blocks; the second fails.
    const QString source = dir.filePath("source.bin");
    QVERIFY(WriteFile(source, Pattern(3 << 20, 99)));
    THexProbe ed;
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(source).constData()), 0);
    ed.SetDirty(1);
    ed.Moved = 0;
    ed.WriteLimit = 1;
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), 2);
    QCOMPARE(ReadFile(path), old);
    QVERIFY(ed.Dirty());
    QCOMPARE(QString::fromLocal8Bit(ed.FileName()), source);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TestHexEditor::saveInReadOnlyFolder_data()
{
    QTest::addColumn<int>("oldSize"); // -1: no file there
    QTest::addColumn<int>("newSize");
    QTest::addColumn<int>("writeLimit"); // -1: every write works
    QTest::addColumn<int>("result");

    QTest::newRow("shorter than the file") << 5000 << 3000 << -1 << 0;
    QTest::newRow("longer than the file") << 3000 << 5000 << -1 << 0;
    // Written in blocks of 1 MiB; the second block fails.
    QTest::newRow("failing part way") << (3 << 20) + 7 << (3 << 20) << 1 << 2;
    QTest::newRow("no file to write over") << -1 << 3000 << -1 << 3;
}

// A writable file in a folder that takes no new files is saved in place;
// when that fails part way the file is put back as it was.
void TestHexEditor::saveInReadOnlyFolder()
{
    if (::geteuid() == 0) {
        // A read-only folder does not stop root: run this case as nobody.
        RunAsOrdinaryUser(QString::fromLatin1(QTest::currentTestFunction()) + ':'
                          + QString::fromLatin1(QTest::currentDataTag()));
        return;
    }
    QFETCH(int, oldSize);
    QFETCH(int, newSize);
    QFETCH(int, writeLimit);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString path = dir.filePath("file.bin");
    const QByteArray old = Pattern(qMax(oldSize, 0), 11);
    if (oldSize >= 0)
        QVERIFY(WriteFile(path, old));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    THexProbe ed;
    ed.SetBytes(Pattern(newSize, 99));
    ed.SetDirty(1);
    ed.WriteLimit = writeLimit;
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), result);
    QCOMPARE(ed.Dirty(), result != 0);
    if (oldSize >= 0)
        QCOMPARE(ReadFile(path), result == 0 ? Bytes(ed) : old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), oldSize >= 0 ? 1 : 0);
}

void TestHexEditor::hexTyping_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("dirty");

    // Cursor at offset 10, whose byte is 0x0A.
    QTest::newRow("4 1") << QByteArray("41") << 0x41 << 11 << 1 << true;
    QTest::newRow("upper-case digits") << QByteArray("BE") << 0xBE << 11 << 1 << true;
    QTest::newRow("z skips the high digit") << QByteArray("z1") << 0x01 << 11 << 1 << true;
    QTest::newRow("one digit stays in the byte") << QByteArray("7") << 0x7A << 10 << 1 << true;
    QTest::newRow("two rejected characters") << QByteArray("g!") << 0x0A << 11 << 0 << false;
    QTest::newRow("two bytes") << QByteArray("1234") << 0x12 << 12 << 2 << true;
}

void TestHexEditor::hexTyping()
{
    QFETCH(QByteArray, keys);
    QFETCH(int, byte);
    QFETCH(int, cursor);
    QFETCH(int, entries);
    QFETCH(bool, dirty);

    THexProbe ed;
    ed.SetCursorPanel(0);
    ed.MoveCursor(10);
    QSignalSpy byteChanges(&ed, &THexEditor::OnCursorByteChange);
    for (char ch : keys)
        Type(ed, ch);
    QCOMPARE(int(ed.GetByte(10)), byte);
    QCOMPARE(ed.GetCursorOffset(), cursor);
    QCOMPARE(ed.ChangeLog().UndoCount, entries);
    if (entries == 1) { // both digits in one entry: the byte before, the byte after
        QCOMPARE(ed.ChangeLog().UndoEntries[0].OldValue, 0x0Au);
        QCOMPARE(ed.ChangeLog().UndoEntries[0].NewValue, uint(byte));
    }
    QCOMPARE(ed.Dirty(), dirty);
    QCOMPARE(byteChanges.isEmpty(), !dirty);
}

void TestHexEditor::decimalTyping_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<uint>("value");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<uint>("expected");
    QTest::addColumn<int>("cursor");

    // Groups at offset 16; the cursor moves a group on after a full cell.
    QTest::newRow("byte: 9 over 255 keeps the low byte") << 1 << 255u << QByteArray("9") << 187u << 16;
    QTest::newRow("byte: full cell") << 1 << 0u << QByteArray("042") << 42u << 17;
    QTest::newRow("word: 5 digits") << 2 << 0u << QByteArray("65535") << 65535u << 18;
    QTest::newRow("word: non-digit skips a place") << 2 << 0u << QByteArray("x1") << 1000u << 16;
    // Groups with the top bit set print without a sign and keep their digits.
    QTest::newRow("long: top bit set") << 4 << 0x80000000u << QByteArray("3") << 3147483648u << 16;
    QTest::newRow("long: above 32 bits keeps low bytes") << 4 << 0xFFFFFFFFu << QByteArray("9") << 705032703u << 16;
    QTest::newRow("long: full cell") << 4 << 0u << QByteArray("4000000000") << 4000000000u << 20;
}

void TestHexEditor::decimalTyping()
{
    QFETCH(int, group);
    QFETCH(uint, value);
    QFETCH(QByteArray, keys);
    QFETCH(uint, expected);
    QFETCH(int, cursor);

    THexProbe ed;
    ed.resize(700, 200);
    ed.SetBaseBytes(10);
    ed.SetBytesPerGroup(group);
    ed.SetCursorPanel(0);
    ed.Snapshot(); // the paint sets the digits per cell
    ed.SetWord(16, value);
    ed.MoveCursor(16);
    for (char ch : keys)
        Type(ed, ch);
    QCOMPARE(ed.GetWord(16), expected);
    QCOMPARE(ed.GetCursorOffset(), cursor);
    QCOMPARE(ed.ChangeLog().UndoEntries[ed.ChangeLog().UndoCount - 1].Kind, 1);
}

void TestHexEditor::keystrokeChangingNoByteRecordsNothing_data()
{
    QTest::addColumn<int>("size");   // bytes 0, 1, 2, ...
    QTest::addColumn<int>("base");   // of the byte panel
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<int>("entries");

    QTest::newRow("hex digit, empty buffer") << 0 << 16 << 0 << 0 << QByteArray("4") << 0;
    QTest::newRow("decimal digit, empty buffer") << 0 << 10 << 0 << 0 << QByteArray("1") << 0;
    QTest::newRow("character, empty buffer") << 0 << 16 << 1 << 0 << QByteArray("A") << 0;
    QTest::newRow("hex digits of the byte there") << 32 << 16 << 0 << 10 << QByteArray("0a") << 0;
    QTest::newRow("character of the byte there") << 128 << 16 << 1 << 65 << QByteArray("A") << 0;
    // The group at 16 runs two bytes past the end: 0x10110000, 0269549568.
    QTest::newRow("decimal digit only in missing bytes") << 18 << 10 << 0 << 16 << QByteArray("xxxxxxxxx9") << 0;
    QTest::newRow("decimal digit in existing bytes") << 18 << 10 << 0 << 16 << QByteArray("1") << 1;
}

void TestHexEditor::keystrokeChangingNoByteRecordsNothing()
{
    QFETCH(int, size);
    QFETCH(int, base);
    QFETCH(int, panel);
    QFETCH(int, cursor);
    QFETCH(QByteArray, keys);
    QFETCH(int, entries);

    THexProbe ed;
    ed.resize(700, 200);
    ed.SetBytes(Ascending(size));
    ed.SetBaseBytes(base);
    ed.Snapshot(); // the paint sets the digits per cell
    ed.SetCursorPanel(panel);
    ed.MoveCursor(cursor);
    QSignalSpy dirty(&ed, &THexEditor::OnDirtyChange);
    for (char ch : keys)
        Type(ed, ch);
    QCOMPARE(ed.ChangeLog().UndoCount, entries);
    QCOMPARE(dirty.count(), entries);
    QCOMPARE(ed.Dirty(), entries > 0);
    // Undo brings back exactly the bytes there are.
    ed.Undo();
    QCOMPARE(Bytes(ed), Ascending(size));
}

void TestHexEditor::characterPanel()
{
    THexProbe ed;
    ed.MoveCursor(20);
    QSignalSpy byteChanges(&ed, &THexEditor::OnCursorByteChange);
    char a = 'A';
    ed.KeyPress(a);
    QCOMPARE(int(ed.GetByte(20)), 0x41);
    QCOMPARE(ed.GetCursorOffset(), 21);
    QCOMPARE(byteChanges.count(), 0);
    char high = char(200);
    char tab = '\t';
    ed.KeyPress(high);
    ed.KeyPress(tab);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    QApplication::sendEvent(&ed, &del); // the Delete key types no DEL character
    QCOMPARE(int(ed.GetByte(21)), 21);
    QCOMPARE(ed.GetCursorOffset(), 21);
    QCOMPARE(ed.ChangeLog().UndoCount, 1);
}

void TestHexEditor::readOnlyIgnoresTyping()
{
    for (int panel : {0, 1}) {
        THexProbe ed;
        ed.SetCursorPanel(panel);
        ed.SetReadOnly(true);
        ed.MoveCursor(3);
        for (char ch : QByteArray("41A"))
            Type(ed, ch);
        QCOMPARE(Bytes(ed), Bytes(THexProbe()));
        QVERIFY(!ed.Dirty());
        QCOMPARE(ed.ChangeLog().UndoCount, 0);
        QCOMPARE(ed.GetCursorOffset(), 3);
    }
}

void TestHexEditor::pageDownUsesRowsLastPainted()
{
    THexProbe ed;
    ed.resize(700, 150);
    ed.Snapshot();
    const int rows = ed.VisibleRows();
    QVERIFY(rows > 1);
    ed.MoveCursor(0);
    int key = Qt::Key_PageDown;
    ed.KeyDown(key, Qt::NoModifier);
    QCOMPARE(ed.GetCursorOffset(), rows * 16);

    ed.resize(700, 300); // not painted yet: the old row count still counts
    ed.KeyDown(key, Qt::NoModifier);
    QCOMPARE(ed.GetCursorOffset(), 2 * rows * 16);
    ed.Snapshot();
    QVERIFY(ed.VisibleRows() > rows);
    ed.MoveCursor(1000);
    key = Qt::Key_PageUp;
    ed.KeyDown(key, Qt::NoModifier);
    QCOMPARE(ed.GetCursorOffset(), 1000 - ed.VisibleRows() * 16);
}

void TestHexEditor::scrollFollowsCursor()
{
    QScrollBar bar(Qt::Vertical);
    THexProbe ed;
    ed.resize(700, 150);
    ed.SetScrollBar(&bar);
    ed.SetSize(1024); // sets the scroll range
    QCOMPARE(bar.maximum(), 63);
    ed.Snapshot();
    const int rows = ed.VisibleRows();
    QCOMPARE(bar.pageStep(), rows);

    ed.MoveCursor(500); // below the view: its row becomes the last one
    QCOMPARE(bar.value(), 500 / 16 - rows + 1);
    ed.Snapshot();
    QCOMPARE(ed.FirstVisible(), bar.value() * 16);
    QVERIFY(ed.LastVisible() >= 500);

    ed.MoveCursor(20); // above the view: its row becomes the first one
    QCOMPARE(bar.value(), 1);

    // The host may delete its scroll bar; the control must not follow it.
    {
        QScrollBar* temporary = new QScrollBar;
        ed.SetScrollBar(temporary);
        delete temporary;
    }
    QVERIFY(!ed.ScrollBar());
    ed.MoveCursor(900);
    ed.Snapshot();
}

void TestHexEditor::mouseClicks()
{
    THexProbe ed;
    ed.resize(700, 200);
    ed.Snapshot();
    QCOMPARE(ed.CursorPanel(), 1);

    // Find the cells of offset 18 through the hit list, as painted.
    const int y = 10 + ed.FRowHeight + ed.FRowHeight / 2;
    int byteX = -1, charX = -1;
    for (int x = 0; x < ed.width(); ++x) {
        if (ed.GetMouseOffset(x, y) != 18)
            continue;
        if (byteX < 0)
            byteX = x;
        else if (x > byteX + 3 * ed.FCellWidth && charX < 0)
            charX = x;
    }
    QVERIFY(byteX > 0 && charX > byteX);

    QSignalSpy cursor(&ed, &THexEditor::OnCursorChange);
    QTest::mouseClick(&ed, Qt::LeftButton, Qt::NoModifier, QPoint(byteX, y));
    QCOMPARE(ed.GetCursorOffset(), 18);
    QCOMPARE(ed.CursorPanel(), 0);
    QCOMPARE(cursor.count(), 1); // the panel switch moves nothing again

    ed.MouseDown(Qt::RightButton, Qt::NoModifier, charX, y);
    QCOMPARE(ed.CursorPanel(), 1);

    // A click on the frame finds no cell and changes nothing.
    ed.MouseDown(Qt::LeftButton, Qt::NoModifier, 2, 2);
    QCOMPARE(ed.GetCursorOffset(), 18);
    QCOMPARE(ed.GetMouseOffset(2, 2), -1);

    // Blank cells past the end land on the last byte.
    ed.SetSize(20);
    ed.Snapshot();
    ed.MouseDown(Qt::LeftButton, Qt::NoModifier, charX, y + 2 * ed.FRowHeight);
    QCOMPARE(ed.GetCursorOffset(), 19);
}

void TestHexEditor::keysReachEditorInsideDialog()
{
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* before = new QLineEdit(&dialog);
    auto* ed = new THexProbe(&dialog);
    auto* after = new QLineEdit(&dialog);
    layout->addWidget(before);
    layout->addWidget(ed);
    layout->addWidget(after);
    // A window shortcut on a plain letter must not steal it from the editor.
    auto* action = new QAction(&dialog);
    action->setShortcut(QKeySequence(Qt::Key_A));
    dialog.addAction(action);
    QSignalSpy triggered(action, &QAction::triggered);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ed);

    ed->MoveCursor(30);
    QTest::keyClick(ed, Qt::Key_Down);
    QTest::keyClick(ed, Qt::Key_Right);
    QCOMPARE(ed->GetCursorOffset(), 47);
    QTest::keyClick(ed, 'A');
    QCOMPARE(int(ed->GetByte(47)), 'A');
    QCOMPARE(triggered.count(), 0);
    QCOMPARE(QApplication::focusWidget(), ed);

    QTest::keyClick(ed, Qt::Key_Tab); // Tab is not kept: focus moves on
    QCOMPARE(QApplication::focusWidget(), after);

    QTest::mouseClick(ed, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(QApplication::focusWidget(), ed);
}

void TestHexEditor::otherKeysReachDialogAndHost_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("shortcut"); // the host has a shortcut on the key
    QTest::addColumn<int>("result");    // how the dialog ended; -1: still open
    QTest::addColumn<int>("cursor");

    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << 0 << false << int(QDialog::Rejected) << 30;
    QTest::newRow("Return presses the default button") << int(Qt::Key_Return) << 0 << false
                                                        << int(QDialog::Accepted) << 30;
    QTest::newRow("keypad Enter likewise") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false
                                           << int(QDialog::Accepted) << 30;
    QTest::newRow("Ctrl+Home reaches a host shortcut") << int(Qt::Key_Home) << int(Qt::ControlModifier) << true
                                                       << -1 << 30;
    QTest::newRow("Alt+Right reaches a host shortcut") << int(Qt::Key_Right) << int(Qt::AltModifier) << true
                                                       << -1 << 30;
    QTest::newRow("Ctrl+Right without a shortcut still moves") << int(Qt::Key_Right) << int(Qt::ControlModifier)
                                                               << false << -1 << 31;
}

void TestHexEditor::otherKeysReachDialogAndHost()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, shortcut);
    QFETCH(int, result);
    QFETCH(int, cursor);

    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* ed = new THexProbe(&dialog);
    auto* ok = new QPushButton(QStringLiteral("Ok"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(ed);
    layout->addWidget(ok);
    auto* action = new QAction(&dialog);
    if (shortcut)
        action->setShortcut(QKeySequence(key | modifiers));
    dialog.addAction(action);
    QSignalSpy triggered(action, &QAction::triggered);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ed->setFocus();
    ed->MoveCursor(30);

    QTest::keyClick(ed, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(finished.isEmpty() ? -1 : finished.at(0).at(0).toInt(), result);
    QCOMPARE(triggered.count(), shortcut ? 1 : 0);
    QCOMPARE(ed->GetCursorOffset(), cursor);
}

QTEST_MAIN(TestHexEditor)
#include "tst_hexeditor.moc"
