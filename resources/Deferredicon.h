#pragma once
// Icons made at their first use. Reading an icon from an image file costs
// time and memory at the moment it is read; an icon that is only shown later
// (or never) can be handed out as a promise instead.
#include <QIcon>
#include <QImage>

#include <functional>

// An icon that calls make the first time it is drawn, changed or asked about
// (its sizes, its pixmaps, its name, whether it is null) and is from then on
// what make returned. Copies share the promise: make runs once for all.
QIcon DeferredIcon(std::function<QIcon()> make);

// An icon of one image that keeps no pixels between uses: it calls make
// whenever it is drawn or asked about, and holds the image only until the
// event loop next runs, so that the uses of one moment (a window being made
// asks for its icon more than once) share one make. For a large image that
// is seldom used, such as a window icon handed to each window as it is made.
// Copies share make; a change made to one copy (a pixmap added) makes that
// copy an ordinary icon.
QIcon RemadeIcon(std::function<QImage()> make);
