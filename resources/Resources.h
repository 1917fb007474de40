#pragma once
// The program's icons live in resource files compiled into this static
// library. Nothing in a static library is linked unless something refers to
// it, so every program that shows these icons calls TarvolinInitResources()
// once after creating its application object (the icon functions below do
// it themselves); the call is cheap and may be repeated.
#include <QIcon>

// Resource paths of the icons' image files.
inline constexpr const char* TarvolinIconPath = ":/icons/tarvolin.png";
inline constexpr const char* TarvolinTrayIconPath = ":/icons/tray16.png";

void TarvolinInitResources();

// The application's icon (the image of TarvolinIconPath), made from pixels
// stored undecoded at build time. The pixels are unpacked when the icon is
// used (a window is made with it) and let go once the event loop runs again,
// not held for the whole run. One icon per application object, shared by
// every caller; needs the application object.
QIcon TarvolinIcon();

// The notification-area icon (TarvolinTrayIconPath), decoded afresh.
QIcon TarvolinTrayIcon();
