#include "Windowsystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>

#ifdef TARVOLIN_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace {

std::optional<TWindowSystemTraits>& TraitsOverride()
{
    static std::optional<TWindowSystemTraits> traits;
    return traits;
}

} // namespace

TWindowSystemTraits WindowSystemTraits()
{
    if (TraitsOverride())
        return *TraitsOverride();
    TWindowSystemTraits traits;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        traits.ReportsPosition = false;
        traits.ReliableMinimise = false;
        traits.FreeStandingPopups = false;
        traits.StayOnTop = false;
    }
    return traits;
}

void SetWindowSystemTraits(const TWindowSystemTraits* traits)
{
    if (traits)
        TraitsOverride() = *traits;
    else
        TraitsOverride().reset();
}

void ClearIconicStartState(QWidget* window)
{
#ifdef TARVOLIN_HAVE_XCB
    if (!window || !window->windowHandle() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = xcb_window_t(window->windowHandle()->winId());

    // WM_HINTS: flags, input, initial state, then six fields we leave alone.
    constexpr quint32 StateHint = 1u << 1;
    constexpr quint32 NormalState = 1;
    constexpr quint32 IconicState = 3;
    constexpr int HintFields = 9;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, HintFields);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return;
    quint32 hints[HintFields] = {};
    const int length = xcb_get_property_value_length(reply);
    if (reply->format == 32 && length >= int(3 * sizeof(quint32))) {
        std::memcpy(hints, xcb_get_property_value(reply), size_t(std::min<int>(length, sizeof hints)));
        if ((hints[0] & StateHint) && hints[2] == IconicState) {
            hints[2] = NormalState;
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS,
                                XCB_ATOM_WM_HINTS, 32, quint32(length / sizeof(quint32)), hints);
            xcb_flush(connection);
        }
    }
    std::free(reply);
#else
    Q_UNUSED(window);
#endif
}
