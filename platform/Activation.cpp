#include "Activation.h"
#include "Windowsystem.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGlobal>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef TARVOLIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

const char* const TokenVariable = "XDG_ACTIVATION_TOKEN";

bool OnWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

#ifdef TARVOLIN_HAVE_XCB
xcb_connection_t* X11()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_window_t Root(xcb_connection_t* c)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

// A startup notification message goes to the root window in pieces of 20
// bytes, the first as _NET_STARTUP_INFO_BEGIN, the rest as _NET_STARTUP_INFO;
// the text's terminating zero ends it.
void SendStartupMessage(xcb_connection_t* c, const QByteArray& message)
{
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(c, "_NET_STARTUP_INFO");
    const xcb_window_t root = Root(c);
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE || root == XCB_WINDOW_NONE)
        return;
    QByteArray text = message;
    text.append('\0');
    text.append(QByteArray((20 - text.size() % 20) % 20, '\0'));
    for (int sent = 0; sent < text.size(); sent += 20) {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = root;
        event.type = sent == 0 ? begin : more;
        std::memcpy(event.data.data8, text.constData() + sent, 20);
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}
#endif

} // namespace

void PrepareActivation(const TActivationRequest& request)
{
    // Qt's Wayland client uses the token in the environment for the next
    // activation request and removes it there.
    if (!request.Token.empty() && OnWayland())
        qputenv(TokenVariable, QByteArray::fromStdString(request.Token));
}

void ActivateWindowFor(QWidget* window, const TActivationRequest& request)
{
    if (!window)
        return;
    window->activateWindow();
#ifdef TARVOLIN_HAVE_XCB
    xcb_connection_t* c = X11();
    const quint32 time = StartupIdTime(request.StartupId);
    if (!c || time == 0 || !window->windowHandle())
        return;
    // Qt's own request carries the time of the last event the program saw,
    // which is older than the user's action in another program: a window
    // manager that prevents focus stealing would refuse it.
    const auto id = xcb_window_t(window->windowHandle()->winId());
    const xcb_atom_t userTime = Atom(c, "_NET_WM_USER_TIME");
    const xcb_atom_t active = Atom(c, "_NET_ACTIVE_WINDOW");
    if (userTime != XCB_ATOM_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, userTime, XCB_ATOM_CARDINAL, 32, 1, &time);
    if (active != XCB_ATOM_NONE) {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = active;
        event.data.data32[0] = 1; // from an application
        event.data.data32[1] = time;
        xcb_send_event(c, 0, Root(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
#else
    Q_UNUSED(request);
#endif
}

void EndStartupNotification(const TActivationRequest& request)
{
#ifdef TARVOLIN_HAVE_XCB
    if (request.StartupId.empty())
        return;
    if (xcb_connection_t* c = X11())
        SendStartupMessage(c, QByteArrayLiteral("remove: ID=") + QByteArray::fromStdString(request.StartupId));
#else
    Q_UNUSED(request);
#endif
}

bool StayOnTopAvailable()
{
    return WindowSystemTraits().StayOnTop;
}

void SetStayOnTop(QWidget* window, bool on)
{
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == window->windowFlags())
        return;
    // QWidget::setWindowFlags() would re-create a shown window (it hides and
    // must be shown again, and may move). The widget's record of its flags
    // and the window's own request are changed in place instead.
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
}
