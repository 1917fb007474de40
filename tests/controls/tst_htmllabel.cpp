#include "Htmllabel.h"
#include "Paintimage.h"

#include <QFontMetrics>
#include <QSignalSpy>
#include <QtTest>

namespace {

// One text-out of a pass, with the font it was drawn in.
struct TDrawn
{
    QByteArray Text;
    int X;
    int Y;
    TFontStyles Style;
    TColor Color;
};

// Records every run and space a pass draws; runs containing "TALL" measure
// 50 pixels high so the line-advance rule can be seen with any font.
class TRecordingLabel : public THtmlLabel
{
public:
    QList<TDrawn> Drawn;

    TRecordingLabel() = default;
    TRecordingLabel(int w, int h, const QByteArray& caption) { resize(w, h); SetCaptionText(caption); }

    QList<TDrawn> DrawPass()
    {
        Drawn.clear();
        PaintImage(qMax(1, width()), qMax(1, height()), [this](TCanvas& c) { Paint(c); });
        return Drawn;
    }
    // The runs only, spaces left out.
    QList<TDrawn> Runs()
    {
        QList<TDrawn> runs;
        for (const TDrawn& d : DrawPass())
            if (d.Text != " ")
                runs << d;
        return runs;
    }

protected:
    QSize MeasureText(TCanvas& canvas, const QByteArray& text) override
    {
        const QSize size = THtmlLabel::MeasureText(canvas, text);
        return text.contains("TALL") ? QSize(size.width(), 50) : size;
    }
    void DrawText(TCanvas& canvas, int x, int y, const QByteArray& text) override
    {
        Drawn << TDrawn{text, x, y, canvas.FontStyle(), canvas.FontColor()};
        THtmlLabel::DrawText(canvas, x, y, text);
    }
};

// Widths measured by the test itself, in the label's font.
int W(const QByteArray& text, TFontStyles style = 0)
{
    QFont font = THtmlLabel().font();
    font.setBold(style & fsBold);
    font.setItalic(style & fsItalic);
    return QFontMetrics(font).horizontalAdvance(QString::fromLatin1(text));
}

int H()
{
    return QFontMetrics(THtmlLabel().font()).height();
}

} // namespace

class THtmlLabelTest : public QObject
{
    Q_OBJECT

private slots:
    void Extent_data();
    void Extent();
    void SpacesAndSplitRuns();
    void TagCaseAndUnknownTags_data();
    void TagCaseAndUnknownTags();
    void ColourSlot_data();
    void ColourSlot();
    void ClosingTagRemovesFontStyle();
    void Alignment_data();
    void Alignment();
    void ResizeAloneKeepsLineStart();
    void Wrap();
    void WrapRightJustifiedStartsLeftOfEdge();
    void TallRunRaisesLaterWraps();
    void AutoSize();
    void FontChangeResizes();
    void LongCaptionIsCut();
    void PaintsOpaqueCells();
    void ClickSignals();
};

void THtmlLabelTest::Extent_data()
{
    QTest::addColumn<QByteArray>("caption");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const int h = H();
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("one word") << QByteArray("Hello") << W("Hello") << h;
    QTest::newRow("spaces are not counted") << QByteArray("  one  two ") << W("one") + W("two") << h;
    QTest::newRow("tag splits a word") << QByteArray("ab<b>cd") << W("ab") + W("cd", fsBold) << h;
    QTest::newRow("capital tags") << QByteArray("<B>ab</B>cd<I>ef</i>")
                                  << W("ab", fsBold) + W("cd") + W("ef", fsItalic) << h;
    QTest::newRow("unknown tag is text") << QByteArray("a<x>b") << W("a<x>b") << h;
    QTest::newRow("tag needs its closing bracket") << QByteArray("<bold>") << W("<bold>") << h;
    QTest::newRow("tags only") << QByteArray("<b></b><blue></blue>") << 0 << 0;
    QTest::newRow("tab and line feed are run characters") << QByteArray("a\tb\nc") << W("a\tb\nc") << h;
}

void THtmlLabelTest::Extent()
{
    QFETCH(QByteArray, caption);
    QFETCH(int, width);
    QFETCH(int, height);
    THtmlLabel label;
    label.SetCaptionText(caption);
    QSize extent(-1, -1);
    label.GetExtent(&extent);
    QCOMPARE(extent, QSize(width, height));
}

void THtmlLabelTest::SpacesAndSplitRuns()
{
    TRecordingLabel label(300, 40, "  ab  c<b>d");
    const QList<TDrawn> drawn = label.DrawPass();
    // No space before the first run; both spaces after it are placed.
    QCOMPARE(drawn.size(), 5);
    QCOMPARE(drawn[0].Text, QByteArray("ab"));
    QCOMPARE(drawn[0].X, 0);
    QCOMPARE(drawn[1].Text, QByteArray(" "));
    QCOMPARE(drawn[1].X, W("ab"));
    QCOMPARE(drawn[2].X, W("ab") + W(" "));
    QCOMPARE(drawn[3].Text, QByteArray("c"));
    QCOMPARE(drawn[3].X, W("ab") + 2 * W(" "));
    // The tag splits "cd": "d" follows "c" with no gap, in bold.
    QCOMPARE(drawn[4].Text, QByteArray("d"));
    QCOMPARE(drawn[4].X, drawn[3].X + W("c"));
    QCOMPARE(drawn[4].Style, TFontStyles(fsBold));
    QCOMPARE(drawn[3].Style, TFontStyles(0));
}

void THtmlLabelTest::TagCaseAndUnknownTags_data()
{
    QTest::addColumn<QByteArray>("caption");
    QTest::addColumn<QList<QByteArray>>("texts");
    QTest::addColumn<QList<int>>("styles");
    using B = QList<QByteArray>;
    using S = QList<int>;
    QTest::newRow("bold capital") << QByteArray("<B>x</b>y") << B{"x", "y"} << S{fsBold, 0};
    QTest::newRow("strike-out closed in capitals")
        << QByteArray("<strike>x</STRIKE>y") << B{"x", "y"} << S{fsStrikeOut, 0};
    QTest::newRow("mixed case") << QByteArray("<HyPeR>x</hYpEr>y") << B{"x", "y"} << S{fsUnderline, 0};
    QTest::newRow("underline and italic") << QByteArray("<u><i>x</U>y</I>z") << B{"x", "y", "z"}
                                          << S{fsUnderline | fsItalic, fsItalic, 0};
    QTest::newRow("no nesting count") << QByteArray("<b><b>x</b>y") << B{"x", "y"} << S{fsBold, 0};
    QTest::newRow("hyper ends an underline of <u>") << QByteArray("<u>x</hyper>y") << B{"x", "y"}
                                                    << S{fsUnderline, 0};
    QTest::newRow("unknown tags are text") << QByteArray("a<bb>b <span>c</p>")
                                           << B{"a<bb>b", "<span>c</p>"} << S{0, 0};
    QTest::newRow("tag with a space is text") << QByteArray("<b >x") << B{"<b", ">x"} << S{0, 0};
}

void THtmlLabelTest::TagCaseAndUnknownTags()
{
    QFETCH(QByteArray, caption);
    QFETCH(QList<QByteArray>, texts);
    QFETCH(QList<int>, styles);
    TRecordingLabel label(400, 40, caption);
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs.size(), texts.size());
    for (int i = 0; i < runs.size(); ++i) {
        QCOMPARE(runs[i].Text, texts[i]);
        QCOMPARE(runs[i].Style, TFontStyles(styles[i]));
    }
}

void THtmlLabelTest::ColourSlot_data()
{
    QTest::addColumn<QByteArray>("caption");
    QTest::addColumn<QList<int>>("colors");
    const int red = 0x0000FF;
    QTest::newRow("blue and back") << QByteArray("a<blue>b</blue>c") << QList<int>{red, clBlue, red};
    QTest::newRow("hyper and back") << QByteArray("a<hyper>b</hyper>c") << QList<int>{red, clBlue, red};
    QTest::newRow("hyper inside blue saves blue")
        << QByteArray("<blue>a<hyper>b</hyper>c</blue>d") << QList<int>{clBlue, clBlue, clBlue, clBlue};
    QTest::newRow("closing without opening keeps the font colour")
        << QByteArray("a</blue>b</hyper>c") << QList<int>{red, red, red};
}

void THtmlLabelTest::ColourSlot()
{
    QFETCH(QByteArray, caption);
    QFETCH(QList<int>, colors);
    TRecordingLabel label(400, 40, caption);
    label.SetFontColor(0x0000FF);
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs.size(), colors.size());
    for (int i = 0; i < runs.size(); ++i)
        QCOMPARE(runs[i].Color, colors[i]);
    // Every pass starts again from the control's font colour.
    QCOMPARE(label.Runs().first().Color, colors.first());
}

void THtmlLabelTest::ClosingTagRemovesFontStyle()
{
    TRecordingLabel label;
    label.resize(400, 40);
    QFont font = label.font();
    font.setBold(true);
    label.setFont(font);
    label.SetCaptionText("a</b>b");
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].Style, TFontStyles(fsBold));
    QCOMPARE(runs[1].Style, TFontStyles(0));
    // The next pass starts bold again.
    QCOMPARE(label.Runs()[0].Style, TFontStyles(fsBold));
}

void THtmlLabelTest::Alignment_data()
{
    // The width is given relative to the text's measured width (e.g. a text
    // of 41 in a control of 100 is "+59", in a control of 30 is "-11").
    QTest::addColumn<int>("slack");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("autoSize");
    QTest::addColumn<int>("lineStart");
    QTest::newRow("left") << 59 << int(THtmlLabel::taLeftJustify) << 0 << 0;
    QTest::newRow("right, wider") << 59 << int(THtmlLabel::taRightJustify) << 0 << 59;
    QTest::newRow("centre, wider") << 59 << int(THtmlLabel::taCenter) << 0 << 29;
    QTest::newRow("centre, narrower truncates toward zero") << -11 << int(THtmlLabel::taCenter) << 0 << -5;
    QTest::newRow("right, narrower") << -11 << int(THtmlLabel::taRightJustify) << 0 << -11;
    QTest::newRow("left, narrower") << -11 << int(THtmlLabel::taLeftJustify) << 0 << 0;
    QTest::newRow("right with auto size") << 59 << int(THtmlLabel::taRightJustify) << 1 << 0;
    QTest::newRow("centre with auto size") << -11 << int(THtmlLabel::taCenter) << 1 << 0;
}

void THtmlLabelTest::Alignment()
{
    QFETCH(int, slack);
    QFETCH(int, alignment);
    QFETCH(int, autoSize);
    QFETCH(int, lineStart);
    TRecordingLabel label(W("Align") + W("me") + slack, 20, "Align me");
    label.SetAlignment(THtmlLabel::TAlignment(alignment));
    label.SetAutoSize1(autoSize);
    QCOMPARE(label.LineStart(), lineStart);
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs[0].X, lineStart);
    QCOMPARE(runs[1].X, lineStart + W("Align") + W(" "));
    // A value outside the three keeps the line start it had.
    label.SetAlignment(THtmlLabel::TAlignment(7));
    QCOMPARE(label.LineStart(), lineStart);
}

void THtmlLabelTest::ResizeAloneKeepsLineStart()
{
    THtmlLabel label;
    label.resize(W("x") + 40, 20);
    label.SetCaptionText("x");
    label.SetAlignment(THtmlLabel::taRightJustify);
    QCOMPARE(label.LineStart(), 40);
    label.resize(W("x") + 10, 20);
    QCOMPARE(label.LineStart(), 40);
    label.SetWordWrap1(0); // any of the measured settings recomputes it
    QCOMPARE(label.LineStart(), 10);
}

void THtmlLabelTest::Wrap()
{
    TRecordingLabel label;
    const int h = H();
    // "aaa bbb" fits exactly (the wrap needs pen + run > Width).
    label.resize(W("aaa") + W(" ") + W("bbb"), 3 * h);
    label.SetCaptionText("aaa bbb ccc<b>dd</b> eeeeeeeeeeeeeeeeeeeeeeeeeeee");
    label.SetWordWrap1(1);
    QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs.size(), 5);
    QCOMPARE(runs[1].Text, QByteArray("bbb"));
    QCOMPARE(runs[1].Y, 0);
    // A space is never a wrap point: "ccc" moves down as a whole run...
    QCOMPARE(runs[2].Text, QByteArray("ccc"));
    QCOMPARE(QPoint(runs[2].X, runs[2].Y), QPoint(0, h));
    // ...the part of the word after the tag stays beside it when it fits...
    QCOMPARE(QPoint(runs[3].X, runs[3].Y), QPoint(W("ccc"), h));
    // ...and a run wider than the control gets a line of its own, unbroken.
    QCOMPARE(runs[4].Text, QByteArray("eeeeeeeeeeeeeeeeeeeeeeeeeeee"));
    QCOMPARE(QPoint(runs[4].X, runs[4].Y), QPoint(0, 2 * h));

    // A word split by a tag wraps at the tag when the second part overflows.
    label.resize(W("ccc") + 1, 3 * h);
    label.SetCaptionText("ccc<b>dd");
    runs = label.Runs();
    QCOMPARE(QPoint(runs[1].X, runs[1].Y), QPoint(0, h));

    // The first run never wraps: the line height is still 0.
    label.resize(1, 3 * h);
    label.SetCaptionText("wide");
    runs = label.Runs();
    QCOMPARE(QPoint(runs[0].X, runs[0].Y), QPoint(0, 0));

    // Without word wrap everything stays on one line.
    label.SetCaptionText("aaa bbb ccc");
    label.SetWordWrap1(0);
    for (const TDrawn& run : label.Runs())
        QCOMPARE(run.Y, 0);
}

void THtmlLabelTest::WrapRightJustifiedStartsLeftOfEdge()
{
    const int width = W("aaa") + W(" ") + W("bbb");
    TRecordingLabel label(width, 40, "aaa bbb ccc");
    label.SetWordWrap1(1);
    label.SetAlignment(THtmlLabel::taRightJustify);
    const int start = width - (W("aaa") + W("bbb") + W("ccc"));
    QVERIFY(start < 0);
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs[0].X, start);
    // Every line begins at the same negative x.
    for (const TDrawn& run : runs)
        if (run.Y > 0)
            QCOMPARE(run.X, start);
}

void THtmlLabelTest::TallRunRaisesLaterWraps()
{
    const int h = H();
    QVERIFY(h < 50);
    TRecordingLabel label(W("TALL") + W(" ") + W("bb"), 300, "aaaa TALL bb cc dd eeeeeeeeee");
    label.SetWordWrap1(1);
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs.size(), 6);
    QVERIFY(W("cc") + W(" ") + W("dd") <= label.width());
    // "TALL" wraps with the advance known so far; it then raises the advance
    // for every later wrap in the pass, on later lines too.
    QCOMPARE(runs[1].Y, h);
    QCOMPARE(runs[2].Y, h); // "bb" beside "TALL"
    QCOMPARE(runs[3].Y, h + 50);
    QCOMPARE(runs[4].Y, h + 50); // "dd" beside "cc"
    QCOMPARE(runs[5].Y, h + 100);
    QSize extent;
    label.GetExtent(&extent);
    QCOMPARE(extent.height(), 50);
}

void THtmlLabelTest::AutoSize()
{
    TRecordingLabel label;
    label.SetAutoSize1(1);
    QCOMPARE(label.size(), QSize(0, 0)); // empty caption
    label.SetCaptionText("one two");
    QCOMPARE(label.size(), QSize(W("one") + W("two"), H()));
    // The second word is still placed after the space, past the right edge.
    const QList<TDrawn> runs = label.Runs();
    QCOMPARE(runs[1].X + W("two"), label.width() + W(" "));
}

void THtmlLabelTest::FontChangeResizes()
{
    THtmlLabel label;
    label.SetCaptionText("Grow");
    label.SetAutoSize1(1);
    QFont font = label.font();
    font.setPointSize(font.pointSize() * 3);
    label.setFont(font);
    const QFontMetrics fm(font);
    QCOMPARE(label.size(), QSize(fm.horizontalAdvance("Grow"), fm.height()));
}

void THtmlLabelTest::LongCaptionIsCut()
{
    THtmlLabel label;
    const QByteArray caption = QByteArray(1030, 'x');
    label.SetCaptionText(caption);
    QCOMPARE(label.CaptionText(), caption); // the caption itself is kept
    QSize extent;
    label.GetExtent(&extent);
    QCOMPARE(extent.width(), W(QByteArray(1023, 'x')));
    // A tag straddling the cut is not a tag any more.
    label.SetCaptionText(QByteArray(1021, 'x') + "<b>y");
    label.GetExtent(&extent);
    QCOMPARE(extent.width(), W(QByteArray(1021, 'x') + "<b"));
    // One that ends exactly at the cut still counts.
    label.SetCaptionText(QByteArray(1020, 'x') + "<b>y");
    label.GetExtent(&extent);
    QCOMPARE(extent.width(), W(QByteArray(1020, 'x')));
}

void THtmlLabelTest::PaintsOpaqueCells()
{
    THtmlLabel label;
    label.resize(120, 30);
    label.SetColor(0x00FF00);
    label.SetFontColor(clBlack);
    label.SetCaptionText("");
    QImage image = PaintImage(120, 30, [&](TCanvas& c) { label.Paint(c); });
    QCOMPARE(CountOther(image, 0x00FF00), 0); // background only

    label.SetCaptionText("<blue>Ink</blue> ink");
    image = PaintImage(120, 30, [&](TCanvas& c) { label.Paint(c); });
    int blue = 0;
    int black = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            const TColor p = PixelAt(image, x, y);
            const QColor q = TColorToQColor(p);
            // Text is antialiased: count clearly blue and clearly dark ink.
            blue += q.blue() > 160 && q.green() < 100 && q.red() < 100;
            black += q.blue() < 60 && q.green() < 60 && q.red() < 60;
        }
    QVERIFY(blue > 0);
    QVERIFY(black > 0);
    // Cells are filled with the control's colour, nothing of the sentinel shows.
    QCOMPARE(PixelAt(image, W("Ink") + W(" ") / 2, 1), 0x00FF00);
    QVERIFY(image.pixelColor(119, 29) == TColorToQColor(0x00FF00));
    QCOMPARE(CountOther(image, SentinelColor), 120 * 30);
}

void THtmlLabelTest::ClickSignals()
{
    THtmlLabel label;
    label.resize(40, 20);
    QSignalSpy down(&label, &THtmlLabel::OnMouseDown);
    QSignalSpy click(&label, &THtmlLabel::OnClick);
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    QCOMPARE(down.size(), 1);
    QCOMPARE(down[0][0].value<QObject*>(), &label);
    QCOMPARE(down[0][3].toInt(), 5);
    QCOMPARE(down[0][4].toInt(), 6);
    QCOMPARE(click.size(), 1);
}

QTEST_MAIN(THtmlLabelTest)
#include "tst_htmllabel.moc"
