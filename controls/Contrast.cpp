#include "Contrast.h"

#include <cmath>

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

double RelativeLuminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

QColor ReadableTextColor(const QColor& preferred, const QColor& background)
{
    if (ContrastRatio(preferred, background) >= ContrastAA)
        return preferred;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}

QColor ReadableShade(const QColor& preferred, const QColor& background)
{
    const QColor from = preferred.toRgb();
    const QColor to = ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                                    : QColor(Qt::white);
    const int steps = 64;
    for (int i = 0; i < steps; ++i) {
        const auto mix = [i](int a, int b) { return a + (b - a) * i / steps; };
        const QColor shade(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
        if (ContrastRatio(shade, background) >= ContrastAA)
            return shade;
    }
    return to;
}
