#include "Formutil.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cstdlib>

QRect PlaceRectOver(const QRect& parent, const QRect& child, const QRect& screen)
{
    const int childWidth = child.width();
    const int childHeight = child.height();
    int top = parent.top() + (parent.height() - childHeight) / 2;
    int left = parent.left() + (parent.width() - childWidth) / 2;

    if (top < screen.top())
        top = screen.top();
    if (left < screen.left())
        left = screen.left();

    if (std::abs(parent.width() - childWidth) < 10)
        left += 15;
    if (std::abs(parent.height() - childHeight) < 10)
        top += 15;

    const int screenBottom = screen.top() + screen.height();
    const int screenRight = screen.left() + screen.width();
    if (top + childHeight >= screenBottom - 50)
        top = screenBottom - childHeight - 50;
    if (left + childWidth >= screenRight)
        left = screenRight - childWidth;

    return QRect(left, top, childWidth, childHeight);
}

void PlaceFormOver(QWidget* parent, QWidget* child)
{
    if (!parent || !child)
        return;
    QScreen* screen = parent->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect placed =
        PlaceRectOver(parent->frameGeometry(), child->frameGeometry(), screen->geometry());
    // move() places a window's frame, the same rectangle the rules work on.
    child->move(placed.topLeft());
}
