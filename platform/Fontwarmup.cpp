#include "Fontwarmup.h"

#include <system_error>

#ifdef TARVOLIN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

// The configuration's numbers are read in the thread's locale. The
// application object sets the process's locale while it is made, on the main
// thread: the helper reads a locale of its own, made from the environment
// now, and never the process's.
locale_t HelperLocale()
{
#ifdef TARVOLIN_HAVE_FONTCONFIG
    if (const locale_t locale = newlocale(LC_ALL_MASK, "", locale_t(nullptr)))
        return locale;
    return newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
#else
    return locale_t(nullptr);
#endif
}

} // namespace

TFontConfigWarmUp::TFontConfigWarmUp()
    : FLocale(HelperLocale())
{
#ifdef TARVOLIN_HAVE_FONTCONFIG
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
