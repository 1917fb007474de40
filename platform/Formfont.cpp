#include "Formfont.h"

#include <QFontMetricsF>
#include <QString>

QStringList FormFontFamilies()
{
    // The original bitmap face first (some systems carry it), then faces with
    // Arial/Helvetica metrics, then the DejaVu faces that every Debian desktop
    // has; the condensed cut is narrower than the regular one and keeps
    // captions such as "Endian-Flip-32" inside their buttons.
    return {
        QStringLiteral("MS Sans Serif"),
        QStringLiteral("Microsoft Sans Serif"),
        QStringLiteral("Liberation Sans"),
        QStringLiteral("Arimo"),
        QStringLiteral("Nimbus Sans"),
        QStringLiteral("Nimbus Sans L"),
        QStringLiteral("Helvetica"),
        QStringLiteral("Arial"),
        QStringLiteral("DejaVu Sans Condensed"),
        QStringLiteral("DejaVu Sans"),
    };
}

QFont FormFont()
{
    QFont font;
    font.setFamilies(FormFontFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(FormFontPixelHeight);

    // The captions were fitted to a narrow face. When only a wider face is
    // installed (DejaVu Sans is about a tenth wider than Helvetica metrics),
    // narrow it to the width of a Helvetica-metric face at this height, so
    // captions such as "Endian-Flip-32" stay inside their buttons.
    static const QString Sample = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    constexpr double HelveticaSampleEms = 18.286; // advance of Sample in ems
    const double target = HelveticaSampleEms * FormFontPixelHeight;
    const double width = QFontMetricsF(font).horizontalAdvance(Sample);
    if (width > target * 1.02) {
        const int stretch = int(100.0 * target / width);
        font.setStretch(stretch < 75 ? 75 : stretch);
    }
    return font;
}
