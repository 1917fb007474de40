#include "Glimrapanel.h"

#include "Controlsaccessible.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// Coordinates are computed in 64 bits and clamped back, so no argument can
// overflow the arithmetic; clamped coordinates lie far outside any device.
int Clamp(long long v)
{
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

int Channel(int value, std::uint32_t level)
{
    return int((value == -1 ? level : static_cast<std::uint32_t>(value)) & 0xFF);
}

// Pen colour save/restore for the shaded routines.
class TPenColorKeeper
{
public:
    explicit TPenColorKeeper(TCanvas& canvas) : FCanvas(canvas), FColor(canvas.PenColor()) {}
    ~TPenColorKeeper() { FCanvas.SetPenColor(FColor); }
    TPenColorKeeper(const TPenColorKeeper&) = delete;
    TPenColorKeeper& operator=(const TPenColorKeeper&) = delete;

private:
    TCanvas& FCanvas;
    TColor FColor;
};

} // namespace

TColor GradientColor(int index, int step, int red, int green, int blue)
{
    // A 32-bit product whose low byte is all that is used; unsigned so that
    // large values wrap instead of overflowing.
    const std::uint32_t level = static_cast<std::uint32_t>(index) * static_cast<std::uint32_t>(step);
    return RGBToTColor(Channel(red, level), Channel(green, level), Channel(blue, level));
}

void OutlineRect(TCanvas& canvas, int x1, int y1, int x2, int y2)
{
    canvas.MoveTo(x1, y1);
    canvas.LineTo(x2, y1);
    canvas.LineTo(x2, y2);
    canvas.LineTo(x1, y2);
    canvas.LineTo(x1, y1);
}

namespace {

// Closed interval of 64-bit integers; empty when First > Last.
struct TSpan
{
    long long First;
    long long Last;
};

bool InSpans(long long k, const std::vector<TSpan>& spans)
{
    for (const TSpan& s : spans)
        if (s.First <= k && k <= s.Last)
            return true;
    return false;
}

// The values i in [0, count) with from + sign * i inside one of the spans,
// merged into increasing, non-overlapping spans.
void AddIndexSpans(std::vector<TSpan>& out, const std::vector<TSpan>& spans, long long from, int sign, long long count)
{
    for (const TSpan& s : spans) {
        long long lo = sign > 0 ? s.First - from : from - s.Last;
        long long hi = sign > 0 ? s.Last - from : from - s.First;
        lo = std::max<long long>(lo, 0);
        hi = std::min<long long>(hi, count - 1);
        if (lo <= hi)
            out.push_back({lo, hi});
    }
}

std::vector<TSpan> Merge(std::vector<TSpan> spans)
{
    std::sort(spans.begin(), spans.end(), [](const TSpan& a, const TSpan& b) { return a.First < b.First; });
    std::vector<TSpan> merged;
    for (const TSpan& s : spans) {
        if (!merged.empty() && s.First <= merged.back().Last + 1)
            merged.back().Last = std::max(merged.back().Last, s.Last);
        else
            merged.push_back(s);
    }
    return merged;
}

} // namespace

void GradientFrame(TCanvas& canvas, const TRect& rect, int barWidth, int maxInc, int red, int green, int blue)
{
    TPenColorKeeper keeper(canvas);
    const int half = barWidth / 2;
    if (half <= 0 || !canvas.CanDraw()) // half <= 0 also keeps the division below safe
        return;
    const int step = maxInc / half;

    // The ring at inset k consists of lines on columns k and Right - k - 1
    // and rows k and Bottom - k - 1, so it can only reach a pixel when one of
    // those lies in the visible area. Only the rings that can are drawn, in
    // the same order as the full loop would draw them, so an enormous bar
    // width costs no more than the device is large and the picture is the
    // same.
    const QRect v = canvas.VisibleArea();
    const long long right = rect.Right;
    const long long bottom = rect.Bottom;
    const std::vector<TSpan> visibleInsets = {
        {v.left(), v.right()},
        {v.top(), v.bottom()},
        {right - 1 - v.right(), right - 1 - v.left()},
        {bottom - 1 - v.bottom(), bottom - 1 - v.top()},
    };
    std::vector<TSpan> indices;
    AddIndexSpans(indices, visibleInsets, half - 1, -1, half); // outer rings
    AddIndexSpans(indices, visibleInsets, half - 1, +1, half); // inner rings

    for (const TSpan& span : Merge(indices)) {
        for (long long i = span.First; i <= span.Last; ++i) {
            canvas.SetPenColor(GradientColor(int(i), step, red, green, blue));
            const long long outer = half - 1 - i;
            if (InSpans(outer, visibleInsets))
                OutlineRect(canvas, Clamp(outer), Clamp(outer), Clamp(right - outer - 1), Clamp(bottom - outer - 1));
            const long long inner = half - 1 + i;
            if (InSpans(inner, visibleInsets))
                OutlineRect(canvas, Clamp(inner), Clamp(inner), Clamp(right - inner - 1), Clamp(bottom - inner - 1));
        }
    }
}

void GradientVertBar(TCanvas& canvas, int x, int top, int bottom, int barWidth, int gap, int red, int green,
                     int blue)
{
    TPenColorKeeper keeper(canvas);
    const int half = barWidth / 2;
    if (gap == 0 || half <= 0 || !canvas.CanDraw())
        return;
    const long long centre = static_cast<long long>(x) + gap / 2 - 1;
    const int step = 150 / half;

    // Columns centre - i and centre + i meet only at i = 0, where both have
    // the same colour, so each side can be drawn on its own; only columns
    // inside the visible area are visited.
    const QRect v = canvas.VisibleArea();
    const std::vector<TSpan> visibleColumns = {{v.left(), v.right()}};
    for (int sign : {-1, +1}) {
        std::vector<TSpan> indices;
        AddIndexSpans(indices, visibleColumns, centre, sign, half);
        for (const TSpan& span : indices) {
            for (long long i = span.First; i <= span.Last; ++i) {
                canvas.SetPenColor(GradientColor(int(i), step, red, green, blue));
                const int column = Clamp(centre + sign * i);
                canvas.MoveTo(column, top);
                canvas.LineTo(column, bottom);
            }
        }
    }
}

TGlimraPanel::TGlimraPanel(QWidget* parent) : QWidget(parent)
{
    InstallControlsAccessibility();
    FColor = QColorToTColor(palette().color(QPalette::Window));
}

void TGlimraPanel::SetColor(TColor value)
{
    FColor = value;
    repaint();
}

void TGlimraPanel::SetDoRed(int value)
{
    FDoRed = value;
    repaint();
}

void TGlimraPanel::SetDoGreen(int value)
{
    FDoGreen = value;
    repaint();
}

void TGlimraPanel::SetDoBlue(int value)
{
    FDoBlue = value;
    repaint();
}

void TGlimraPanel::SetMaxInc(int value)
{
    FMaxInc = value;
    repaint();
}

void TGlimraPanel::SetBarWidth(int value)
{
    FBarWidth = value;
    repaint();
}

void TGlimraPanel::Paint(TCanvas& canvas)
{
    const TRect client = ClientRect(this);
    GradientFrame(canvas, client, FBarWidth, FMaxInc, FDoRed, FDoGreen, FDoBlue);
    canvas.SetBrushColor(FColor);
    const long long inset = static_cast<long long>(FBarWidth) - 1;
    canvas.FillRect({Clamp(inset), Clamp(inset), Clamp(client.Right - inset), Clamp(client.Bottom - inset)});
}

void TGlimraPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}
