// The hexedit program's window driven as a user would: open a file, type
// over a byte, undo, redo, save, find, close with unsaved changes, and save
// over a file another program changed meanwhile; insert, select and copy
// through the Edit menu, undo back to the saved bytes, find backwards, find
// all and replace from the find bar.
#include "Hexcontrol.h"
#include "Hexeditwindow.h"
#include "Testenv.h"
#include "Testfiles.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QCheckBox>
#include <QComboBox>
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
    void EditMenuInsertAndSavePoint();
    void FindAllAndReplace();

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
}

QTEST_MAIN(TTestHexEdit)
#include "tst_hexedit.moc"
