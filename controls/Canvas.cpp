#include "Canvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// A pixel count worked out in 64 bits, capped to fit an int.
int Capped(long long length)
{
    return int(std::min<long long>(length, INT_MAX));
}

} // namespace

QColor TColorToQColor(TColor color)
{
    const auto c = static_cast<std::uint32_t>(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor QColorToTColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return RGBToTColor(rgb.red(), rgb.green(), rgb.blue());
}

TRect ClientRect(const QWidget* widget)
{
    return {0, 0, widget->width(), widget->height()};
}

TCanvas::TCanvas(QPainter& painter) : FPainter(&painter), FDevice(painter.device())
{
    FPainter->setRenderHint(QPainter::Antialiasing, false);
    FPainter->setRenderHint(QPainter::TextAntialiasing, true);
    FFont = FPainter->font();
}

TCanvas::TCanvas(const QPaintDevice* device) : FDevice(device)
{
}

void TCanvas::SetFont(const QFont& font)
{
    FFont = font;
}

TFontStyles TCanvas::FontStyle() const
{
    TFontStyles s = 0;
    if (FFont.bold())
        s |= fsBold;
    if (FFont.italic())
        s |= fsItalic;
    if (FFont.underline())
        s |= fsUnderline;
    if (FFont.strikeOut())
        s |= fsStrikeOut;
    return s;
}

void TCanvas::SetFontStyle(TFontStyles style)
{
    FFont.setBold(style & fsBold);
    FFont.setItalic(style & fsItalic);
    FFont.setUnderline(style & fsUnderline);
    FFont.setStrikeOut(style & fsStrikeOut);
}

QRect TCanvas::VisibleArea() const
{
    if (!FPainter || !FPainter->isActive())
        return {};
    // The pixels the painter can reach are those of the surface its engine
    // draws on (for a widget, its window's backing store), narrowed by the
    // system clip (the widget's own part of that surface, or the part being
    // repainted) and by any clip set on the painter. The surface and the
    // system clip count device pixels; the device transform (the device pixel
    // ratio, a widget's offset in its window) takes them back to logical
    // coordinates. The painted device's own size is no help here: a widget
    // reports it in logical pixels, an image in device pixels.
    const QPaintEngine* engine = FPainter->paintEngine();
    const QPaintDevice* surface = engine ? engine->paintDevice() : nullptr;
    if (!surface)
        return {};
    bool invertible = true;
    const QTransform toLogical = FPainter->deviceTransform().inverted(&invertible);
    if (!invertible)
        return {};
    QRectF pixels(0, 0, surface->width(), surface->height());
    const QRegion systemClip = engine->systemClip();
    if (!systemClip.isEmpty())
        pixels = pixels.intersected(QRectF(systemClip.boundingRect()));
    // Every logical pixel that covers part of a reachable device pixel.
    QRect area = toLogical.mapRect(pixels).toAlignedRect();
    if (FPainter->hasClipping())
        area = area.intersected(FPainter->clipBoundingRect().toAlignedRect());
    return area;
}

// Every pixel run goes through here, clipped to the visible area first so
// that far-off coordinates never reach QRect arithmetic.
void TCanvas::FillPixels(int x, int y, int w, int h, TColor color)
{
    if (!FPainter || w <= 0 || h <= 0)
        return;
    const QRect visible = VisibleArea().adjusted(-1, -1, 1, 1);
    const long long x1 = std::max<long long>(x, visible.left());
    const long long y1 = std::max<long long>(y, visible.top());
    const long long x2 = std::min<long long>(static_cast<long long>(x) + w, static_cast<long long>(visible.right()) + 1);
    const long long y2 = std::min<long long>(static_cast<long long>(y) + h, static_cast<long long>(visible.bottom()) + 1);
    if (x1 >= x2 || y1 >= y2)
        return;
    FPainter->fillRect(QRect(int(x1), int(y1), int(x2 - x1), int(y2 - y1)), TColorToQColor(color));
}

// Pixels (x1, y1) .. (x2, y2) inclusive, the corners in either order; the
// pen's rows and columns are runs with x1 == x2 or y1 == y2.
void TCanvas::PixelRun(int x1, int y1, int x2, int y2, TColor color)
{
    const int left = std::min(x1, x2);
    const int top = std::min(y1, y2);
    FillPixels(left, top, Capped(static_cast<long long>(std::max(x1, x2)) - left + 1),
               Capped(static_cast<long long>(std::max(y1, y2)) - top + 1), color);
}

void TCanvas::MoveTo(int x, int y)
{
    FPenPos = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y)
{
    const QPoint from = FPenPos;
    FPenPos = QPoint(x, y);
    if (!FPainter || FPenStyle == psClear || from == FPenPos)
        return;

    if (from.y() == y) {
        PixelRun(from.x(), y, x > from.x() ? x - 1 : x + 1, y, FPenColor);
        return;
    }
    if (from.x() == x) {
        PixelRun(x, from.y(), x, y > from.y() ? y - 1 : y + 1, FPenColor);
        return;
    }

    // Slanted line: Bresenham from the start, stopping before the end point.
    const long long dx = std::llabs(static_cast<long long>(x) - from.x());
    const long long dy = std::llabs(static_cast<long long>(y) - from.y());
    const QRect visible = VisibleArea();
    if (dx > 0x10000 || dy > 0x10000) {
        // Too long to walk pixel by pixel; far beyond any device anyway.
        QPen pen(TColorToQColor(FPenColor), 0);
        FPainter->save();
        FPainter->setPen(pen);
        FPainter->drawLine(from, FPenPos);
        FPainter->restore();
        return;
    }
    const int sx = from.x() < x ? 1 : -1;
    const int sy = from.y() < y ? 1 : -1;
    long long err = dx - dy;
    int px = from.x();
    int py = from.y();
    const QColor color = TColorToQColor(FPenColor);
    while (px != x || py != y) {
        if (visible.contains(px, py))
            FPainter->fillRect(QRect(px, py, 1, 1), color);
        const long long e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            px += sx;
        }
        if (e2 < dx) {
            err += dx;
            py += sy;
        }
    }
}

void TCanvas::FillRect(const TRect& rect)
{
    if (FBrushStyle != bsSolid)
        return;
    const long long w = static_cast<long long>(rect.Right) - rect.Left;
    const long long h = static_cast<long long>(rect.Bottom) - rect.Top;
    if (w <= 0 || h <= 0)
        return;
    FillPixels(rect.Left, rect.Top, Capped(w), Capped(h), FBrushColor);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    FillRect({x1, y1, x2, y2});
    if (FPenStyle == psClear || x2 <= x1 || y2 <= y1)
        return;
    PixelRun(x1, y1, x2 - 1, y1, FPenColor);
    PixelRun(x1, y2 - 1, x2 - 1, y2 - 1, FPenColor);
    PixelRun(x1, y1, x1, y2 - 1, FPenColor);
    PixelRun(x2 - 1, y1, x2 - 1, y2 - 1, FPenColor);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    if (!FPainter || x2 <= x1 || y2 <= y1)
        return;
    // Qt rasterises the shape at ratio 1 into a scratch image of the visible
    // part of the rectangle, and its pixel runs are filled like any other, so
    // the shape scales with the device pixel ratio instead of being drawn
    // afresh with a hairline pen. Pixels Qt would set outside the rectangle
    // (it does so for some flat ellipses) are left out.
    const QRect visible = VisibleArea();
    const int left = std::max(x1, visible.left());
    const int top = std::max(y1, visible.top());
    const int right = std::min(x2 - 1, visible.right());
    const int bottom = std::min(y2 - 1, visible.bottom());
    if (left > right || top > bottom)
        return;
    const QRect box(QPoint(left, top), QPoint(right, bottom));
    QImage shape(box.size(), QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    QPainter painter(&shape);
    painter.translate(-box.topLeft());
    if (FPenStyle == psClear)
        painter.setPen(Qt::NoPen);
    else
        painter.setPen(QPen(TColorToQColor(FPenColor), 0));
    if (FBrushStyle == bsSolid)
        painter.setBrush(TColorToQColor(FBrushColor));
    painter.drawEllipse(QRectF(x1, y1, double(x2) - x1 - 1, double(y2) - y1 - 1));
    painter.end();
    for (int y = 0; y < shape.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shape.constScanLine(y));
        for (int x = 0; x < shape.width();) {
            int end = x + 1;
            while (end < shape.width() && row[end] == row[x])
                ++end;
            if (qAlpha(row[x]) != 0)
                FillPixels(box.left() + x, box.top() + y, end - x, 1, QColorToTColor(QColor(row[x])));
            x = end;
        }
    }
}

QSize TCanvas::TextExtent(const QByteArray& text) const
{
    const QFontMetrics fm = FDevice ? QFontMetrics(FFont, FDevice) : QFontMetrics(FFont);
    return QSize(fm.horizontalAdvance(QString::fromLatin1(text)), fm.height());
}

int TCanvas::TextWidth(const QByteArray& text) const
{
    return TextExtent(text).width();
}

int TCanvas::TextHeight(const QByteArray& text) const
{
    return TextExtent(text).height();
}

void TCanvas::TextOut(int x, int y, const QByteArray& text)
{
    if (!FPainter)
        return;
    const QFontMetrics fm(FFont, FDevice);
    const QString s = QString::fromLatin1(text);
    const int width = fm.horizontalAdvance(s);
    if (FBrushStyle == bsSolid)
        FillPixels(x, y, width, fm.height(), FBrushColor);
    FPainter->save();
    FPainter->setFont(FFont);
    FPainter->setPen(TColorToQColor(FFontColor));
    FPainter->drawText(QPoint(x, y + fm.ascent()), s);
    FPainter->restore();
    FPenPos = QPoint(x + width, y);
}
