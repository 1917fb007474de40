#include "Fontwarmup.h"

#include <clocale>
#include <system_error>

#ifdef TARVOLIN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

TFontConfigWarmUp::TFontConfigWarmUp()
{
#ifdef TARVOLIN_HAVE_FONTCONFIG
    // The configuration's numbers are read in the process's locale, which the
    // application object sets from the environment while it is made. Set it
    // from the environment now, so that it does not change under the helper
    // (the application object then sets the same again).
    std::setlocale(LC_ALL, "");
    try {
        // The configuration read becomes the process's own: Qt's FcInit()
        // then finds it there.
        FThread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: Qt reads the configuration when it needs it.
    }
#endif
}

TFontConfigWarmUp::~TFontConfigWarmUp()
{
    Wait();
}

void TFontConfigWarmUp::Wait()
{
    if (FThread.joinable())
        FThread.join();
}
