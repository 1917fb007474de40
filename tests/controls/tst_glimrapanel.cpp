#include "Glimrapanel.h"
#include "Paintimage.h"

#include <QtTest>

#include <climits>

using TColorList = QList<int>;

namespace {

// Colour at inset k on all four sides, sampled at mid-edge positions.
void CheckInset(const QImage& image, int k, TColor expected)
{
    const int w = image.width();
    const int h = image.height();
    const QString where = QStringLiteral("inset %1").arg(k);
    QVERIFY2(PixelAt(image, k, h / 2) == expected, qPrintable(where + " left"));
    QVERIFY2(PixelAt(image, w - 1 - k, h / 2) == expected, qPrintable(where + " right"));
    QVERIFY2(PixelAt(image, w / 2, k) == expected, qPrintable(where + " top"));
    QVERIFY2(PixelAt(image, w / 2, h - 1 - k) == expected, qPrintable(where + " bottom"));
    // Corners of the ring too.
    QVERIFY2(PixelAt(image, k, k) == expected, qPrintable(where + " corner"));
    QVERIFY2(PixelAt(image, w - 1 - k, h - 1 - k) == expected, qPrintable(where + " corner"));
}

constexpr TColor PanelColor = 0x00C080FF;

} // namespace

class TGlimraPanelTest : public QObject
{
    Q_OBJECT

private slots:
    void PanelRings_data();
    void PanelRings();
    void HugeBarWidthKeepsRingLevels();
    void FramePenColourRestored();
    void VertBar_data();
    void VertBar();
    void OutlineCorners();
    void SetterRepaintsEvenWhenUnchanged();
    void WidgetShowsShading();
    void WidgetShowsShading_data();
    void TranslatedPainter();
};

void TGlimraPanelTest::PanelRings_data()
{
    QTest::addColumn<int>("barWidth");
    QTest::addColumn<int>("maxInc");
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::addColumn<TColorList>("rings"); // colour of insets 0, 1, ...
    QTest::addColumn<int>("fillFrom");     // first inset of the fill
    const int S = SentinelColor;           // left untouched

    QTest::newRow("converter panel") << 6 << 150 << 255 << -1 << 0
                                     << TColorList{0x0064FF, 0x0032FF, 0x0000FF, 0x0032FF, 0x0064FF} << 5;
    QTest::newRow("bar width 0") << 0 << 150 << 255 << -1 << 0 << TColorList{} << 0;
    QTest::newRow("bar width 1") << 1 << 150 << 255 << -1 << 0 << TColorList{} << 0;
    QTest::newRow("bar width -4") << -4 << 150 << 255 << -1 << 0 << TColorList{} << 0;
    QTest::newRow("bar width 2") << 2 << 150 << 255 << -1 << 0 << TColorList{0x0000FF} << 1;
    QTest::newRow("bar width 7: inset 5 unpainted")
        << 7 << 150 << 255 << -1 << 0 << TColorList{0x0064FF, 0x0032FF, 0x0000FF, 0x0032FF, 0x0064FF, S} << 6;
    QTest::newRow("bar width 8: step truncated")
        << 8 << 150 << 255 << -1 << 0
        << TColorList{0x006FFF, 0x004AFF, 0x0025FF, 0x0000FF, 0x0025FF, 0x004AFF, 0x006FFF} << 7;
    QTest::newRow("max inc 600: level 400 wraps")
        << 6 << 600 << 255 << -1 << 0 << TColorList{0x0090FF, 0x00C8FF, 0x0000FF, 0x00C8FF, 0x0090FF} << 5;
    QTest::newRow("max inc -150") << 6 << -150 << 255 << -1 << 0
                                  << TColorList{0x009CFF, 0x00CEFF, 0x0000FF, 0x00CEFF, 0x009CFF} << 5;
    QTest::newRow("red 256 is 0") << 6 << 150 << 256 << -1 << 0
                                  << TColorList{0x006400, 0x003200, 0x000000, 0x003200, 0x006400} << 5;
    QTest::newRow("red -2 is 254") << 6 << 150 << -2 << -1 << 0
                                   << TColorList{0x0064FE, 0x0032FE, 0x0000FE, 0x0032FE, 0x0064FE} << 5;
    QTest::newRow("all ramped: grey") << 6 << 150 << -1 << -1 << -1
                                      << TColorList{0x646464, 0x323232, 0x000000, 0x323232, 0x646464} << 5;
    QTest::newRow("none ramped: flat") << 6 << 150 << 10 << 20 << 30
                                       << TColorList{0x1E140A, 0x1E140A, 0x1E140A, 0x1E140A, 0x1E140A} << 5;
}

void TGlimraPanelTest::PanelRings()
{
    QFETCH(int, barWidth);
    QFETCH(int, maxInc);
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    QFETCH(TColorList, rings);
    QFETCH(int, fillFrom);

    TGlimraPanel panel;
    panel.resize(40, 30);
    panel.SetColor(PanelColor);
    panel.SetBarWidth(barWidth);
    panel.SetMaxInc(maxInc);
    panel.SetDoRed(red);
    panel.SetDoGreen(green);
    panel.SetDoBlue(blue);
    const QImage image = PaintImage(40, 30, [&](TCanvas& c) { panel.Paint(c); });

    for (int k = 0; k < rings.size(); ++k)
        CheckInset(image, k, rings[k]);
    for (int k = fillFrom; k < fillFrom + 3; ++k)
        CheckInset(image, k, PanelColor);
    // Centre of the panel is filled as well.
    QCOMPARE(PixelAt(image, 20, 15), PanelColor);
}

void TGlimraPanelTest::HugeBarWidthKeepsRingLevels()
{
    // half = 2^30 - 1, step = 2: the rings that can show are found without
    // walking a billion of them, and keep their levels.
    const QImage image = PaintImage(20, 20, [](TCanvas& c) {
        GradientFrame(c, {0, 0, 20, 20}, INT_MAX, INT_MAX, -1, 0, 0);
    });
    QCOMPARE(PixelAt(image, 0, 10), 0x0000FC); // level 2^31 - 4
    QCOMPARE(PixelAt(image, 1, 10), 0x0000FA);
    QCOMPARE(PixelAt(image, 19, 10), 0x0000FC); // right edge, inset 0
    // The other extremes end without a fault.
    PaintImage(20, 20, [](TCanvas& c) {
        GradientFrame(c, {0, 0, 20, 20}, INT_MIN, INT_MIN, -1, -1, -1);
        GradientFrame(c, {0, 0, INT_MAX, INT_MIN}, -3, INT_MIN, -1, -1, -1);
        GradientFrame(c, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 1000, INT_MAX, -1, -1, -1);
        GradientVertBar(c, INT_MAX, INT_MIN, INT_MAX, INT_MAX, INT_MAX, -1, -1, -1);
        GradientVertBar(c, INT_MIN, 0, 20, INT_MAX, INT_MIN, -1, -1, -1);
    });
}

void TGlimraPanelTest::FramePenColourRestored()
{
    PaintImage(20, 20, [](TCanvas& c) {
        c.SetPenColor(0x010203);
        GradientFrame(c, {0, 0, 20, 20}, 6, 150, -1, -1, -1);
        QCOMPARE(c.PenColor(), 0x010203);
        GradientVertBar(c, 2, 0, 20, 6, 10, -1, -1, -1);
        QCOMPARE(c.PenColor(), 0x010203);
        GradientFrame(c, {0, 0, 20, 20}, 1, 150, -1, -1, -1);
        QCOMPARE(c.PenColor(), 0x010203);
    });
}

void TGlimraPanelTest::VertBar_data()
{
    QTest::addColumn<int>("barWidth");
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("firstColumn");
    QTest::addColumn<TColorList>("columns");
    QTest::newRow("six wide in a 20 gap") << 6 << 20 << 107
                                          << TColorList{0x646464, 0x323232, 0x000000, 0x323232, 0x646464};
    QTest::newRow("gap 0 draws nothing") << 6 << 0 << 107 << TColorList{};
    QTest::newRow("bar width 1 draws nothing") << 1 << 20 << 107 << TColorList{};
    QTest::newRow("bar width 2: the centre only") << 2 << 20 << 109 << TColorList{0x000000};
    QTest::newRow("odd gap truncates") << 4 << 7 << 101 << TColorList{0x4B4B4B, 0x000000, 0x4B4B4B};
}

void TGlimraPanelTest::VertBar()
{
    QFETCH(int, barWidth);
    QFETCH(int, gap);
    QFETCH(int, firstColumn);
    QFETCH(TColorList, columns);
    const int top = 3;
    const int bottom = 17;
    const QImage image = PaintImage(130, 20, [&](TCanvas& c) {
        GradientVertBar(c, 100, top, bottom, barWidth, gap, -1, -1, -1);
    });
    QCOMPARE(CountOther(image, SentinelColor), int(columns.size()) * (bottom - top));
    for (int i = 0; i < columns.size(); ++i) {
        const int x = firstColumn + i;
        QCOMPARE(PixelAt(image, x, top), columns[i]);
        QCOMPARE(PixelAt(image, x, bottom - 1), columns[i]);
        QCOMPARE(PixelAt(image, x, bottom), SentinelColor); // end point left out
        QCOMPARE(PixelAt(image, x, top - 1), SentinelColor);
    }
}

void TGlimraPanelTest::OutlineCorners()
{
    const QImage image = PaintImage(16, 12, [](TCanvas& c) {
        c.SetPenColor(clBlack);
        OutlineRect(c, 2, 3, 10, 8);
    });
    for (const QPoint& p : {QPoint(2, 3), QPoint(10, 3), QPoint(10, 8), QPoint(2, 8)})
        QCOMPARE(PixelAt(image, p.x(), p.y()), clBlack);
    // Exactly the outline of the inclusive rectangle: 2 * (9 + 6) - 4 pixels.
    QCOMPARE(CountOther(image, SentinelColor), 2 * (9 + 6) - 4);
    QCOMPARE(PixelAt(image, 6, 5), SentinelColor);
    QCOMPARE(PixelAt(image, 11, 3), SentinelColor);
}

namespace {
class TPaintCounter : public QObject
{
public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};
} // namespace

void TGlimraPanelTest::SetterRepaintsEvenWhenUnchanged()
{
    TGlimraPanel panel;
    panel.resize(60, 40);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    TPaintCounter counter;
    panel.installEventFilter(&counter);
    const std::function<void()> setters[] = {
        [&] { panel.SetDoRed(panel.DoRed()); },     [&] { panel.SetDoGreen(panel.DoGreen()); },
        [&] { panel.SetDoBlue(panel.DoBlue()); },   [&] { panel.SetMaxInc(panel.MaxInc()); },
        [&] { panel.SetBarWidth(panel.BarWidth()); }, [&] { panel.SetColor(panel.Color()); },
    };
    for (const auto& set : setters) {
        const int before = counter.Count;
        set();
        QCOMPARE(counter.Count, before + 1); // synchronous repaint
    }
}

void TGlimraPanelTest::WidgetShowsShading_data()
{
    // A widget is painted at an offset when it sits below a menu bar in its
    // window; the shading must not move or lose its far edge.
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("at the origin") << QPoint(0, 0);
    QTest::newRow("below a menu bar") << QPoint(0, 21);
    QTest::newRow("right and down") << QPoint(13, 7);
}

void TGlimraPanelTest::WidgetShowsShading()
{
    QFETCH(QPoint, offset);
    TGlimraPanel panel;
    panel.resize(275, 238);
    panel.SetColor(PanelColor);
    QImage image(275 + offset.x(), 238 + offset.y(), QImage::Format_RGB32);
    image.fill(TColorToQColor(SentinelColor));
    panel.render(&image, offset);
    const QImage own = image.copy(QRect(offset, QSize(275, 238)));
    CheckInset(own, 0, 0x0064FF);
    CheckInset(own, 2, 0x0000FF);
    CheckInset(own, 4, 0x0064FF);
    CheckInset(own, 5, PanelColor);
    QCOMPARE(PixelAt(own, 137, 119), PanelColor);
    if (offset.y() > 0)
        QCOMPARE(PixelAt(image, offset.x(), offset.y() - 1), SentinelColor);
}

void TGlimraPanelTest::TranslatedPainter()
{
    const QImage image = PaintImage(40, 40, [](TCanvas& c) {
        c.Painter()->translate(10, 10);
        GradientFrame(c, {0, 0, 20, 20}, 4, 100, -1, -1, -1);
    });
    QCOMPARE(PixelAt(image, 10, 20), 0x323232);    // inset 0
    QCOMPARE(PixelAt(image, 29, 20), 0x323232);    // right edge
    QCOMPARE(PixelAt(image, 20, 29), 0x323232);    // bottom edge
    QCOMPARE(PixelAt(image, 11, 20), 0x000000);    // inset 1
    QCOMPARE(PixelAt(image, 9, 20), SentinelColor); // left of the rect
    QCOMPARE(PixelAt(image, 20, 30), SentinelColor);
}

QTEST_MAIN(TGlimraPanelTest)
#include "tst_glimrapanel.moc"
