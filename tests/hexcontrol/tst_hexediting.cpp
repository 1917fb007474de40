// THexEditor as an editor, driven by keys in a host window that has its own
// shortcuts on the same keys: selection and copy in both panels, insert
// mode with Delete and Backspace, cut and paste, and the save point. Every
// change is undone and redone again, byte for byte.
#include "Hexprobe.h"
#include "Testenv.h"
#include "Testfiles.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

using TKeys = QList<int>; // key codes with their modifiers

const int Shift = Qt::ShiftModifier;
const int Ctrl = Qt::ControlModifier;

QByteArray Contents(const THexEditor& ed)
{
    QByteArray bytes(int(ed.DataSize()), '\0');
    ed.Document()->Read(0, bytes.data(), bytes.size());
    return bytes;
}

// A main window whose menu has shortcuts on the keys the editor takes.
struct THost
{
    QMainWindow Window;
    THexProbe* Editor = new THexProbe;
    QSignalSpy* Triggered = nullptr;
    QAction* Delete = nullptr;

    explicit THost(const QByteArray& bytes)
    {
        Window.setCentralWidget(Editor);
        Window.resize(700, 400);
        Editor->SetBytes(bytes);
        auto* menu = new QAction(&Window);
        Triggered = new QSignalSpy(menu, &QAction::triggered);
        for (QKeySequence::StandardKey k : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                                             QKeySequence::SelectAll, QKeySequence::Delete}) {
            auto* action = new QAction(&Window);
            action->setShortcut(k);
            Window.addAction(action);
            QObject::connect(action, &QAction::triggered, menu, &QAction::trigger);
            if (k == QKeySequence::Delete)
                Delete = action;
        }
        for (int key : {int(Qt::Key_Insert), int(Qt::Key_Backspace)}) {
            auto* action = new QAction(&Window);
            action->setShortcut(QKeySequence(key));
            Window.addAction(action);
            QObject::connect(action, &QAction::triggered, menu, &QAction::trigger);
        }
        Window.show();
        Editor->setFocus();
    }
    ~THost() { delete Triggered; }

    // Shortcuts work in the active window only.
    bool Active() { return QTest::qWaitForWindowActive(&Window); }

    void Press(const TKeys& keys)
    {
        for (int k : keys)
            QTest::keyClick(Editor, Qt::Key(k & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(k & Qt::KeyboardModifierMask));
    }
    void Type(const QString& text) { QTest::keyClicks(Editor, text); }
};

QByteArray ClipboardFormat(const char* format)
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(QString::fromLatin1(format)) : QByteArray();
}

void SetClipboard(const QByteArray& text, const QByteArray& raw = QByteArray())
{
    auto* data = new QMimeData;
    if (!text.isNull())
        data->setData(QStringLiteral("text/plain"), text);
    if (!raw.isNull())
        data->setData(QStringLiteral("application/octet-stream"), raw);
    QGuiApplication::clipboard()->setMimeData(data);
}

// Undoes every step, compares with `before`, redoes them all, compares
// with `after`.
void UndoRedoExactly(THexEditor& ed, const QByteArray& before, const QByteArray& after)
{
    int steps = 0;
    while (ed.ChangeLog().UndoCount > 0) {
        ed.Undo();
        ++steps;
    }
    QCOMPARE(Contents(ed), before);
    while (steps-- > 0)
        ed.Redo();
    QCOMPARE(Contents(ed), after);
}

} // namespace

class TestHexEditing : public QObject
{
    Q_OBJECT

private slots:
    void selectAndCopy_data();
    void selectAndCopy();
    void insertMode_data();
    void insertMode();
    void cutAndPaste_data();
    void cutAndPaste();
    void tooLargeForTheClipboard();
    void savePoint();

private:
    TTestConfigHome FConfigHome;
};

void TestHexEditing::selectAndCopy_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<TKeys>("keys");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<QByteArray>("text"); // copied; empty: nothing copied

    QTest::newRow("byte panel, Shift+Right twice") << 0 << 0x32 << TKeys{Shift | Qt::Key_Right, Shift | Qt::Key_Right}
                                                   << qint64(0x32) << qint64(3) << QByteArray("32 33 34");
    QTest::newRow("character panel, the same") << 1 << 0x32 << TKeys{Shift | Qt::Key_Right, Shift | Qt::Key_Right}
                                               << qint64(0x32) << qint64(3) << QByteArray("234");
    QTest::newRow("backwards across a row") << 1 << 0x41 << TKeys{Shift | Qt::Key_Up} << qint64(0x31) << qint64(17)
                                            << QByteArray("123456789:;<=>?@A");
    QTest::newRow("Shift+End, then one back") << 0 << 250 << TKeys{Shift | Qt::Key_End, Shift | Qt::Key_Left}
                                              << qint64(250) << qint64(5) << QByteArray("FA FB FC FD FE");
    QTest::newRow("a zero byte copies as the dot shown") << 1 << 0 << TKeys{Shift | Qt::Key_Right} << qint64(0)
                                                         << qint64(2) << QByteArray(".\x01");
    QTest::newRow("a move without Shift drops it") << 0 << 5 << TKeys{Shift | Qt::Key_Right, Qt::Key_Right}
                                                   << qint64(0) << qint64(0) << QByteArray();
    QTest::newRow("Ctrl+A, from anywhere") << 0 << 77 << TKeys{Ctrl | Qt::Key_A} << qint64(0) << qint64(256)
                                           << QByteArray();
}

void TestHexEditing::selectAndCopy()
{
    QFETCH(int, panel);
    QFETCH(int, cursor);
    QFETCH(TKeys, keys);
    QFETCH(qint64, start);
    QFETCH(qint64, length);
    QFETCH(QByteArray, text);
    THost host(Ascending(256));
    QVERIFY(host.Active());
    THexProbe& ed = *host.Editor;
    ed.SetCursorPanel(panel);
    ed.MoveCursor(cursor);
    QSignalSpy changed(&ed, &THexEditor::OnSelectionChange);
    SetClipboard("before");

    host.Press(keys);
    QCOMPARE(ed.SelectionStart(), start);
    QCOMPARE(ed.SelectionLength(), length);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(changed.last().at(2).toLongLong(), length);
    host.Press({Ctrl | Qt::Key_C});
    QCOMPARE(host.Triggered->count(), 0); // the host's shortcuts never fired
    if (length == 0) {
        QCOMPARE(ClipboardFormat("text/plain"), QByteArray("before"));
        return;
    }
    const QByteArray raw = Ascending(256).mid(int(start), int(length));
    QCOMPARE(ClipboardFormat("application/octet-stream"), raw);
    if (text.isEmpty()) // all of it: "00 01 ... FF"
        QCOMPARE(ClipboardFormat("text/plain").mid(3 * 0x7E, 5), QByteArray("7E 7F"));
    else
        QCOMPARE(ClipboardFormat("text/plain"), text);
    QCOMPARE(Contents(ed), Ascending(256)); // copying changes nothing
}

void TestHexEditing::insertMode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<bool>("insert");
    QTest::addColumn<TKeys>("keys");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<int>("steps");  // undo steps made
    QTest::addColumn<int>("after");  // cursor
    QTest::addColumn<int>("host");   // shortcuts of the host that fired

    const QByteArray abc("ABCDEF");
    QTest::newRow("characters insert as one step") << abc << 1 << 2 << true << TKeys() << "xy"
                                                   << QByteArray("ABxyCDEF") << 1 << 4 << 0;
    QTest::newRow("first digit inserts, second completes") << abc << 0 << 0 << true << TKeys() << "4142"
                                                           << QByteArray("ABABCDEF") << 1 << 2 << 0;
    QTest::newRow("a moved cursor starts a new step") << abc << 1 << 0 << true << TKeys{Qt::Key_Right} << "z"
                                                      << QByteArray("AzBCDEF") << 1 << 2 << 0;
    QTest::newRow("Delete: the byte under the cursor") << abc << 0 << 1 << true << TKeys{Qt::Key_Delete} << ""
                                                       << QByteArray("ACDEF") << 1 << 1 << 0;
    QTest::newRow("Backspace: the byte before") << abc << 0 << 1 << true << TKeys{Qt::Key_Backspace} << ""
                                                << QByteArray("BCDEF") << 1 << 0 << 0;
    QTest::newRow("Backspace at the start does nothing") << abc << 0 << 0 << true << TKeys{Qt::Key_Backspace}
                                                         << "" << abc << 0 << 0 << 0;
    QTest::newRow("Delete: the selection") << abc << 1 << 1 << true
                                           << TKeys{Shift | Qt::Key_Right, Shift | Qt::Key_Right, Qt::Key_Delete}
                                           << "" << QByteArray("AEF") << 1 << 1 << 0;
    QTest::newRow("End goes past the last byte to append") << abc << 1 << 0 << true << TKeys{Qt::Key_End} << "Z"
                                                           << QByteArray("ABCDEFZ") << 1 << 7 << 0;
    QTest::newRow("an empty file takes bytes") << QByteArray() << 0 << 0 << true << TKeys() << "0a0b"
                                               << QByteArray("\x0a\x0b") << 1 << 2 << 0;
    // Overwriting, Delete and Backspace are the host's, and the size stays.
    QTest::newRow("overwrite: Delete and Backspace go on") << abc << 1 << 2 << false
                                                           << TKeys{Qt::Key_Delete, Qt::Key_Backspace} << "z"
                                                           << QByteArray("ABzDEF") << 1 << 3 << 2;
}

void TestHexEditing::insertMode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, panel);
    QFETCH(int, cursor);
    QFETCH(bool, insert);
    QFETCH(TKeys, keys);
    QFETCH(QString, typed);
    QFETCH(QByteArray, result);
    QFETCH(int, steps);
    QFETCH(int, after);
    QFETCH(int, host);
    THost window(bytes);
    QVERIFY(window.Active());
    THexProbe& ed = *window.Editor;
    ed.SetCursorPanel(panel);
    ed.MoveCursor(cursor);
    QSignalSpy mode(&ed, &THexEditor::OnInsertModeChange);
    if (insert)
        window.Press({Qt::Key_Insert});
    QCOMPARE(ed.InsertMode(), insert);
    QCOMPARE(mode.count(), insert ? 1 : 0);

    window.Press(keys);
    window.Type(typed);
    QCOMPARE(Contents(ed), result);
    QCOMPARE(ed.DataSize(), qint64(result.size()));
    QCOMPARE(ed.ChangeLog().UndoCount, steps);
    QCOMPARE(ed.GetCursorOffset(), after);
    QCOMPARE(window.Triggered->count(), host);
    QCOMPARE(ed.Dirty(), steps > 0);
    UndoRedoExactly(ed, bytes, result);
}

void TestHexEditing::cutAndPaste_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("panel");
    QTest::addColumn<QByteArray>("text");  // on the clipboard
    QTest::addColumn<QByteArray>("raw");   // application/octet-stream
    QTest::addColumn<TKeys>("keys");       // from the cursor at 2
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<QByteArray>("clipboard"); // its bytes after
    QTest::addColumn<int>("refused");          // OnClipboardRefused's reason

    const QByteArray none;
    const TKeys selectTwo{Shift | Qt::Key_Right};
    QTest::newRow("cut in insert mode deletes") << true << 0 << none << none
                                                << TKeys{Shift | Qt::Key_Right, Ctrl | Qt::Key_X}
                                                << QByteArray("ABEF") << QByteArray("CD") << 0;
    QTest::newRow("cut overwriting only copies") << false << 0 << none << none
                                                 << TKeys{Shift | Qt::Key_Right, Ctrl | Qt::Key_X}
                                                 << QByteArray("ABCDEF") << QByteArray("CD") << 0;
    QTest::newRow("cut, moved, pasted back") << true << 1 << none << none
                                             << TKeys{Shift | Qt::Key_Right, Ctrl | Qt::Key_X, Qt::Key_End,
                                                      Ctrl | Qt::Key_V}
                                             << QByteArray("ABEFCD") << QByteArray("CD") << 0;
    QTest::newRow("hex text with 0x and line breaks, overwriting")
        << false << 0 << QByteArray("0x61 0x62\n63") << none << TKeys{Ctrl | Qt::Key_V} << QByteArray("ABabcF")
        << QByteArray() << 0;
    QTest::newRow("overwriting stops at the end") << false << 0 << QByteArray("31323334353637") << none
                                                  << TKeys{Ctrl | Qt::Key_V} << QByteArray("AB1234") << QByteArray()
                                                  << 0;
    QTest::newRow("the raw bytes come first") << false << 0 << QByteArray("7a 7a") << QByteArray("\x01\x02", 2)
                                              << TKeys{Ctrl | Qt::Key_V} << QByteArray("AB\x01\x02" "EF")
                                              << QByteArray() << 0;
    QTest::newRow("text into the character panel, as UTF-8") << true << 1 << QByteArray("\xc3\xa9") << none
                                                             << TKeys{Ctrl | Qt::Key_V}
                                                             << QByteArray("AB\xc3\xa9" "CDEF") << QByteArray() << 0;
    QTest::newRow("insert mode: a paste replaces the selection") << true << 0 << QByteArray("00") << none
                                                                 << TKeys{Shift | Qt::Key_Right, Ctrl | Qt::Key_V}
                                                                 << QByteArray("AB\0EF", 5) << QByteArray() << 0;
    QTest::newRow("text that is not hex bytes is refused") << false << 0 << QByteArray("41 zz") << none
                                                           << TKeys{Ctrl | Qt::Key_V} << QByteArray("ABCDEF")
                                                           << QByteArray() << int(THexEditor::crNotHex);
    QTest::newRow("a comma is not a separator") << true << 0 << QByteArray("41,42") << none
                                                << TKeys{Shift | Qt::Key_Insert} << QByteArray("ABCDEF")
                                                << QByteArray() << int(THexEditor::crNotHex);
}

void TestHexEditing::cutAndPaste()
{
    QFETCH(bool, insert);
    QFETCH(int, panel);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, raw);
    QFETCH(TKeys, keys);
    QFETCH(QByteArray, result);
    QFETCH(QByteArray, clipboard);
    QFETCH(int, refused);
    const QByteArray bytes("ABCDEF");
    THost host(bytes);
    QVERIFY(host.Active());
    THexProbe& ed = *host.Editor;
    ed.SetInsertMode(insert);
    ed.SetCursorPanel(panel);
    ed.MoveCursor(2);
    SetClipboard(text, raw);
    QSignalSpy refusals(&ed, &THexEditor::OnClipboardRefused);

    host.Press(keys);
    QCOMPARE(Contents(ed), result);
    QCOMPARE(host.Triggered->count(), 0);
    if (!clipboard.isNull())
        QCOMPARE(ClipboardFormat("application/octet-stream"), clipboard);
    QCOMPARE(refusals.isEmpty() ? 0 : refusals.at(0).at(1).toInt(), refused);
    // Each cut and each paste is one step.
    QCOMPARE(ed.ChangeLog().UndoCount, int(keys.count(Ctrl | Qt::Key_V) + (insert ? keys.count(Ctrl | Qt::Key_X) : 0))
                                           * int(!refused));
    UndoRedoExactly(ed, bytes, result);
}

// More than the clipboard takes is neither copied nor pasted, and the
// clipboard keeps what it had; a 16 GiB selection costs nothing to refuse.
void TestHexEditing::tooLargeForTheClipboard()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("large.bin");
    QVERIFY(WriteFile(path, "x"));
    QVERIFY(::truncate(QFile::encodeName(path).constData(), qint64(16) << 30) == 0);
    THexProbe ed;
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 0);
    QSignalSpy refusals(&ed, &THexEditor::OnClipboardRefused);
    SetClipboard("kept");
    ed.SelectAll();
    QCOMPARE(ed.SelectionLength(), qint64(16) << 30);
    QVERIFY(!ed.Copy());
    ed.SetInsertMode(true);
    QVERIFY(!ed.Cut());
    QCOMPARE(ed.DataSize(), qint64(16) << 30);
    QCOMPARE(ClipboardFormat("text/plain"), QByteArray("kept"));
    QCOMPARE(refusals.count(), 2);
    QCOMPARE(refusals.at(0).at(1).toInt(), int(THexEditor::crTooLarge));

    auto* huge = new QMimeData;
    huge->setData(QStringLiteral("application/octet-stream"), QByteArray(THexEditor::ClipboardLimit + 1, 'z'));
    QVERIFY(!ed.PasteData(huge));
    delete huge;
    QCOMPARE(refusals.count(), 3);
    QCOMPARE(ed.ChangeLog().UndoCount, 0);
}

// Undo back to the bytes last saved clears the dirty flag, and so does redo
// forward to them; the state in between is not the saved one.
void TestHexEditing::savePoint()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.bin");
    QVERIFY(WriteFile(path, "ABCDEF"));
    THost host("");
    QVERIFY(host.Active());
    THexProbe& ed = *host.Editor;
    QCOMPARE(ed.LoadFromFile(QFile::encodeName(path).constData()), 0);
    ed.SetCursorPanel(1);
    host.Press({Qt::Key_Insert});
    host.Type("12");
    QVERIFY(ed.Dirty());
    QCOMPARE(ed.SaveToFile(QFile::encodeName(path).constData()), 0);
    QVERIFY(!ed.Dirty() && ed.AtSavePoint());
    host.Type("3"); // after the save: a step of its own
    QVERIFY(ed.Dirty());
    QCOMPARE(ed.ChangeLog().UndoCount, 2);

    QSignalSpy dirty(&ed, &THexEditor::OnDirtyChange);
    ed.Undo();
    QVERIFY(ed.AtSavePoint());
    QCOMPARE(dirty.count(), 1);
    QVERIFY(!ed.Dirty());
    ed.Undo(); // back before the save: not what is on disk
    QVERIFY(!ed.AtSavePoint());
    QCOMPARE(Contents(ed), QByteArray("ABCDEF"));
    ed.SetDirty(1);
    ed.Redo();
    QVERIFY(ed.AtSavePoint());
    QVERIFY(!ed.Dirty());
    QCOMPARE(Contents(ed), QByteArray("12ABCDEF"));
    QCOMPARE(ReadFile(path), QByteArray("12ABCDEF"));
}

QTEST_MAIN(TestHexEditing)
#include "tst_hexediting.moc"
