#pragma once
// Paints into a QImage through a TCanvas and reads pixels back as TColor.
#include "Canvas.h"

#include <QImage>
#include <QPainter>

#include <functional>

constexpr TColor SentinelColor = 0x123456;

inline QImage PaintImage(int w, int h, const std::function<void(TCanvas&)>& paint, TColor background = SentinelColor)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(TColorToQColor(background));
    QPainter painter(&image);
    TCanvas canvas(painter);
    paint(canvas);
    painter.end();
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
