// The hexedit program's window driven as a user would: open a file, type
// over a byte, undo, redo, save, find, close with unsaved changes, save
// over a file another program changed meanwhile, hex search text checked,
// Go to offset, the value inspector, the window fitted to small screens;
// insert, select and copy through the Edit menu, undo back to the saved
// bytes, find backwards, find all and replace from the find bar.
#include "Hexcontrol.h"
#include "Hexedittools.h"
#include "Hexeditwindow.h"
#include "Hexvalueview.h"
#include "Testenv.h"
#include "Testfiles.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Answers the window's questions from the test instead of a dialog.
class TTestWindow : public THexEditWindow
{
public:
    TSaveAnswer Answer = saCancel;
    TChangedAnswer ChangedAnswer = caCancel;
    int Questions = 0;
    int ChangedQuestions = 0;
    QStringList Messages;

protected:
    TSaveAnswer AskSaveChanges() override
    {
        ++Questions;
        return Answer;
    }
    TChangedAnswer AskChangedOnDisk() override
    {
        ++ChangedQuestions;
        return ChangedAnswer;
    }
    QString AskOpenFileName() override { return QString(); }
    QString AskSaveFileName() override { return QString(); }
    void ShowMessage(const QString& caption, const QString& text) override
    {
        Messages << caption + QLatin1String(": ") + text;
    }
};


} // namespace

class TTestHexEdit : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void EditUndoRedoSave();
    void OpenFailureIsReported();
    void CloseAsksAboutChanges_data();
    void CloseAsksAboutChanges();
    void ChangedOnDiskAsksBeforeSaving_data();
    void ChangedOnDiskAsksBeforeSaving();
    void FindBar();
    void HexSearchText_data();
    void HexSearchText();
    void GoToOffset();
    void InspectorPanel();
    void FitsTheScreen_data();
    void FitsTheScreen();
    void EditMenuInsertAndSavePoint();
    void FindAllAndReplace();
    void QuitDuringLongWork();

private:
    TTestConfigHome FConfig;
    QTemporaryDir FDir;
    QString FPath;
};

void TTestHexEdit::init()
{
    FPath = FDir.filePath(QStringLiteral("data.bin"));
    QVERIFY(WriteFile(FPath, Ascending(100)));
}

void TTestHexEdit::EditUndoRedoSave()
{
    TTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();
    QCOMPARE(editor->DataSize(), 100);
    QVERIFY(!window.UndoAction()->isEnabled());

    // Two hex digits typed over byte 3 of the byte panel.
    editor->setFocus();
    editor->SetCursorPanel(0);
    editor->SetCursorOffset(3);
    QTest::keyClicks(editor, QStringLiteral("a7"));
    QCOMPARE(editor->GetByte(3), (unsigned char)0xA7);
    QCOMPARE(editor->GetCursorOffset(), 4);
    QVERIFY(window.IsDirty());
    QVERIFY(window.isWindowModified());
    QVERIFY(window.UndoAction()->isEnabled());
    QCOMPARE(window.UndoAction()->text(), QStringLiteral("Undo 00000003: 03 --> A7"));
    QCOMPARE(window.UndoList()->topLevelItemCount(), 1);

    window.UndoAction()->trigger();
    QCOMPARE(editor->GetByte(3), (unsigned char)0x03);
    QVERIFY(!window.UndoAction()->isEnabled());
    QCOMPARE(window.RedoAction()->text(), QStringLiteral("Redo 00000003: 03 --> A7"));
    QCOMPARE(window.RedoList()->topLevelItemCount(), 1);

    window.RedoAction()->trigger();
    QCOMPARE(editor->GetByte(3), (unsigned char)0xA7);
    QVERIFY(!window.RedoAction()->isEnabled());
    QCOMPARE(window.RedoList()->topLevelItemCount(), 0);

    window.SaveAction()->trigger();
    QVERIFY2(window.Messages.isEmpty(), qPrintable(window.Messages.join('\n')));
    QVERIFY(!window.IsDirty());
    QByteArray expected = Ascending(100);
    expected[3] = char(0xA7);
    QCOMPARE(ReadFile(FPath), expected);
}

void TTestHexEdit::OpenFailureIsReported()
{
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    const QString missing = FDir.filePath(QStringLiteral("missing.bin"));
    QVERIFY(!window.OpenFile(missing));
    QCOMPARE(window.Messages.size(), 1);
    QVERIFY(window.Messages.first().contains(QStringLiteral("missing.bin")));
    // A pipe is refused at once, and the message says why.
    const QString pipe = FDir.filePath(QStringLiteral("pipe"));
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QVERIFY(!window.OpenFile(pipe));
    QVERIFY(window.Messages.last().contains(QStringLiteral("pipe")));
    // The open file stays what is shown and what Save writes to.
    QCOMPARE(window.Editor()->DataSize(), 100);
    QCOMPARE(window.FilePath(), QFileInfo(FPath).absoluteFilePath());
    QVERIFY(window.SaveAction()->isEnabled());
}

void TTestHexEdit::CloseAsksAboutChanges_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");

    QTest::newRow("cancel") << int(THexEditWindow::saCancel) << false << false;
    QTest::newRow("discard") << int(THexEditWindow::saDiscard) << true << false;
    QTest::newRow("save") << int(THexEditWindow::saSave) << true << true;
}

void TTestHexEdit::CloseAsksAboutChanges()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, saved);

    TTestWindow window;
    window.show();
    QVERIFY(window.OpenFile(FPath));
    QVERIFY(window.close()); // nothing to save: no question
    QCOMPARE(window.Questions, 0);

    window.show();
    THexEditor* editor = window.Editor();
    editor->SetCursorPanel(1);
    editor->SetCursorOffset(0);
    QTest::keyClick(editor, 'Z');
    QCOMPARE(editor->GetByte(0), (unsigned char)'Z');

    window.Answer = THexEditWindow::TSaveAnswer(answer);
    QCOMPARE(window.close(), closed);
    QCOMPARE(window.Questions, 1);
    QCOMPARE(ReadFile(FPath).at(0), saved ? 'Z' : '\0');

    // File > Close asks the same way and goes back to the start message.
    if (!closed) {
        window.Answer = THexEditWindow::saDiscard;
        QVERIFY(window.CloseFile());
        QVERIFY(window.Editor()->Message()[0] != '\0');
        QVERIFY(!window.SaveAction()->isEnabled());
        QVERIFY(window.FilePath().isEmpty());
    }
}

void TTestHexEdit::ChangedOnDiskAsksBeforeSaving_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("onDisk"); // after the save
    QTest::addColumn<bool>("dirty");
    QTest::newRow("cancel") << int(THexEditWindow::caCancel) << QByteArray("the other program's text") << true;
    QTest::newRow("reload") << int(THexEditWindow::caReload) << QByteArray("the other program's text") << false;
    QTest::newRow("overwrite") << int(THexEditWindow::caOverwrite) << QByteArray("Z") + Ascending(100).mid(1)
                               << false;
}

// Another program rewrote the open file; a save asks before replacing that.
void TTestHexEdit::ChangedOnDiskAsksBeforeSaving()
{
    QFETCH(int, answer);
    QFETCH(QByteArray, onDisk);
    QFETCH(bool, dirty);
    TTestWindow window;
    window.show();
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();
    editor->SetCursorPanel(1);
    editor->SetCursorOffset(0);
    QTest::keyClick(editor, 'Z');

    QVERIFY(WriteFile(FPath, "the other program's text"));
    window.ChangedAnswer = THexEditWindow::TChangedAnswer(answer);
    window.SaveAction()->trigger();
    QCOMPARE(window.ChangedQuestions, 1);
    QCOMPARE(ReadFile(FPath), onDisk);
    QCOMPARE(window.IsDirty(), dirty);
    if (answer == THexEditWindow::caReload)
        QCOMPARE(editor->GetByte(0), uchar('t'));
    // Once saved or reloaded, the file is the one known again: no question.
    if (!dirty) {
        editor->SetCursorOffset(1);
        QTest::keyClick(editor, 'Y');
        window.SaveAction()->trigger();
        QCOMPARE(window.ChangedQuestions, 1);
    }
}

void TTestHexEdit::FindBar()
{
    QByteArray bytes(64, '.');
    bytes.replace(10, 5, "Hello");
    bytes.replace(40, 5, "HELLO");
    QVERIFY(WriteFile(FPath, bytes));
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();

    window.FindMode()->setCurrentIndex(window.FindMode()->findData(int(THexEditor::smText)));
    window.FindText()->setText(QStringLiteral("hello"));
    QCOMPARE(window.FindFromBar(), 10);
    QCOMPARE(editor->GetCursorOffset(), 10);
    QCOMPARE(window.FindFromBar(), 40); // unchanged bar: the search goes on
    QCOMPARE(editor->GetCursorOffset(), 40);
    QCOMPARE(window.FindFromBar(), -1);
    QCOMPARE(editor->GetCursorOffset(), 40);
    QVERIFY(window.FindStatus()->text().contains(QStringLiteral("Not found")));

    window.FindMatchCase()->setChecked(true);
    window.FindText()->setText(QStringLiteral("HELLO"));
    QCOMPARE(window.FindFromBar(), 40);

    // Hex bytes from the cursor: the match under the cursor is skipped.
    window.FindMatchCase()->setChecked(false);
    window.FindFromCursor()->setChecked(true);
    window.FindMode()->setCurrentIndex(window.FindMode()->findData(int(THexEditor::smHex)));
    window.FindText()->setText(QStringLiteral("2e 2e"));
    editor->SetCursorOffset(15);
    QCOMPARE(window.FindFromBar(), 16);
    QVERIFY(window.FindStatus()->text().contains(QStringLiteral("Found")));
}

void TTestHexEdit::HexSearchText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("found");
    QTest::addColumn<QString>("status");
    QTest::newRow("0x prefixes") << "0x3f 0x87" << qint64(20) << "Found";
    QTest::newRow("pairs run together") << "3F8751" << qint64(20) << "Found";
    QTest::newRow("one prefix, a run") << "0X3f87" << qint64(20) << "Found";
    QTest::newRow("tabs and line breaks") << "\t3f\r\n87 " << qint64(20) << "Found";
    QTest::newRow("digits alone") << "3f 8 7" << qint64(-1) << "Not found"; // 3F 08 07
    QTest::newRow("letters after the bytes") << "3f8751zz" << qint64(-1) << "Not hex: \"3f8751zz\"";
    QTest::newRow("commas") << "3f,87" << qint64(-1) << "Not hex";
    QTest::newRow("odd run") << "3f875" << qint64(-1) << "Odd digit count";
    QTest::newRow("prefix alone") << "3f 0x" << qint64(-1) << "No digits after 0x";
    QTest::newRow("nothing") << " " << qint64(-1) << "Type hex bytes";
}

// The find bar's hex text: 0x and white space are allowed, anything else is
// reported and nothing is searched for.
void TTestHexEdit::HexSearchText()
{
    QFETCH(QString, text);
    QFETCH(qint64, found);
    QFETCH(QString, status);
    QByteArray bytes(64, '\0');
    bytes.replace(20, 3, QByteArray::fromHex("3f8751"));
    QVERIFY(WriteFile(FPath, bytes));
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    window.Editor()->SetCursorOffset(5);
    window.FindMode()->setCurrentIndex(window.FindMode()->findData(int(THexEditor::smHex)));
    window.FindText()->setText(text);
    QCOMPARE(window.FindFromBar(), found);
    QVERIFY2(window.FindStatus()->text().startsWith(status), qPrintable(window.FindStatus()->text()));
    QCOMPARE(window.Editor()->GetCursorOffset(), found >= 0 ? found : 5);
}

void TTestHexEdit::GoToOffset()
{
    QVERIFY(WriteFile(FPath, QByteArray(64 * 1024, 'x')));
    TTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();
    QVERIFY(window.GotoAction()->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_G));

    window.GotoAction()->trigger();
    THexGotoDialog* dialog = window.GotoDialog();
    QVERIFY(dialog && dialog->isVisible());
    dialog->Field()->setText(QStringLiteral("8000"));
    QTest::keyClick(dialog->Field(), Qt::Key_Return); // decimal 8000
    QVERIFY(!dialog->isVisible());
    QCOMPARE(editor->GetCursorOffset(), 8000);

    // Refused text keeps the dialog open and says why; the cursor stays.
    window.GotoAction()->trigger();
    dialog->Field()->setText(QStringLiteral("8000h"));
    QTest::keyClick(dialog->Field(), Qt::Key_Return);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->Message().contains(QLatin1String("not an offset")));
    QCOMPARE(editor->GetCursorOffset(), 8000);

    // Relative to the cursor, far down: scrolled into view.
    dialog->Field()->setText(QStringLiteral("+0x8000"));
    QTest::keyClick(dialog->Field(), Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(editor->GetCursorOffset(), 8000 + 0x8000);
    QVERIFY(editor->FirstVisible() <= editor->GetCursorOffset());
    QVERIFY(editor->GetCursorOffset() <= editor->LastVisible());
}

void TTestHexEdit::InspectorPanel()
{
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    THexValueView* inspector = window.Inspector();
    QCOMPARE(inspector->Editor(), window.Editor());
    window.Editor()->SetCursorOffset(10);
    QCoreApplication::processEvents();
    QCOMPARE(inspector->ValueText(THexValues::vtUInt16), QStringLiteral("2826")); // 0A 0B

    // A value typed back is one more change of the file: undo, dirty, save.
    QVERIFY(inspector->EnterValue(THexValues::vtUInt16, QStringLiteral("0x4142")));
    QVERIFY(window.IsDirty());
    QVERIFY(window.UndoAction()->isEnabled());
    QVERIFY(window.SaveFile());
    QCOMPARE(ReadFile(FPath).mid(10, 2), QByteArray("BA"));

    // The View menu shows and hides the panel.
    auto* dock = qobject_cast<QDockWidget*>(inspector->parentWidget()->parentWidget()->parentWidget());
    QVERIFY(dock);
    QAction* toggle = dock->toggleViewAction();
    QVERIFY(window.menuBar()->actions().at(2)->menu()->actions().contains(toggle));
    window.show();
    const bool shown = dock->isVisible();
    toggle->trigger();
    QCOMPARE(dock->isVisible(), !shown);
}

void TTestHexEdit::FitsTheScreen_data()
{
    // A 1280 x 900 screen at the scale factors 1, 1.5 and 2.
    QTest::addColumn<QRect>("available");
    QTest::addColumn<bool>("panels");
    QTest::newRow("1280 x 900") << QRect(0, 0, 1280, 900) << true;
    QTest::newRow("at 1.5") << QRect(0, 0, 853, 600) << true;
    QTest::newRow("at 2") << QRect(0, 0, 640, 450) << false;
}

void TTestHexEdit::FitsTheScreen()
{
    QFETCH(QRect, available);
    QFETCH(bool, panels);
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    window.FitToScreen(available);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.frameGeometry().width() <= available.width());
    QVERIFY(window.frameGeometry().height() <= available.height());
    QVERIFY(window.minimumSizeHint().width() <= available.width());
    // The find bar and the status bar lie inside the window.
    const QRect inside = window.rect();
    for (QWidget* part : {window.findChild<QWidget*>(QStringLiteral("FindBar")), (QWidget*)window.statusBar()}) {
        QVERIFY(part->isVisible());
        const QRect r(part->mapTo(&window, QPoint(0, 0)), part->size());
        QVERIFY2(inside.contains(r), qPrintable(QStringLiteral("%1 x %2").arg(r.right()).arg(r.bottom())));
    }
    QCOMPARE(window.Inspector()->isVisible(), panels);
}

// The mode in the status bar, the Edit menu's actions on the editor, and
// undo back to the bytes on disk leaving the window unmodified.
void TTestHexEdit::EditMenuInsertAndSavePoint()
{
    TTestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();
    editor->setFocus();
    editor->SetCursorPanel(1);
    QCOMPARE(window.ModeLabel()->text(), QStringLiteral("OVR"));
    QTest::keyClick(editor, Qt::Key_Insert);
    QCOMPARE(window.ModeLabel()->text(), QStringLiteral("INS"));
    QVERIFY(window.InsertModeAction()->isChecked());
    QTest::keyClicks(editor, QStringLiteral("hi"));
    QCOMPARE(editor->DataSize(), 102);
    QVERIFY(window.IsDirty());
    QCOMPARE(window.UndoAction()->text(), QStringLiteral("Undo insert 00000000: 2 bytes"));

    // From the menu, with the focus elsewhere.
    window.FindText()->setFocus();
    QVERIFY(!window.CopyAction()->isEnabled());
    editor->SetSelection(0, 2);
    QVERIFY(window.CopyAction()->isEnabled() && window.DeleteAction()->isEnabled());
    window.CopyAction()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("application/octet-stream")),
             QByteArray("hi"));
    window.DeleteAction()->trigger();
    QCOMPARE(editor->DataSize(), 100);

    window.UndoAction()->trigger();
    QVERIFY(window.IsDirty());
    window.UndoAction()->trigger(); // the bytes as opened: nothing to save
    QVERIFY(!window.IsDirty());
    QVERIFY(!window.isWindowModified());
    window.RedoAction()->trigger();
    QVERIFY(window.IsDirty());
    window.Answer = THexEditWindow::saDiscard;
    QVERIFY(window.close());
    QCOMPARE(window.Questions, 1);
}

void TTestHexEdit::FindAllAndReplace()
{
    QVERIFY(WriteFile(FPath, "cat dog cat bird cat"));
    TTestWindow window;
    QVERIFY(window.OpenFile(FPath));
    THexEditor* editor = window.Editor();
    window.FindText()->setText(QStringLiteral("cat"));
    QCOMPARE(window.FindAllFromBar(), 3);
    QCOMPARE(window.FindStatus()->text(), QStringLiteral("3 matches"));
    QCOMPARE(window.FindPreviousFromBar(), 17);
    QCOMPARE(window.FindPreviousFromBar(), 8);

    window.ReplaceText()->setText(QStringLiteral("lion"));
    QCOMPARE(window.ReplaceAllFromBar(), qint64(THexEditor::ReplaceRefused)); // overwriting: same length only
    QCOMPARE(window.Messages.size(), 1);
    window.ReplaceText()->setText(QStringLiteral("cow"));
    QVERIFY(!window.ReplaceFromBar()); // finds the first
    QCOMPARE(editor->GetCursorOffset(), 0);
    QVERIFY(window.ReplaceFromBar()); // replaces it, finds the next
    QCOMPARE(editor->GetCursorOffset(), 8);
    editor->SetInsertMode(true);
    window.ReplaceText()->setText(QStringLiteral("lion"));
    QCOMPARE(window.ReplaceAllFromBar(), 2);
    QCOMPARE(window.FindStatus()->text(), QStringLiteral("2 replaced"));
    window.SaveAction()->trigger();
    QCOMPARE(ReadFile(FPath), QByteArray("cow dog lion bird lion"));

    // Hex text with 0x, spaces and capitals reads alike for every button.
    window.FindMode()->setCurrentIndex(window.FindMode()->findData(int(THexEditor::smHex)));
    window.FindText()->setText(QStringLiteral("0x6C 69"));
    QCOMPARE(window.FindAllFromBar(), 2);
    window.ReplaceText()->setText(QStringLiteral("4c49"));
    QVERIFY(!window.ReplaceFromBar()); // finds the first
    QVERIFY(window.ReplaceFromBar());
    QVERIFY(window.ReplaceFromBar());
    window.SaveAction()->trigger();
    QCOMPARE(ReadFile(FPath), QByteArray("cow dog LIon bird LIon"));
}

// Ctrl+Q while a search runs (the menu bar is disabled then) is not lost:
// the window closes once the work is over.
void TTestHexEdit::QuitDuringLongWork()
{
    QFile big(FPath);
    QVERIFY(big.resize(qint64(256) << 20)); // sparse: many slices of searching
    TTestWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(window.OpenFile(FPath));
    window.FindMode()->setCurrentIndex(window.FindMode()->findData(int(THexEditor::smText)));
    window.FindText()->setText(QStringLiteral("zz")); // nowhere in the file
    // Quit is also the window's own action, so that its key works while the
    // menu bar is disabled. (The offscreen platform binds no key to Quit.)
    QAction* quit = nullptr;
    for (QAction* action : window.actions())
        quit = action->text() == QStringLiteral("&Quit") ? action : quit;
    QVERIFY(quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    bool busy = false;
    QTimer::singleShot(0, &window, [&] {
        busy = window.Editor()->Busy();
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    });
    QCOMPARE(window.FindFromBar(), -1);
    QVERIFY(busy);
    QVERIFY(window.isVisible());
    QCoreApplication::processEvents();
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TTestHexEdit)
#include "tst_hexedit.moc"
