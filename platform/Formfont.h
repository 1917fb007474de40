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
