// What screen readers get from the widget library: the hex editor's rows as
// text with its cursor as the caret, its selection as the text selection
// and its byte as the value, the mark-up label's plain text and links, and the contrast arithmetic.
#include "Contrast.h"
#include "Controlsaccessible.h"
#include "Hexaccessible.h"
#include "Hexprobe.h"
#include "Htmllabel.h"
#include "Numbase.h"

#include <QAccessible>
#include <QFile>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QChar Shown(unsigned char byte)
{
    return (byte < 32 || (byte >= 127 && byte < 160)) ? QLatin1Char('.') : QChar(byte);
}

} // namespace

class TestAccessible : public QObject
{
    Q_OBJECT

private slots:
    // Random layouts, data and scroll positions: every offset shown has a
    // cell in each panel that reads as its byte (or its group, in decimal)
    // and leads back to it; offsets not shown have none.
    void RowsTextCells()
    {
        QRandomGenerator random(23);
        const int lines[] = {4, 8, 16, 24, 32, 64};
        const int groups[] = {1, 2, 4};
        for (int round = 0; round < 40; ++round) {
            THexProbe editor;
            editor.resize(1200, 10 + 30 * random.bounded(1, 12));
            const int line = lines[random.bounded(6)];
            int group = groups[random.bounded(3)];
            while (line % group != 0)
                group /= 2;
            editor.SetBytesPerLine(line);
            editor.SetBytesPerGroup(group);
            editor.SetBaseBytes(random.bounded(2) ? 10 : 16);
            editor.SetBaseOffset(random.bounded(2) ? 10 : 16);
            QByteArray data(random.bounded(1, 3000), 0);
            for (char& c : data)
                c = char(random.bounded(256));
            editor.SetBytes(data);
            QScrollBar bar(Qt::Vertical);
            editor.SetScrollBar(&bar);
            bar.setValue(random.bounded(qMax(1, int(data.size()) / line)));
            editor.Snapshot();

            const THexRowsText rows(editor);
            const QString& text = rows.Text();
            const bool decimal = editor.BaseBytes() == 10;
            const int digits = decimal ? DecimalDigitsForBytes(group) : 2;
            const qint64 first = editor.FirstVisible();
            const qint64 end = qMin<qint64>(data.size(), first + qint64(editor.VisibleRows()) * line);
            QVERIFY(first < end);
            for (qint64 at = 0; at < data.size(); ++at) {
                const QByteArray where = QByteArray::number(round) + "/" + QByteArray::number(at);
                const bool shown = at >= first && at < end;
                const qint64 cellStart = decimal ? at - at % group : at;
                for (int panel = 0; panel < 2; ++panel) {
                    const int position = rows.PositionOf(at, panel);
                    QVERIFY2((position >= 0) == shown, where.constData());
                    if (!shown)
                        continue;
                    qint64 back = -1;
                    int backPanel = -1;
                    QVERIFY2(rows.CellAt(position, &back, &backPanel), where.constData());
                    QCOMPARE(back, panel == 0 ? cellStart : at);
                    QCOMPARE(backPanel, panel);
                    if (panel == 1) {
                        QCOMPARE(text.at(position), Shown(uchar(data[at])));
                    } else if (!decimal) {
                        QCOMPARE(text.mid(position, 2), QString::asprintf("%02X", uchar(data[at])));
                    } else {
                        quint64 value = 0;
                        for (int i = 0; i < group; ++i)
                            value = (value << 8) | (cellStart + i < data.size() ? uchar(data[cellStart + i]) : 0);
                        QCOMPARE(text.mid(position, digits), QString::number(value).rightJustified(digits, '0'));
                    }
                }
            }
        }
    }

    // Over 4 GiB the address column is as wide as the painted one, also on
    // rows whose own addresses would fit in fewer digits.
    void AddressWidthPastFourGiB()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("disk.img"));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(16) << 30))
            QSKIP("the file system holds no sparse 16 GiB file");
        file.close();
        QScrollBar bar(Qt::Vertical);
        THexProbe editor;
        editor.resize(700, 300);
        editor.SetScrollBar(&bar);
        QCOMPARE(editor.LoadFromFile(QFile::encodeName(file.fileName()).constData()), 0);
        editor.Snapshot();
        QCOMPARE(editor.FAddressDigits, 9);
        QCOMPARE(THexRowsText(editor).Text().indexOf(QLatin1Char(' ')), editor.FAddressDigits);
    }

    void DescribesTheCursor_data()
    {
        QTest::addColumn<int>("baseOffset");
        QTest::addColumn<int>("baseBytes");
        QTest::addColumn<int>("panel");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hex") << 16 << 16 << 0 << int('H') << "offset 0x10, byte 48, 'H', byte panel";
        QTest::newRow("decimal") << 10 << 10 << 1 << int('H') << "offset 16, byte 72, 'H', character panel";
        QTest::newRow("space") << 16 << 16 << 1 << int(' ') << "offset 0x10, byte 20, space, character panel";
        QTest::newRow("control") << 16 << 16 << 0 << 0 << "offset 0x10, byte 00, control character, byte panel";
        QTest::newRow("latin-1") << 16 << 16 << 0 << 0xE9 << "offset 0x10, byte E9, '\u00e9', byte panel";
    }
    void DescribesTheCursor()
    {
        QFETCH(int, baseOffset);
        QFETCH(int, baseBytes);
        QFETCH(int, panel);
        QFETCH(int, byte);
        QFETCH(QString, expected);
        THexProbe editor;
        editor.SetBytes(QByteArray(40, char(byte)));
        editor.SetBaseOffset(baseOffset);
        editor.SetBaseBytes(baseBytes);
        editor.SetCursorPanel(panel);
        editor.SetCursorOffset(16);
        QCOMPARE(HexCursorDescription(editor), expected);
    }

    // An editor made inside a shown window is the editable text, and follows
    // the reader's caret and value (the events it sends need a desktop's
    // accessibility bus: tests/e2e/a11y_e2e.sh).
    void EditorInterfaceAndEvents()
    {
        QWidget window;
        window.resize(700, 200);
        window.show();
        auto* editor = new THexProbe(&window);
        editor->resize(700, 200);
        editor->show();
        editor->SetBytes("Hello, world. Hello, world. Hello, world.");
        editor->ChangeFileName("/tmp/some/hello.txt");
        editor->Snapshot();
        QCoreApplication::processEvents();

        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(editor);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QCOMPARE(iface->text(QAccessible::Name), QString("Hex editor, hello.txt"));
        QVERIFY(iface->state().focusable && iface->state().editable && !iface->state().readOnly);
        QAccessibleTextInterface* text = iface->textInterface();
        QAccessibleValueInterface* value = iface->valueInterface();
        QVERIFY(text && value);
        QCOMPARE(text->text(0, text->characterCount()), THexRowsText(*editor).Text());

        // The reader moves the caret onto the character of offset 3.
        const THexRowsText rows(*editor);
        text->setCursorPosition(rows.PositionOf(3, 1));
        QCOMPARE(editor->GetCursorOffset(), 3);
        QCOMPARE(editor->CursorPanel(), 1);
        QCOMPARE(text->cursorPosition(), rows.PositionOf(3, 1));

        // The reader writes a byte through the value, unless read-only.
        text->setCursorPosition(rows.PositionOf(7, 0));
        value->setCurrentValue(0x41);
        QCOMPARE(int(editor->GetByte(7)), 0x41);
        QVERIFY(editor->Dirty());
        editor->SetReadOnly(true);
        value->setCurrentValue(0x42);
        QCOMPARE(int(editor->GetByte(7)), 0x41);
        QVERIFY(iface->state().readOnly);

        // The selection, both ways, in the cursor's panel: bytes 2..20 run
        // from the third cell of the first row to the fifth of the second.
        QCOMPARE(text->selectionCount(), 0);
        editor->SetSelection(2, 19);
        QCOMPARE(text->selectionCount(), 1);
        int from = -1, to = -1;
        text->selection(0, &from, &to);
        QCOMPARE(from, rows.PositionOf(2, 0));
        QCOMPARE(to, rows.PositionOf(20, 0) + 2);
        text->setSelection(0, rows.PositionOf(5, 1), rows.PositionOf(6, 1) + 1);
        QCOMPARE(editor->SelectionStart(), 5);
        QCOMPARE(editor->SelectionLength(), 2);
        text->removeSelection(0);
        QVERIFY(!editor->HasSelection());
    }

    void LabelPlainTextAndLinks_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("none") << "no <x>tags</x>" << "no <x>tags</x>" << QStringList();
        QTest::newRow("one") << "<b>Go</b> to <hyper>the home page</hyper> now" << "Go to the home page now"
                             << QStringList{"the home page"};
        QTest::newRow("case, two") << "<HYPER>one</Hyper><hyper>two" << "onetwo" << QStringList{"one", "two"};
        QTest::newRow("nested tags") << "<hyper><blue>x</blue> <i>y</i> </hyper>" << "x y " << QStringList{"x y"};
        QTest::newRow("second open") << "<hyper>a <hyper>b</hyper>" << "a b" << QStringList{"a b"};
    }
    void LabelPlainTextAndLinks()
    {
        QFETCH(QString, caption);
        QFETCH(QString, plain);
        QFETCH(QStringList, links);
        THtmlLabel label;
        label.resize(400, 20);
        label.SetCaption(caption);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&label);
        QCOMPARE(iface->role(), QAccessible::StaticText);
        QCOMPARE(iface->text(QAccessible::Name), plain);
        QCOMPARE(iface->textInterface()->text(0, iface->textInterface()->characterCount()), plain);
        QCOMPARE(iface->childCount(), links.size());
        QSignalSpy clicks(&label, &THtmlLabel::OnClick);
        for (int i = 0; i < links.size(); ++i) {
            QAccessibleInterface* link = iface->child(i);
            QCOMPARE(link->role(), QAccessible::Link);
            QCOMPARE(link->text(QAccessible::Name), links.at(i));
            QCOMPARE(link->parent(), iface);
            link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        QCOMPARE(clicks.size(), links.size());
        // A new caption brings new links.
        label.SetCaption("<hyper>new</hyper>");
        QCOMPARE(iface->childCount(), 1);
        QCOMPARE(iface->child(0)->text(QAccessible::Name), QString("new"));
    }

    void Contrast_data()
    {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QColor>("readable");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0 << QColor(Qt::black);
        QTest::newRow("same") << QColor(Qt::white) << QColor(Qt::white) << 1.0 << QColor(Qt::black);
        QTest::newRow("grey 767676") << QColor(0x767676) << QColor(Qt::white) << 4.54 << QColor(0x767676);
        QTest::newRow("blue on the panel") << QColor(Qt::blue) << QColor(0xFF80C0) << 3.72 << QColor(Qt::black);
        QTest::newRow("white on navy") << QColor(Qt::white) << QColor(0x000080) << 16.0 << QColor(Qt::white);
        QTest::newRow("black on navy") << QColor(Qt::black) << QColor(0x000080) << 1.31 << QColor(Qt::white);
    }
    void Contrast()
    {
        QFETCH(QColor, text);
        QFETCH(QColor, background);
        QFETCH(double, ratio);
        QFETCH(QColor, readable);
        QVERIFY2(qAbs(ContrastRatio(text, background) - ratio) < 0.01,
                 qPrintable(QString::number(ContrastRatio(text, background))));
        QCOMPARE(ContrastRatio(background, text), ContrastRatio(text, background));
        QCOMPARE(ReadableTextColor(text, background), readable);
        // A shade keeps the hue and reads; a colour that reads stays as it is.
        const QColor shade = ReadableShade(text, background);
        QVERIFY(ContrastRatio(shade, background) >= ContrastAA);
        QCOMPARE(shade.hsvHue(), text.hsvHue());
        if (ratio >= ContrastAA)
            QCOMPARE(shade, text);
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
