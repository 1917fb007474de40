#pragma once
// Placing one window over another.
#include <QRect>

class QWidget;

// Where a child window of size child goes over parent (both frame rectangles
// in screen pixels) on a screen with the rectangle screen:
// 1. centred over the parent (halves truncated toward zero);
// 2. a negative top or left becomes the screen's top or left;
// 3. widths less than 10 pixels apart shift it 15 pixels right, heights less
//    than 10 pixels apart 15 pixels down, so it does not hide the parent's
//    edges exactly;
// 4. a bottom edge reaching to within 50 pixels of the screen's bottom is
//    pulled up to end 50 pixels above it;
// 5. a right edge reaching the screen's right edge is pulled back to it.
// A child larger than the screen may end at a position left of or above it.
QRect PlaceRectOver(const QRect& parent, const QRect& child, const QRect& screen);

// Moves child (a window) over parent by PlaceRectOver, with the screen that
// parent is on. Does nothing when either is null.
void PlaceFormOver(QWidget* parent, QWidget* child);
