#include "Lazyicons.h"

#include "Deferredicon.h"

#include <QApplication>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

#include <optional>

TLazyIconStyle::TLazyIconStyle(QStyle* base) : QProxyStyle(base) {}

bool TLazyIconStyle::Deferred(StandardPixmap standardIcon)
{
    return standardIcon == SP_ToolBarHorizontalExtensionButton
        || standardIcon == SP_ToolBarVerticalExtensionButton;
}

QIcon TLazyIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
    const QWidget* widget) const
{
    if (!Deferred(standardIcon))
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    // The same question, asked later: of the base style, with a copy of the
    // option (widgets pass their own, short-lived one) and the widget if it
    // still exists.
    std::optional<QStyleOption> saved;
    if (option)
        saved = *option;
    return DeferredIcon([style = QPointer<QStyle>(baseStyle()), standardIcon, saved,
                            asker = QPointer<const QWidget>(widget)] {
        return style ? style->standardIcon(standardIcon, saved ? &*saved : nullptr, asker.data()) : QIcon();
    });
}

void UseLazyIconStyle()
{
    // A fresh instance of the style the application would use (the desktop's,
    // or the one asked for on the command line) under the proxy, which then
    // replaces it.
    const QString name = QApplication::style()->name();
    if (QStyle* base = name.isEmpty() ? nullptr : QStyleFactory::create(name))
        QApplication::setStyle(new TLazyIconStyle(base));
}
