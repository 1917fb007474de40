#include "Fontwarmup.h"

#include <system_error>

#ifdef TARVOLIN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

TFontConfigWarmUp::TFontConfigWarmUp()
{
#ifdef TARVOLIN_HAVE_FONTCONFIG
    // The configuration's numbers are read in the thread's locale. The
    // application object sets the process's locale while it is made, on the
    // main thread: the helper reads a locale of its own, made from the
    // environment now, and never the process's.
    FLocale = newlocale(LC_ALL_MASK, "", locale_t(nullptr));
    if (!FLocale)
        FLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (!FLocale)
        return; // Qt reads the configuration when it needs it
    try {
        // The configuration read becomes the process's own: Qt's FcInit()
        // then finds it there.
        FThread = std::thread([locale = FLocale] {
            uselocale(locale);
            FcInit();
            uselocale(LC_GLOBAL_LOCALE);
        });
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
    if (FLocale) {
        freelocale(FLocale);
        FLocale = locale_t(nullptr);
    }
}
