#pragma once
// Reading the system's font configuration (fontconfig parses a few dozen XML
// files and its caches) is the largest single part of a Qt program's
// start-up, and it needs nothing of Qt. This starts it on a helper thread
// before the application object is made, so that the two go on side by side
// and the first text laid out finds the configuration ready:
//
//   TakeActivationEnvironment(...);       // the environment made final
//   TFontConfigWarmUp warmUp;             // then the helper
//   TTarvolinApplication app(argc, argv);
//   ...
//   warmUp.Wait();                        // before the first font is used
//
// Without fontconfig (or if the thread cannot be started) it does nothing and
// Qt reads the configuration itself, as it always does.
//
// The helper reads the environment (fontconfig's own variables, HOME, the XDG
// folders) while it runs, so the environment must be final before it starts:
// the variables the application object would remove while it is made
// (DESKTOP_STARTUP_ID) are taken out first (TakeActivationEnvironment). The
// locale the helper reads is its own, so the application object setting the
// process's locale meanwhile does not touch it.
#include <clocale>
#include <locale.h>
#include <thread>

class TFontConfigWarmUp
{
public:
    TFontConfigWarmUp();
    ~TFontConfigWarmUp();
    TFontConfigWarmUp(const TFontConfigWarmUp&) = delete;
    TFontConfigWarmUp& operator=(const TFontConfigWarmUp&) = delete;

    // Waits until the configuration is read. Safe to call more than once.
    void Wait();

private:
    std::thread FThread;
    locale_t FLocale = locale_t(nullptr);
};
