#include "Linklabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QStyleOptionFocusRect>

namespace {

class TLinkLabelAccessible : public QAccessibleWidget
{
public:
    explicit TLinkLabelAccessible(TLinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const TLinkLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            emit static_cast<TLinkLabel*>(widget())->Activated();
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == pressAction())
            return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }
};

QAccessibleInterface* LinkLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TLinkLabel") && object && object->isWidgetType())
        return new TLinkLabelAccessible(static_cast<TLinkLabel*>(object));
    return nullptr;
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(&LinkLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TLinkLabel::setText(const QString& text)
{
    if (text == FText)
        return;
    FText = text;
    updateGeometry();
    update();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void TLinkLabel::setAlignment(Qt::Alignment alignment)
{
    FAlignment = alignment;
    update();
}

QSize TLinkLabel::sizeHint() const
{
    // What a plain-text label asks for: its text's bounding box and margins.
    const int flags = int(FAlignment & ~(Qt::AlignVCenter | Qt::AlignHCenter));
    const QRect box = fontMetrics().boundingRect(0, 0, 2000, 2000, flags, FText);
    const QMargins margins = contentsMargins();
    return box.size().grownBy(margins);
}

bool TLinkLabel::event(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateGeometry();
    return QWidget::event(event);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            emit Activated();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TLinkLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    // The text's own direction places it, as in a label.
    const bool rightToLeft = FText.isRightToLeft();
    const Qt::Alignment align = QStyle::visualAlignment(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight, FAlignment);
    const int flags = int(align) | (rightToLeft ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight);
    style()->drawItemText(&painter, contentsRect(), flags, option.palette, isEnabled(), FText, foregroundRole());
    if (!hasFocus())
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}
