// Uses each widget of the installed SDK offscreen, and edits a file with the
// hex editor: load, type over two bytes, undo the second, save, and compare
// the bytes on disk; then patches the saved file with a THexDocument alone,
// read in pages. Prints PASS and exits 0, or says what went wrong.
#include <Glimrapanel.h>
#include <Hexcontrol.h>
#include <Hexdocument.h>
#include <Htmllabel.h>

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>

namespace {
int Fail(const char* what)
{
    std::printf("FAIL: %s\n", what);
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);

    TGlimraPanel panel;
    panel.SetDoRed(255);
    panel.resize(185, 41);
    THtmlLabel label;
    label.SetCaption(QStringLiteral("<b>bold</b> and <hyper>link</hyper>"));
    label.SetAutoSize1(1);
    if (panel.grab().isNull() || label.grab().isNull() || label.width() <= 0)
        return Fail("the panel or the label did not paint");

    QTemporaryDir dir;
    const QByteArray original("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    const QString in = dir.filePath(QStringLiteral("in.bin"));
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly) || f.write(original) != original.size())
            return Fail("cannot write the input file");
    }

    QScrollBar bar(Qt::Vertical); // the host owns the scroll bar
    THexEditor editor;
    editor.SetScrollBar(&bar);
    editor.resize(560, 300);
    editor.show();
    if (editor.LoadFromFile(QFile::encodeName(in).constData()) != THexEditor::frOk)
        return Fail("LoadFromFile");
    if (editor.DataSize() != original.size())
        return Fail("loaded size");
    editor.grab(); // one paint lays the rows out
    editor.SetCursorPanel(0); // the byte panel: typing hexadecimal digits
    editor.SetCursorOffset(0);
    for (char ch : QByteArray("4142")) {
        char c = ch;
        editor.KeyPress(c);
    }
    if (editor.GetByte(0) != 0x41 || editor.GetByte(1) != 0x42 || !editor.Dirty())
        return Fail("typing over the first two bytes");
    editor.Undo();
    if (editor.GetByte(1) != 0x02)
        return Fail("Undo");
    if (editor.SaveToFile(QFile::encodeName(out).constData()) != THexEditor::frOk)
        return Fail("SaveToFile");

    QFile saved(out);
    if (!saved.open(QIODevice::ReadOnly))
        return Fail("cannot read the saved file");
    QByteArray want = original;
    want[0] = '\x41';
    if (saved.readAll() != want)
        return Fail("the saved bytes differ");
    saved.close();

    // The cursor's signal carries a 64-bit offset.
    qint64 cursor = -1;
    QObject::connect(&editor, &THexEditor::OnCursorChange, [&cursor](QObject*, qint64 at) { cursor = at; });
    editor.MoveCursor(3);
    if (cursor != 3)
        return Fail("OnCursorChange");

    // A document without a widget, reading the file in pages.
    THexDocument doc;
    doc.SetMemoryLimit(0);
    if (doc.Load(out) != THexDocument::frOk || doc.Data() || doc.Size() != original.size())
        return Fail("THexDocument::Load");
    doc.SetByte(7, 0x99);
    if (doc.Save(out) != THexDocument::frOk)
        return Fail("THexDocument::Save");
    unsigned char last = 0;
    if (doc.Read(7, &last, 1) != 1 || last != 0x99 || !saved.open(QIODevice::ReadOnly) || saved.readAll().at(7) != '\x99')
        return Fail("the patched byte");
    std::printf("PASS\n");
    return 0;
}
