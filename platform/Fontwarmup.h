#pragma once
// Reading the system's font configuration (fontconfig parses a few dozen XML
// files and its caches) is the largest single part of a Qt program's
// start-up, and it needs nothing of Qt. This starts it on a helper thread
// before the application object is made, so that the two go on side by side
// and the first text laid out finds the configuration ready:
//
//   TFontConfigWarmUp warmUp;             // first thing in main()
//   TTarvolinApplication app(argc, argv);
//   ...
//   warmUp.Wait();                        // before the first font is used
//
// Without fontconfig (or if the thread cannot be started) it does nothing and
// Qt reads the configuration itself, as it always does.
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
};
