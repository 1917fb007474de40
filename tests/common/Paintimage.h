#pragma once
// Paints into a QImage through a TCanvas, or renders a widget into one, at a
// device pixel ratio, and reads pixels back as TColor.
#include "Canvas.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

constexpr TColor SentinelColor = 0x123456;

// An image of `w` x `h` logical pixels at `ratio`, filled with `background`;
// its size in device pixels is rounded the way Qt sizes a window's backing store.
inline QImage RatioImage(int w, int h, qreal ratio, TColor background = SentinelColor)
{
    QImage image(QSize(w, h) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(TColorToQColor(background));
    return image;
}

inline QImage PaintImage(int w, int h, const std::function<void(TCanvas&)>& paint, TColor background = SentinelColor,
                         qreal ratio = 1)
{
    QImage image = RatioImage(w, h, ratio, background);
    QPainter painter(&image);
    TCanvas canvas(painter);
    paint(canvas);
    painter.end();
    return image;
}

// The widget as its paint events draw it (children too, unless left out of
// `flags`), at `ratio`, over the sentinel colour.
inline QImage RenderImage(QWidget& widget, qreal ratio,
                          QWidget::RenderFlags flags = QWidget::DrawWindowBackground | QWidget::DrawChildren)
{
    QImage image = RatioImage(widget.width(), widget.height(), ratio);
    widget.render(&image, QPoint(), QRegion(), flags);
    return image;
}

inline TColor PixelAt(const QImage& image, int x, int y)
{
    return QColorToTColor(image.pixelColor(x, y));
}

// Number of pixels that differ from `color`.
inline int CountOther(const QImage& image, TColor color)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += PixelAt(image, x, y) != color;
    return n;
}

namespace PaintimageDetail {

// The cells of one grid that cell `i` of another overlaps, where a cell of
// the other grid is `scale` cells of this one; clamped to [0, n).
inline std::pair<int, int> Overlapped(int i, qreal scale, qreal divisor, int n)
{
    const int first = std::min(n - 1, int(std::floor(i * scale / divisor)));
    const int last = std::min(n - 1, int(std::ceil((i + 1) * scale / divisor)) - 1);
    return {first, std::max(first, last)};
}

// Whether any pixel of `image` in the given columns and rows is `pixel`.
inline bool Shows(const QImage& image, std::pair<int, int> columns, std::pair<int, int> rows, QRgb pixel)
{
    for (int y = rows.first; y <= rows.second; ++y)
        for (int x = columns.first; x <= columns.second; ++x)
            if (image.pixel(x, y) == pixel)
                return true;
    return false;
}

inline QString Hex(QRgb pixel)
{
    return QStringLiteral("#%1").arg(pixel & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

} // namespace PaintimageDetail

// Checks `scaled` (painted at its device pixel ratio) against `logical` (the
// same picture at ratio 1): every device pixel must show one of the logical
// pixels it overlaps, and every logical pixel must be shown by one of the
// device pixels it overlaps. At ratio 2 that is exactly "every pixel
// doubled"; at a fractional ratio a device pixel on the border of two logical
// pixels may show either, but a gap, a seam, a lost one-pixel line or a
// missing part near the far edges fails. Returns an empty text when all
// match, else where the first mismatch is.
inline QString CompareScaled(const QImage& logical, const QImage& scaled)
{
    using namespace PaintimageDetail;
    const qreal r = scaled.devicePixelRatio();
    if (scaled.size() != QSize(logical.size()) * r)
        return QStringLiteral("size %1x%2 at ratio %3").arg(scaled.width()).arg(scaled.height()).arg(r);
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            if (!Shows(logical, Overlapped(x, 1, r, logical.width()), Overlapped(y, 1, r, logical.height()),
                       scaled.pixel(x, y)))
                return QStringLiteral("device pixel (%1, %2) is %3, which no logical pixel under it is")
                    .arg(x)
                    .arg(y)
                    .arg(Hex(scaled.pixel(x, y)));
    for (int y = 0; y < logical.height(); ++y)
        for (int x = 0; x < logical.width(); ++x)
            if (!Shows(scaled, Overlapped(x, r, 1, scaled.width()), Overlapped(y, r, 1, scaled.height()),
                       logical.pixel(x, y)))
                return QStringLiteral("logical pixel (%1, %2) is %3, which no device pixel shows")
                    .arg(x)
                    .arg(y)
                    .arg(Hex(logical.pixel(x, y)));
    return {};
}
