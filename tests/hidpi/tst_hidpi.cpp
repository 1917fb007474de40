// Every picture the controls paint, at the device pixel ratios of high-DPI
// screens, against the same picture at ratio 1. The pixel rules are kept in
// logical pixels, so each device pixel must show the logical pixel it lies
// in: at ratio 2 every pixel doubled, at fractional ratios no gap, no seam and
// nothing missing near the far edges. Text is drawn in the colour of its cell
// and without antialiasing here, so that it vanishes: glyphs are drawn afresh
// by the font engine at each ratio, not scaled.
#include "Fmorvic.h"
#include "Glimrapanel.h"
#include "Hexcontrol.h"
#include "Htmllabel.h"
#include "Paintimage.h"
#include "Testenv.h"

#include <QLineEdit>
#include <QtTest>

#include <functional>

using TPicture = std::function<QImage(qreal ratio)>;
Q_DECLARE_METATYPE(TPicture)

namespace {

constexpr TColor kCellColor = 0xE8F0F0;

// Text in kCellColor on kCellColor leaves no trace only without antialiasing.
void HideText(QWidget* widget)
{
    QFont font = widget->font();
    font.setStyleStrategy(QFont::NoAntialias);
    widget->setFont(font);
}

// `widget` rendered inside a parent at an odd offset, as in a window whose
// backing store puts it at a fractional device position.
QImage Hosted(QWidget* widget, qreal ratio)
{
    QWidget host;
    host.resize(widget->width() + 6, widget->height() + 8);
    widget->setParent(&host);
    widget->move(3, 5);
    return RenderImage(host, ratio);
}

QImage HexEditor(qreal ratio)
{
    auto* ed = new THexEditor;
    ed->resize(420, 110);
    ed->SetColor(unsigned(kCellColor));
    for (auto set : {&THexEditor::SetColorByte, &THexEditor::SetColorAscii, &THexEditor::SetColorCursor,
                     &THexEditor::SetColorChange})
        (ed->*set)(unsigned(kCellColor));
    ed->SetBarWidth(7);
    ed->SetBaseOffset(0); // no address column: its text has no colour of its own
    HideText(ed);
    ed->SetCursorOffset(21); // its underline is drawn by the pen
    return Hosted(ed, ratio);
}

QImage MarkupLabel(qreal ratio)
{
    auto* label = new THtmlLabel;
    label->resize(97, 23);
    label->SetColor(kCellColor);
    label->SetFontColor(kCellColor);
    HideText(label);
    label->SetCaptionText("<b>Bold</b> and <u>under</u><i>lined</i>");
    return Hosted(label, ratio);
}

QImage Panel(qreal ratio)
{
    auto* panel = new TGlimraPanel;
    panel->resize(41, 29);
    panel->SetBarWidth(7); // leaves a ring unpainted
    panel->SetColor(kCellColor);
    return Hosted(panel, ratio);
}

// The converter window's background panel without its children, and its swatch.
QImage Converter(qreal ratio, const char* name)
{
    TFormMorvic form;
    form.findChild<QLineEdit*>("EditInspectHex")->setText("c08040");
    return RenderImage(*form.findChild<QWidget*>(name), ratio, QWidget::DrawWindowBackground);
}

// The canvas's own shapes: slanted lines in every direction, ellipses,
// rectangles, one-pixel outlines, a shaded bar and a text cell.
QImage Shapes(qreal ratio)
{
    return PaintImage(
        64, 40,
        [](TCanvas& c) {
            c.SetPenColor(0x0000C0);
            for (const QPoint& to : {QPoint(30, 3), QPoint(24, 38), QPoint(2, 30), QPoint(5, 1)}) {
                c.MoveTo(14, 17);
                c.LineTo(to.x(), to.y());
            }
            c.SetBrushColor(0x40A0F0);
            c.Ellipse(30, 2, 45, 13);
            c.SetBrushStyle(bsClear);
            c.Ellipse(46, 3, 63, 24);
            c.SetBrushStyle(bsSolid);
            c.Rectangle(31, 16, 40, 23);
            OutlineRect(c, 32, 26, 44, 37);
            GradientVertBar(c, 44, 25, 39, 6, 11, -1, 200, 20);
            c.SetBrushColor(kCellColor);
            c.SetFontColor(kCellColor);
            QFont font = c.Font();
            font.setStyleStrategy(QFont::NoAntialias);
            c.SetFont(font);
            c.TextOut(2, 31, "Wj");
        },
        SentinelColor, ratio);
}

} // namespace

class TTestHighDpi : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FConfigHome;

private slots:
    void ScaledPictureShowsLogicalPixels_data()
    {
        QTest::addColumn<TPicture>("picture");
        QTest::addColumn<qreal>("ratio");
        const QList<QPair<const char*, TPicture>> pictures = {
            {"converter panel", [](qreal r) { return Converter(r, "GlimraPanel1"); }},
            {"converter swatch", [](qreal r) { return Converter(r, "PanelRGB"); }},
            {"gradient panel", Panel},
            {"mark-up label", MarkupLabel},
            {"hex editor", HexEditor},
            {"canvas shapes", Shapes},
        };
        for (const auto& [name, picture] : pictures)
            for (qreal ratio : {1.25, 1.5, 2.0})
                QTest::addRow("%s at %g", name, ratio) << picture << ratio;
    }

    void ScaledPictureShowsLogicalPixels()
    {
        QFETCH(TPicture, picture);
        QFETCH(qreal, ratio);
        const QImage logical = picture(1);
        const QImage scaled = picture(ratio);
        const QString mismatch = CompareScaled(logical, scaled);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }
};

QTEST_MAIN(TTestHighDpi)
#include "tst_hidpi.moc"
