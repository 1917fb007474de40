#pragma once
// The program's icons live in a resource file compiled into this static
// library. Nothing in a static library is linked unless something refers to
// it, so every program that shows these icons calls TarvolinInitResources()
// once after creating its application object; the call is cheap and may be
// repeated.

// Resource paths of the icons.
inline constexpr const char* TarvolinIconPath = ":/icons/tarvolin.png";
inline constexpr const char* TarvolinTrayIconPath = ":/icons/tray16.png";

void TarvolinInitResources();
