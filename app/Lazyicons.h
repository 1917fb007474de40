#pragma once
// The application's style, unchanged but for when it reads some of its
// standard icons. Styles read their icons from image files, and the first
// image file a program reads without naming its format makes Qt load every
// installed image-format plugin (to ask each whether it reads the file). The
// main window's menu bar asks for its overflow button's icon while it is
// built, although that button shows only when the menus do not fit: read
// then, the icon costs the start-up several milliseconds and a few hundred
// KiB of plugins. This style hands such icons out as icons that are read at
// their first use instead.
#include <QProxyStyle>

class TLazyIconStyle : public QProxyStyle
{
public:
    // Takes ownership of base.
    explicit TLazyIconStyle(QStyle* base);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;

    // The icons handed out deferred: those of buttons that widgets make
    // hidden and show only in some layouts.
    static bool Deferred(StandardPixmap standardIcon);
};

// Puts a TLazyIconStyle over the application's style. Call once the
// application object exists and before the first widget is made; a style
// that cannot be made afresh by name (one set up by hand) is left as it is.
void UseLazyIconStyle();
