#include "Contrast.h"

namespace {

// x^2.4 for x in (0, 1], as x^2 times the fifth root of x^2, the root by
// Newton's method from above. Done here rather than with std::pow: the
// converter's window asks for a contrast while it opens, and the maths
// library's power routine and its tables would cost it 0.25 MiB of memory.
double Power2_4(double x)
{
    const double square = x * x;
    double root = 1; // the fifth root lies in [square, 1]
    for (int i = 0; i < 40; ++i) {
        const double fourth = (root * root) * (root * root);
        const double next = root - (fourth * root - square) / (5 * fourth);
        if (next >= root)
            break;
        root = next;
    }
    return square * root;
}

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : Power2_4((channel + 0.055) / 1.055);
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
