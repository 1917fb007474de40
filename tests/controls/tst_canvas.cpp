#include "Canvas.h"
#include "Paintimage.h"

#include <QFontMetrics>
#include <QtTest>

class TCanvasTest : public QObject
{
    Q_OBJECT

private slots:
    void ColourConversion_data();
    void ColourConversion();
    void LineLeavesOutEndPoint_data();
    void LineLeavesOutEndPoint();
    void FillRectIsExclusive();
    void TextOutCell_data();
    void TextOutCell();
};

void TCanvasTest::ColourConversion_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<QColor>("qcolor");
    QTest::newRow("red in the low byte") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("green") << 0x00FF00 << QColor(0, 255, 0);
    QTest::newRow("blue in the third byte") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("panel colour") << 12615935 << QColor(0xFF, 0x80, 0xC0);
}

void TCanvasTest::ColourConversion()
{
    QFETCH(int, color);
    QFETCH(QColor, qcolor);
    QCOMPARE(TColorToQColor(color), qcolor);
    QCOMPARE(QColorToTColor(qcolor), color);
    // The high byte carries nothing.
    QCOMPARE(TColorToQColor(color | 0x7F000000), qcolor);
}

void TCanvasTest::LineLeavesOutEndPoint_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("pixels");
    QTest::newRow("right") << QPoint(2, 5) << QPoint(8, 5) << 6;
    QTest::newRow("left") << QPoint(8, 5) << QPoint(2, 5) << 6;
    QTest::newRow("down") << QPoint(4, 1) << QPoint(4, 9) << 8;
    QTest::newRow("up") << QPoint(4, 9) << QPoint(4, 1) << 8;
    QTest::newRow("diagonal") << QPoint(1, 1) << QPoint(6, 6) << 5;
    QTest::newRow("zero length") << QPoint(3, 3) << QPoint(3, 3) << 0;
}

void TCanvasTest::LineLeavesOutEndPoint()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, pixels);
    const QImage image = PaintImage(12, 12, [&](TCanvas& c) {
        c.SetPenColor(clBlack);
        c.MoveTo(from.x(), from.y());
        c.LineTo(to.x(), to.y());
        QCOMPARE(c.PenPos(), to);
    });
    QCOMPARE(CountOther(image, SentinelColor), pixels);
    if (pixels) {
        QCOMPARE(PixelAt(image, from.x(), from.y()), clBlack);
        QCOMPARE(PixelAt(image, to.x(), to.y()), SentinelColor);
    }
}

void TCanvasTest::FillRectIsExclusive()
{
    const QImage image = PaintImage(10, 10, [](TCanvas& c) {
        c.SetBrushColor(0x00FF00);
        c.FillRect({2, 3, 5, 7});
        c.FillRect({8, 8, 8, 9}); // empty: zero width
        c.FillRect({9, 9, 7, 7}); // reversed: empty
    });
    QCOMPARE(CountOther(image, SentinelColor), 3 * 4);
    QCOMPARE(PixelAt(image, 2, 3), 0x00FF00);
    QCOMPARE(PixelAt(image, 4, 6), 0x00FF00);
    QCOMPARE(PixelAt(image, 5, 6), SentinelColor);
    QCOMPARE(PixelAt(image, 4, 7), SentinelColor);
    // A clear brush fills nothing.
    const QImage clear = PaintImage(10, 10, [](TCanvas& c) {
        c.SetBrushStyle(bsClear);
        c.FillRect({0, 0, 10, 10});
    });
    QCOMPARE(CountOther(clear, SentinelColor), 0);
}

void TCanvasTest::TextOutCell_data()
{
    QTest::addColumn<int>("brushStyle");
    QTest::newRow("solid brush fills the cell") << int(bsSolid);
    QTest::newRow("clear brush leaves the background") << int(bsClear);
}

void TCanvasTest::TextOutCell()
{
    QFETCH(int, brushStyle);
    QSize extent;
    const QImage image = PaintImage(120, 40, [&](TCanvas& c) {
        c.SetBrushStyle(TBrushStyle(brushStyle));
        c.SetBrushColor(clWhite);
        c.SetFontColor(clBlack);
        extent = c.TextExtent("W W");
        c.TextOut(5, 4, "W W");
    });
    const QFontMetrics fm(QFont(), &image);
    QCOMPARE(extent, QSize(fm.horizontalAdvance("W W"), fm.height()));
    // The middle of the space is background of the cell: white when opaque.
    const int spaceX = 5 + fm.horizontalAdvance("W") + fm.horizontalAdvance(" ") / 2;
    QCOMPARE(PixelAt(image, spaceX, 4), brushStyle == bsSolid ? clWhite : SentinelColor);
    // Outside the cell nothing changes.
    QCOMPARE(PixelAt(image, 4, 4), SentinelColor);
    QCOMPARE(PixelAt(image, 5 + extent.width(), 4), SentinelColor);
    QCOMPARE(PixelAt(image, 6, 4 + extent.height()), SentinelColor);
    // Some ink was drawn in the font colour.
    bool ink = false;
    for (int y = 4; y < 4 + extent.height(); ++y)
        for (int x = 5; x < 5 + fm.horizontalAdvance("W"); ++x)
            ink = ink || PixelAt(image, x, y) == clBlack;
    QVERIFY(ink);
}

QTEST_MAIN(TCanvasTest)
#include "tst_canvas.moc"
