#include "Formutil.h"

#include "Windowsystem.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <limits>

namespace {

// The least move along one axis that brings [start, start + length) within
// [low, high); a span longer than that goes to low.
int ShiftInto(int start, int length, int low, int high)
{
    if (length >= high - low)
        return low - start;
    if (start < low)
        return low - start;
    if (start + length > high)
        return high - (start + length);
    return 0;
}

// The frame margins of a shown window, or none.
QMargins FrameMargins(const QWidget* window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

// Checks a window once more when it first appears on the screen, by then
// with the frame the window manager gave it.
class TKeepOnScreenWatch : public QObject
{
public:
    explicit TKeepOnScreenWatch(QWidget* window)
        : QObject(window)
        , FWindow(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == FWindow && event->type() == QEvent::Show && FWindow->windowHandle()) {
            FWindow->removeEventFilter(this);
            FWindow->windowHandle()->installEventFilter(this);
        } else if (FWindow && watched == FWindow->windowHandle() && event->type() == QEvent::Expose
                   && FWindow->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            FWindow->move(KeepRectOnScreens(FWindow->frameGeometry(), ScreenAreas()));
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> FWindow;
};

} // namespace

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

QPoint KeepRectOnScreens(const QRect& frame, const QList<QRect>& areas)
{
    QPoint best = frame.topLeft();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& area : areas) {
        if (area.isEmpty())
            continue;
        const int dx = ShiftInto(frame.left(), frame.width(), area.left(), area.left() + area.width());
        const int dy = ShiftInto(frame.top(), frame.height(), area.top(), area.top() + area.height());
        const qint64 distance = qint64(dx) * dx + qint64(dy) * dy;
        if (distance == 0 && frame.width() <= area.width() && frame.height() <= area.height())
            return frame.topLeft();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = frame.topLeft() + QPoint(dx, dy);
        }
    }
    return best;
}

QList<QRect> ScreenAreas()
{
    QList<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary)
            areas.append(screen->availableGeometry());
    }
    return areas;
}

void KeepFormOnScreen(QWidget* window)
{
    if (!window || !WindowSystemTraits().ReportsPosition)
        return;
    // move() places the frame; a window not shown yet has none, so its
    // position is also where its frame's top-left corner will be.
    const QSize size = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
    const QRect frame = window->isVisible() ? window->frameGeometry() : QRect(window->pos(), size);
    window->move(KeepRectOnScreens(frame, ScreenAreas()));
    if (!window->isVisible())
        new TKeepOnScreenWatch(window);
}

void PlaceDialogOver(QWidget* owner, QWidget* dialog)
{
    if (!owner || !dialog)
        return;
    const QRect parent = owner->frameGeometry();
    const QMargins margins = dialog->isVisible() ? FrameMargins(dialog) : FrameMargins(owner);
    const QSize size = (dialog->isVisible() ? dialog->size() : dialog->sizeHint().expandedTo(dialog->minimumSize()))
                       .grownBy(margins);
    const QRect centred(parent.left() + (parent.width() - size.width()) / 2,
                        parent.top() + (parent.height() - size.height()) / 2, size.width(), size.height());
    dialog->move(KeepRectOnScreens(centred, ScreenAreas()));
}
