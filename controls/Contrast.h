#pragma once
// Contrast between a text colour and its background, as the Web Content
// Accessibility Guidelines measure it: from 1 (the same luminance) to 21
// (black on white). Normal text wants at least 4.5, large text 3.
#include <QColor>

constexpr double ContrastAA = 4.5;

// The relative luminance of a colour, 0 (black) to 1 (white).
double RelativeLuminance(const QColor& colour);

// (lighter + 0.05) / (darker + 0.05) of the two luminances.
double ContrastRatio(const QColor& a, const QColor& b);

// `preferred` when it reaches ContrastAA on `background`; otherwise black or
// white, whichever contrasts more with the background.
QColor ReadableTextColor(const QColor& preferred, const QColor& background);

// The nearest shade of `preferred` (mixed towards black, or towards white on
// a dark background) that reaches ContrastAA on `background`: a blue link
// stays blue, only darker where plain blue would not read.
QColor ReadableShade(const QColor& preferred, const QColor& background);
