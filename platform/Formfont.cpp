#include "Formfont.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QString>

namespace {

// The families with the first one the font database lists put in front.
// Qt takes the first family of a font's list that is installed, but when the
// list's first family is missing it first asks the system for the fallbacks
// of that one (a font sort, a good part of a millisecond) before it tries the
// others. The database names a family with several foundries "Family
// [foundry]".
QStringList InstalledFirst(QStringList families)
{
    const QStringList installed = QFontDatabase::families();
    for (qsizetype i = 0; i < families.size(); ++i) {
        for (QString name : installed) {
            const qsizetype foundry = name.indexOf(QLatin1String(" ["));
            if (foundry >= 0)
                name.truncate(foundry);
            if (name.compare(families.at(i), Qt::CaseInsensitive) == 0) {
                families.move(i, 0);
                return families;
            }
        }
    }
    return families;
}

} // namespace

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
    return FormFontFrom(FormFontFamilies());
}

QFont FormFontInstalledFirst()
{
    return FormFontFrom(InstalledFirst(FormFontFamilies()));
}

QFont FormFontFrom(const QStringList& families)
{
    QFont font;
    font.setFamilies(families);
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
