// THexEditor's layout and painting, read back from a QImage and from the
// hit-test cells the paint records.
#include "Canvas.h"
#include "Hexprobe.h"
#include "Hittest.h"
#include "Paintimage.h"
#include "Testenv.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {

QFont TestFont(int pixels)
{
    QFont font("DejaVu Sans Mono");
    font.setPixelSize(pixels);
    font.setStyleHint(QFont::Monospace);
    return font;
}

// Text metrics as the control measures them.
struct TMetrics
{
    int Cell, Height, Address, Byte;
    explicit TMetrics(const THexEditor& ed)
    {
        TCanvas canvas(&ed);
        canvas.SetFont(ed.font());
        Cell = canvas.TextWidth("A");
        Height = canvas.TextHeight("A");
        Address = canvas.TextWidth("00000000");
        Byte = canvas.TextWidth("00");
    }
};

bool IsDark(QRgb c)
{
    return qGray(c) < 110;
}

int CountPixels(const QImage& image, const QRect& area, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (test(image.pixel(x, y)))
                ++n;
    return n;
}

const THitCell* CellAt(const THexProbe& ed, int x, int y)
{
    return HitListFind(ed.FHitList.get(), x, y);
}

} // namespace

class TestHexPaint : public QObject
{
    Q_OBJECT

private slots:
    void newControlRowLayout();
    void layoutMessage();
    void decimalGroups();
    void scrollPositionPicksFirstRow();
    void rowsOnlyWhenTheyFit_data();
    void rowsOnlyWhenTheyFit();
    void rowWidthEventOnlyOnChange();
    void cellColours();
    void cursorBlinks();
    void blinkRepaintsOnlyTheCursor_data();
    void blinkRepaintsOnlyTheCursor();
    void rowHeightChangeEmptiesHitList();
    void everyPaintedCellIsClickable_data();
    void everyPaintedCellIsClickable();
    void insertCursorAndSelection_data();
    void insertCursorAndSelection();

private:
    TTestConfigHome FConfigHome;
};

void TestHexPaint::newControlRowLayout()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 200);
    const QImage image = ed.Snapshot();
    const TMetrics m(ed);

    const int addressEnd = 12 + m.Address;
    const int bytesStart = addressEnd + 20;
    const int bytesEnd = bytesStart + 16 * m.Byte + 3 * m.Cell;
    const int charsStart = bytesEnd + 20;
    QCOMPARE(ed.FAddrSeparatorX, addressEnd);
    QCOMPARE(ed.FCharSeparatorX, bytesEnd);
    QCOMPARE(ed.FRowWidth, charsStart + 16 * m.Cell + 12);
    // The shaded bars sit in the middle of their slots: blue, with a green
    // ramp that is 0 in the centre column and rises by 50 per column.
    for (int slot : {addressEnd, bytesEnd}) {
        QCOMPARE(QColor(image.pixel(slot + 9, 100)), QColor(0, 0, 255));
        QCOMPARE(QColor(image.pixel(slot + 11, 100)), QColor(0, 100, 255));
    }

    int rows = 0;
    while (10 + (rows + 1) * m.Height < 200)
        ++rows;
    QCOMPARE(ed.VisibleRows(), rows);
    QCOMPARE(ed.LastVisible(), rows * 16 - 1);

    for (int r = 0; r < rows; ++r) {
        const int y = 10 + r * m.Height;
        for (int yy : {y, y + m.Height - 1}) {
            QCOMPARE(ed.GetMouseOffset(addressEnd - 1, yy), -1);
            for (int i = 0; i < 16; ++i) {
                const int x = bytesStart + i * m.Byte + (i / 4) * m.Cell;
                const THitCell* first = CellAt(ed, x, yy);
                const THitCell* last = CellAt(ed, x + m.Byte - 1, yy);
                QVERIFY(first && last);
                QCOMPARE(first->Value, r * 16 + i);
                QCOMPARE(last->Value, r * 16 + i);
                QCOMPARE(first->Tag, 0);
                if (i % 4 == 3 && i < 15) // the group space belongs to no cell
                    QCOMPARE(ed.GetMouseOffset(x + m.Byte, yy), -1);
                const THitCell* ch = CellAt(ed, charsStart + i * m.Cell, yy);
                QVERIFY(ch);
                QCOMPARE(ch->Value, r * 16 + i);
                QCOMPARE(ch->Tag, 1);
            }
            QCOMPARE(ed.GetMouseOffset(bytesEnd, yy), -1);
            QCOMPARE(ed.GetMouseOffset(charsStart + 16 * m.Cell, yy), -1);
        }
    }
    QCOMPARE(ed.GetMouseOffset(bytesStart, 9), -1);
    QCOMPARE(ed.GetMouseOffset(bytesStart, 10 + rows * m.Height), -1);
}

void TestHexPaint::layoutMessage()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 300);
    ed.SetBytesPerLine(10);
    const QImage image = ed.Snapshot();
    const TMetrics m(ed);

    QCOMPARE(ed.VisibleRows(), 0);
    QCOMPARE(ed.FAddrSeparatorX, -1);
    QCOMPARE(ed.FCharSeparatorX, -1);
    QCOMPARE(ed.GetMouseOffset(200, 20), -1);
    // Three centred lines hang from the middle; above and below is empty.
    const int top = (300 - m.Height) / 2;
    const QRect lines(10, top, 620, 3 * m.Height);
    QVERIFY(CountPixels(image, lines, IsDark) > 100);
    QCOMPARE(CountPixels(image, QRect(10, 10, 620, top - 12), IsDark), 0);
    QCOMPARE(CountPixels(image, QRect(10, top + 3 * m.Height + 2, 620, 280 - top - 3 * m.Height), IsDark), 0);
    // A valid layout again paints rows.
    ed.SetBytesPerLine(12);
    ed.Snapshot();
    QVERIFY(ed.VisibleRows() > 0);
}

void TestHexPaint::decimalGroups()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(700, 120);
    ed.SetBaseBytes(10);
    ed.SetBytesPerGroup(2);
    ed.Snapshot();
    const TMetrics m(ed);
    QCOMPARE(ed.FCellDigits, 5);
    QCOMPARE(ed.FInputDigits, 5);

    const int bytesStart = 12 + m.Address + 20;
    TCanvas canvas(&ed);
    canvas.SetFont(ed.font());
    const int cell = canvas.TextWidth("00000");
    const int y = 10 + m.Height + 1; // second row
    for (int c = 0; c < 8; ++c) {
        const int x = bytesStart + c * (cell + m.Cell);
        QCOMPARE(ed.GetMouseOffset(x, y), 16 + 2 * c);
        QCOMPARE(ed.GetMouseOffset(x + cell - 1, y), 16 + 2 * c);
        QCOMPARE(ed.GetMouseOffset(x + cell, y), -1); // every cell has its space
    }
    const int bytesEnd = bytesStart + 8 * (cell + m.Cell);
    QCOMPARE(ed.FCharSeparatorX, bytesEnd);
    QCOMPARE(ed.GetMouseOffset(bytesEnd + 20, y), 16);
    QCOMPARE(ed.GetMouseOffset(bytesEnd + 20 + 15 * m.Cell, y), 31);
}

void TestHexPaint::scrollPositionPicksFirstRow()
{
    QScrollBar bar(Qt::Vertical);
    bar.setRange(0, 63);
    bar.setValue(3);
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 150);
    ed.SetScrollBar(&bar);
    ed.Snapshot();
    const TMetrics m(ed);
    QCOMPARE(ed.FirstVisible(), 48);
    QCOMPARE(ed.GetMouseOffset(12 + m.Address + 20, 10), 48);
    QCOMPARE(bar.pageStep(), ed.VisibleRows());
    QCOMPARE(ed.LastVisible(), 48 + 16 * ed.VisibleRows() - 1);
}

void TestHexPaint::rowsOnlyWhenTheyFit_data()
{
    QTest::addColumn<int>("extra"); // height beyond 10 + one row height
    QTest::addColumn<int>("rows");
    QTest::newRow("no pixel to spare") << 0 << 0;
    QTest::newRow("one pixel to spare") << 1 << 1;
}

void TestHexPaint::rowsOnlyWhenTheyFit()
{
    QFETCH(int, extra);
    QFETCH(int, rows);
    THexProbe ed;
    ed.setFont(TestFont(12));
    const TMetrics m(ed);
    ed.resize(640, 10 + m.Height + extra);
    QSignalSpy widths(&ed, &THexEditor::OnRowWidthChange);
    ed.Snapshot();
    QCOMPARE(ed.VisibleRows(), rows);
    QCOMPARE(widths.count(), rows);
    QCOMPARE(ed.GetMouseOffset(12 + m.Address + 20, 10) >= 0, rows > 0);
}

void TestHexPaint::rowWidthEventOnlyOnChange()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 200);
    QSignalSpy widths(&ed, &THexEditor::OnRowWidthChange);
    ed.Snapshot();
    QCOMPARE(widths.count(), 1);
    QCOMPARE(widths.at(0).at(0).value<QObject*>(), &ed);
    ed.Snapshot();
    ed.SetByte(0, 0xAB);
    ed.Snapshot();
    QCOMPARE(widths.count(), 1);
    ed.SetBytesPerLine(8);
    ed.Snapshot();
    QCOMPARE(widths.count(), 2);
}

void TestHexPaint::cellColours()
{
    THexProbe ed;
    ed.setFont(TestFont(16));
    ed.resize(640, 200);
    ed.SetColorByte(RGBToTColor(0, 160, 0));
    ed.SetColorChange(RGBToTColor(220, 0, 0));
    ed.SetColorCursor(RGBToTColor(0, 0, 220));
    ed.SetColorAscii(RGBToTColor(160, 0, 160));
    ed.SetCursorPanel(0);
    ed.MoveCursor(5);
    ed.SetByte(2, 0x88);
    ed.SetByte(0x41, 0x41);
    const QImage image = ed.Snapshot();
    const TMetrics m(ed);
    const int bytesStart = 12 + m.Address + 20;
    auto hexCell = [&](int i) {
        return QRect(bytesStart + i * m.Byte + (i / 4) * m.Cell, 10, m.Byte, m.Height - 2);
    };
    auto charCell = [&](int offset) {
        return QRect(ed.FCharSeparatorX + 20 + (offset % 16) * m.Cell, 10 + (offset / 16) * m.Height, m.Cell,
                     m.Height - 2);
    };
    auto red = [](QRgb c) { return qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80; };
    auto green = [](QRgb c) { return qGreen(c) > 100 && qRed(c) < 80 && qBlue(c) < 80; };
    auto blue = [](QRgb c) { return qBlue(c) > 150 && qRed(c) < 80 && qGreen(c) < 80; };
    auto purple = [](QRgb c) { return qRed(c) > 100 && qBlue(c) > 100 && qGreen(c) < 80; };

    QVERIFY(CountPixels(image, hexCell(2), red) > 5);      // changed
    QCOMPARE(CountPixels(image, hexCell(2), green), 0);
    QVERIFY(CountPixels(image, hexCell(5), blue) > 5);     // cursor
    QVERIFY(CountPixels(image, hexCell(6), green) > 5);    // plain byte
    QCOMPARE(CountPixels(image, hexCell(6), red), 0);
    QVERIFY(CountPixels(image, charCell(0x41), red) > 5);  // changed 'A'
    QVERIFY(CountPixels(image, charCell(0x42), purple) > 5);
    // The undo stack decides: an undone change is plain again.
    ed.Undo();
    const QImage after = ed.Snapshot();
    QCOMPARE(CountPixels(after, charCell(0x41), red), 0);
    QVERIFY(CountPixels(after, hexCell(2), red) > 5);

    // Text left black on a dark background reads (4.5:1); a chosen colour stays.
    ed.SetColor(RGBToTColor(0x30, 0x30, 0x30));
    ed.SetColorByte(0);
    const QImage dark = ed.Snapshot();
    auto light = [](QRgb c) { return qGray(c) > 0x90; };
    QVERIFY(CountPixels(dark, hexCell(6), light) > 5);
    QVERIFY(CountPixels(dark, charCell(0x42), purple) > 5);
}

void TestHexPaint::cursorBlinks()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 200);
    ed.SetColor(RGBToTColor(255, 255, 255));
    QImage image = ed.Snapshot();
    const TMetrics m(ed);
    // A new control's cursor: under the character of offset 5, two pixels.
    const int x = ed.FCharSeparatorX + 20 + 5 * m.Cell;
    const int y = 10 + m.Height - 2;
    QCOMPARE(ed.FCursorX, x);
    QCOMPARE(ed.FCursorY, y);
    auto underline = [&](const QImage& img, QRgb colour) {
        for (int dx = 0; dx < m.Cell; ++dx)
            for (int dy = 0; dy < 2; ++dy)
                if (img.pixel(x + dx, y + dy) != colour)
                    return false;
        return true;
    };
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    QVERIFY(underline(image, black));

    // On for three steps, off for three.
    const bool expected[] = {true, true, false, false, false, true, true, true, false};
    for (bool on : expected) {
        ed.AnimateCursor();
        QCOMPARE(underline(ed.Snapshot(), on ? black : white), true);
    }
    // A cursor move shows it at once.
    ed.MoveCursor(5);
    QVERIFY(underline(ed.Snapshot(), black));

    ed.SetCursorStyle(1);
    for (int i = 0; i < 6; ++i) {
        ed.AnimateCursor();
        QVERIFY(underline(ed.Snapshot(), black));
    }
}

void TestHexPaint::blinkRepaintsOnlyTheCursor_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("ratio 1") << 1.0;
    QTest::newRow("ratio 2") << 2.0;
}

// A blink asks for a paint of the cursor's strip alone, as the window system
// then delivers it: the strip comes out as a whole paint would draw it, and
// no row is laid out again (the hit list, filled by every row painted,
// stays empty).
void TestHexPaint::blinkRepaintsOnlyTheCursor()
{
    QFETCH(qreal, ratio);
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 200);
    ed.SetColor(RGBToTColor(255, 255, 255));
    ed.SetCursorPanel(0);
    ed.MoveCursor(37);
    auto render = [&] { return RenderImage(ed, ratio, QWidget::RenderFlags()); };
    QImage screen = render();
    for (int blink = 0; blink < 6; ++blink) {
        ed.AnimateCursor();
        const QRect strip(ed.FCursorX, ed.FCursorY, ed.FCursorWidth, 2);
        HitListClear(ed.FHitList.get());
        ed.render(&screen, strip.topLeft(), QRegion(strip), QWidget::RenderFlags());
        QCOMPARE(ed.FHitList->Count, 0);
        QCOMPARE(screen, render());
    }
}

void TestHexPaint::rowHeightChangeEmptiesHitList()
{
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 400);
    ed.Snapshot();
    const int smallRows = ed.VisibleRows();
    const int smallHeight = ed.FRowHeight;
    ed.setFont(TestFont(30));
    const TMetrics big(ed);
    ed.resize(900, 10 + big.Height + big.Height / 2); // room for one big row only
    ed.Snapshot();
    QVERIFY(ed.FRowHeight > smallHeight);
    QCOMPARE(ed.VisibleRows(), 1);
    QVERIFY(smallRows > 4);
    // Where the old small rows were, below the one big row, nothing is found.
    const int y = 10 + ed.FRowHeight + 2;
    for (int x = 0; x < ed.width(); ++x)
        QCOMPARE(ed.GetMouseOffset(x, y), -1);
}

void TestHexPaint::everyPaintedCellIsClickable_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bytesPerLine");
    QTest::newRow("tall: a portrait 4K screen") << QSize(700, 3000) << 16;
    QTest::newRow("wide: 100 bytes a line") << QSize(2600, 80) << 100;
}

void TestHexPaint::everyPaintedCellIsClickable()
{
    QFETCH(QSize, size);
    QFETCH(int, bytesPerLine);
    THexProbe ed;
    ed.setFont(TestFont(10));
    ed.resize(size);
    ed.SetBytes(QByteArray(1 << 16, 0));
    ed.SetBytesPerLine(bytesPerLine);
    ed.Snapshot();
    const TMetrics m(ed);
    const int rows = ed.VisibleRows();
    QVERIFY(rows > 128 || 2 * bytesPerLine > 128); // more than a 128 x 128 table holds

    // The first and last byte cell and the last character cell of the
    // last row painted.
    const int first = (rows - 1) * bytesPerLine;
    const int last = first + bytesPerLine - 1;
    const int y = 10 + (rows - 1) * m.Height + m.Height / 2;
    const int bytesStart = 12 + m.Address + 20;
    const int lastByteX = bytesStart + (bytesPerLine - 1) * m.Byte + (bytesPerLine / 4 - 1) * m.Cell;
    const int lastCharX = ed.FCharSeparatorX + 20 + (bytesPerLine - 1) * m.Cell;
    QCOMPARE(ed.GetMouseOffset(bytesStart, y), first);
    QCOMPARE(ed.GetMouseOffset(lastByteX, y), last);
    QCOMPARE(ed.GetMouseOffset(lastCharX, y), last);
    ed.MouseDown(Qt::LeftButton, Qt::NoModifier, lastByteX, y);
    QCOMPARE(ed.GetCursorOffset(), last);
    QCOMPARE(ed.CursorPanel(), 0);
}

void TestHexPaint::insertCursorAndSelection_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("ratio 1") << 1.0;
    QTest::newRow("ratio 2") << 2.0;
}

// Overwriting, the cursor is a two-pixel underline; inserting, a bar two
// pixels wide across the row, in front of the digit, and nothing under the
// cell. A selection across rows is painted in both panels, the space
// between two selected groups too, in the palette's highlight colours; the
// matches of a find-all are shaded.
void TestHexPaint::insertCursorAndSelection()
{
    QFETCH(qreal, ratio);
    THexProbe ed;
    ed.setFont(TestFont(12));
    ed.resize(640, 200);
    ed.SetColor(RGBToTColor(255, 255, 255));
    ed.SetColorByte(RGBToTColor(0, 160, 0));
    ed.SetColorCursor(RGBToTColor(220, 0, 0));
    ed.SetCursorPanel(0);
    ed.MoveCursor(21);
    auto render = [&] { return RenderImage(ed, ratio, QWidget::RenderFlags()); };
    // Device pixels of a logical rectangle that are (not) `colour`.
    auto count = [&](const QImage& image, const QRect& r, QRgb colour) {
        int n = 0;
        const QRect device = QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect();
        for (int y = device.top(); y <= device.bottom(); ++y)
            for (int x = device.left(); x <= device.right(); ++x)
                n += image.pixel(x, y) == colour;
        return n;
    };
    const QRgb black = qRgb(0, 0, 0);
    QImage image = render();
    const int x = ed.FCursorX, rowTop = ed.FCursorY - ed.FRowHeight + 2, h = ed.FRowHeight;
    const int area = int(2 * ed.FCellWidth * ratio * ratio);
    QCOMPARE(count(image, QRect(x, ed.FCursorY, ed.FCellWidth, 2), black), area);
    QCOMPARE(count(image, QRect(x - 1, rowTop, 2, h - 2), black), 0);

    ed.SetInsertMode(true);
    image = render();
    QCOMPARE(QRect(ed.FCursorX, ed.FCursorY, ed.FCursorWidth, ed.FCursorHeight), QRect(x - 1, rowTop, 2, h));
    QCOMPARE(count(image, QRect(x - 1, rowTop, 2, h), black), int(2 * h * ratio * ratio));
    QCOMPARE(count(image, QRect(x + 1, rowTop + h - 2, ed.FCellWidth - 1, 2), black), 0);
    for (int i = 0; i < 3; ++i) // blinked off: the cell as painted, no bar
        ed.AnimateCursor();
    QCOMPARE(count(render(), QRect(x - 1, rowTop, 2, h), black), 0);

    ed.SetInsertMode(false);
    ed.SetSelection(10, 8); // 10..15 in the first row, 16 and 17 in the second
    image = render();
    const QRgb highlight = ed.palette().color(QPalette::Highlight).rgb();
    const TMetrics m(ed);
    const int bytesStart = 12 + m.Address + 20;
    auto hexCell = [&](int offset, int width) {
        const int i = offset % 16;
        return QRect(bytesStart + i * m.Byte + (i / 4) * m.Cell, 10 + (offset / 16) * m.Height, width, m.Height);
    };
    auto charCell = [&](int offset) {
        return QRect(ed.FCharSeparatorX + 20 + (offset % 16) * m.Cell, 10 + (offset / 16) * m.Height, m.Cell,
                     m.Height);
    };
    for (int offset : {10, 15, 16, 17}) {
        QVERIFY(count(image, hexCell(offset, m.Byte), highlight) > 0);
        QVERIFY(count(image, charCell(offset), highlight) > 0);
    }
    QVERIFY(count(image, hexCell(11, m.Byte + m.Cell), highlight) > m.Cell * m.Height * ratio * ratio);
    for (int offset : {9, 18}) {
        QCOMPARE(count(image, hexCell(offset, m.Byte), highlight), 0);
        QCOMPARE(count(image, charCell(offset), highlight), 0);
    }

    // The matches of a find-all are shaded, in both panels.
    ed.ClearSelection();
    QCOMPARE(ed.FindAll("21 22", THexEditor::smHex, 0), qint64(4));
    image = render();
    const QRgb white = qRgb(255, 255, 255);
    auto corner = [&](const QRect& r) { return image.pixel(int(r.left() * ratio), int(r.top() * ratio)); };
    QVERIFY(corner(hexCell(0x21, m.Byte)) != white && corner(charCell(0x22)) != white);
    QCOMPARE(corner(hexCell(0x23, m.Byte)), white);
    QCOMPARE(corner(charCell(0x20)), white);
}

QTEST_MAIN(TestHexPaint)
#include "tst_hexpaint.moc"
