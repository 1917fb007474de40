#pragma once
// The forms are laid out in pixels for an 8-point sans-serif face at 96 dpi
// (11 pixels high). That face rarely exists on this platform, so the forms use
// a list of metric-compatible or similar families at the same pixel height.
#include <QFont>
#include <QStringList>

// The layout's pixel height of the forms' font.
constexpr int FormFontPixelHeight = 11;

// Families tried in order; the first one installed is used.
QStringList FormFontFamilies();

// The forms' font: FormFontFamilies() at FormFontPixelHeight pixels, narrowed
// when the face found is much wider than the layout expects. Needs the
// application object (it measures the face).
QFont FormFont();

// The same face as FormFont(), with the first installed family of the list
// moved to its front: Qt then finds it at once, where a missing first family
// makes it ask the system for that family's fallbacks (a font sort) before
// it tries the next. Only the list's order differs, and with it family().
QFont FormFontInstalledFirst();

// FormFont() made from another family list.
QFont FormFontFrom(const QStringList& families);
