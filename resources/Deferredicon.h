#pragma once
// Icons made at their first use. Reading an icon from an image file costs
// time and memory at the moment it is read; an icon that is only shown later
// (or never) can be handed out as a promise instead.
#include <QIcon>

#include <functional>

// An icon that calls make the first time it is drawn, changed or asked about
// (its sizes, its pixmaps, its name, whether it is null) and is from then on
// what make returned. Copies share the promise: make runs once for all.
QIcon DeferredIcon(std::function<QIcon()> make);
