#include "Formfont.h"

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
    return font;
}
