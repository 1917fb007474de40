#pragma once
// Placing one window over another, and keeping windows within reach.
#include <QList>
#include <QPoint>
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

// Where a window whose frame is `frame` goes so that it lies wholly within
// one of `areas` (the screens' available areas): its own place when it does
// already; otherwise the place the least distance away that puts it wholly
// within the nearest area (the first of equally near ones). In a direction
// where the frame is larger than an area it goes to that area's left or top
// edge, so that its title bar stays in reach. Without areas, its own place.
QPoint KeepRectOnScreens(const QRect& frame, const QList<QRect>& areas);

// The available areas of all screens, the primary screen's first.
QList<QRect> ScreenAreas();

// Moves window (a top-level window) by KeepRectOnScreens. Its frame is taken
// as far as it is known: a window not yet shown has no frame yet, so it is
// placed by its own size now and checked again once it is shown and framed.
// Does nothing where the window system keeps positions to itself.
void KeepFormOnScreen(QWidget* window);

// Centres dialog over owner's frame, then keeps it on screen as
// KeepRectOnScreens does; before it is shown, the dialog's frame is taken to
// be as thick as the owner's. Does nothing when either is null.
void PlaceDialogOver(QWidget* owner, QWidget* dialog);
