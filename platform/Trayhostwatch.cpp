#include "Trayhostwatch.h"

#include "Sessionbus.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <QApplication>
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QWidget>

#ifdef TARVOLIN_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* StatusNotifierWatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* StatusNotifierWatcherPath = "/StatusNotifierWatcher";

constexpr quint8 X11DestroyNotify = 17;
constexpr quint8 X11ClientMessage = 33;
constexpr quint8 X11SentEventBit = 0x80;

} // namespace

QEvent::Type RegisterWindowMessage(const char* name)
{
    if (!name || !*name)
        return QEvent::None;
    static QHash<QByteArray, QEvent::Type> registered;
    const QByteArray key(name);
    auto it = registered.constFind(key);
    if (it != registered.constEnd())
        return *it;
    QEvent::Type type;
    if (key == TaskbarCreatedMessageName) {
        // The watch needs the application object; without it the
        // registration fails, as the message then could never arrive.
        if (!QCoreApplication::instance())
            return QEvent::None;
        type = TTrayHostWatch::Instance()->MessageType();
    } else {
        type = QEvent::Type(QEvent::registerEventType());
    }
    registered.insert(key, type);
    return type;
}

bool IsTrayManagerAnnouncement(const void* xcbEvent, quint32 managerAtom,
                               const QList<quint32>& trayAtoms)
{
    if (!xcbEvent || managerAtom == 0)
        return false;
    TClientMessage ev;
    std::memcpy(&ev, xcbEvent, sizeof ev);
    if ((ev.ResponseType & ~X11SentEventBit) != X11ClientMessage || ev.Format != 32)
        return false;
    return ev.Type == managerAtom && trayAtoms.contains(ev.Data32[1]);
}

quint32 X11DestroyedWindow(const void* xcbEvent)
{
    if (!xcbEvent)
        return 0;
    // xcb_destroy_notify_event_t: type, pad, sequence, event window, window.
    quint8 type = 0;
    std::memcpy(&type, xcbEvent, 1);
    if ((type & ~X11SentEventBit) != X11DestroyNotify)
        return 0;
    quint32 window = 0;
    std::memcpy(&window, static_cast<const char*>(xcbEvent) + 8, sizeof window);
    return window;
}

#ifdef TARVOLIN_HAVE_XCB

namespace {

xcb_connection_t* X11Connection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The names of the screens' tray selections, _NET_SYSTEM_TRAY_S<screen>.
QList<QByteArray> TrayNames(xcb_connection_t* connection)
{
    QList<QByteArray> names;
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    for (int i = 0; i < screens; ++i)
        names.append("_NET_SYSTEM_TRAY_S" + QByteArray::number(i));
    return names;
}

// The atoms of names, 0 for one that cannot be had. Every name is asked for
// before any answer is read: one round trip to the X server in all.
QList<quint32> InternAtoms(xcb_connection_t* connection, const QList<QByteArray>& names)
{
    QList<xcb_intern_atom_cookie_t> cookies;
    for (const QByteArray& name : names)
        cookies.append(xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()));
    QList<quint32> atoms;
    for (const xcb_intern_atom_cookie_t& cookie : std::as_const(cookies)) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        atoms.append(reply ? reply->atom : 0);
        std::free(reply);
    }
    return atoms;
}

} // namespace

bool X11TrayManagerPresent()
{
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return false;
    QList<xcb_get_selection_owner_cookie_t> cookies;
    for (quint32 atom : InternAtoms(connection, TrayNames(connection))) {
        if (atom)
            cookies.append(xcb_get_selection_owner(connection, atom));
    }
    bool owned = false;
    for (const xcb_get_selection_owner_cookie_t& cookie : std::as_const(cookies)) {
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(connection, cookie, nullptr);
        owned = owned || (reply && reply->owner != XCB_WINDOW_NONE);
        std::free(reply);
    }
    return owned;
}

// Watches the X11 event stream for a tray manager announcing that it owns a
// screen's tray selection, and for the manager's window going. Qt itself
// selects structure events on the root windows (for the announcement), so
// the messages arrive without any change to the root windows' event masks;
// the managers' windows are asked for their structure events here, the same
// events Qt asks of them for its own icon.
class TX11TrayFilter : public QAbstractNativeEventFilter
{
public:
    TX11TrayFilter(xcb_connection_t* connection, TTrayHostWatch* watch)
        : FConnection(connection), FWatch(watch)
    {
        const QList<quint32> atoms = InternAtoms(connection, QList<QByteArray>{"MANAGER"} + TrayNames(connection));
        FManager = atoms.value(0);
        for (qsizetype i = 1; i < atoms.size(); ++i) {
            if (atoms.at(i))
                FTrayAtoms.append(atoms.at(i));
        }
    }

    bool Valid() const { return FManager != 0 && !FTrayAtoms.isEmpty(); }

    // Watches the windows of the managers there are now, as the X server
    // tells them (an announcement could name any window).
    void WatchCurrentManagers()
    {
        QList<xcb_get_selection_owner_cookie_t> cookies;
        for (quint32 atom : std::as_const(FTrayAtoms))
            cookies.append(xcb_get_selection_owner(FConnection, atom));
        QList<quint32> owners;
        for (const xcb_get_selection_owner_cookie_t& cookie : std::as_const(cookies)) {
            xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(FConnection, cookie, nullptr);
            if (reply && reply->owner != XCB_WINDOW_NONE && !owners.contains(reply->owner)) {
                owners.append(reply->owner);
                if (!FManagers.contains(reply->owner)) {
                    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_change_window_attributes(FConnection, reply->owner, XCB_CW_EVENT_MASK, &mask);
                }
            }
            std::free(reply);
        }
        xcb_flush(FConnection);
        FManagers = owners;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t" || !FWatch)
            return false;
        if (IsTrayManagerAnnouncement(message, FManager, FTrayAtoms)) {
            WatchCurrentManagers();
            FWatch->HostAppeared();
        } else if (const quint32 gone = X11DestroyedWindow(message); gone && FManagers.removeOne(gone)) {
            FWatch->HostDisappeared();
        }
        return false; // Qt needs the event too
    }

private:
    xcb_connection_t* FConnection;
    QPointer<TTrayHostWatch> FWatch;
    QList<quint32> FManagers; // the managers' windows, to tell of their end
    quint32 FManager = 0;
    QList<quint32> FTrayAtoms;
};

#else

bool X11TrayManagerPresent()
{
    return false;
}

class TX11TrayFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray&, void*, qintptr*) override { return false; }
};

#endif

TTrayHostWatch* TTrayHostWatch::Instance()
{
    static QPointer<TTrayHostWatch> instance;
    if (!instance)
        instance = new TTrayHostWatch;
    return instance;
}

TTrayHostWatch::TTrayHostWatch()
    : QObject(QCoreApplication::instance())
    , FMessageType(QEvent::Type(QEvent::registerEventType()))
{
    // Both watches wait for an answer (the X server's, the bus daemon's);
    // started from the event loop they no longer hold up the first window.
    // The notification area matters from the first hide on, well after.
    QTimer::singleShot(0, this, [this] {
        WatchX11Tray();
        WatchStatusNotifier();
    });
}

void TTrayHostWatch::WatchX11Tray()
{
#ifdef TARVOLIN_HAVE_XCB
    xcb_connection_t* connection = FX11Filter ? nullptr : X11Connection();
    if (!connection)
        return;
    auto* filter = new TX11TrayFilter(connection, this);
    if (filter->Valid()) {
        FX11Filter = filter;
        QCoreApplication::instance()->installNativeEventFilter(filter);
        filter->WatchCurrentManagers();
    } else {
        delete filter;
    }
#endif
}

void TTrayHostWatch::WatchStatusNotifier()
{
    if (FDBusWatcher || !SessionBusKnown())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        FDBusWatcher = new QDBusServiceWatcher(
            QLatin1String(StatusNotifierWatcherService), bus,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
        connect(FDBusWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &TTrayHostWatch::HostAppeared);
        connect(FDBusWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
                &TTrayHostWatch::HostDisappeared);
        // A watcher may outlive the host that shows the items.
        bus.connect(QLatin1String(StatusNotifierWatcherService), QLatin1String(StatusNotifierWatcherPath),
                    QLatin1String(StatusNotifierWatcherService), QStringLiteral("StatusNotifierHostUnregistered"),
                    this, SLOT(HostDisappeared()));
    }
}

TTrayHostWatch::~TTrayHostWatch()
{
    if (FX11Filter) {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(FX11Filter);
        delete FX11Filter;
    }
}

int TTrayHostWatch::Broadcast()
{
    emit TaskbarCreated();
    int handled = 0;
    // Guard every window before the first handler runs: a handler may delete
    // windows later in the list.
    QList<QPointer<QWidget>> widgets;
    for (QWidget* w : QApplication::topLevelWidgets())
        widgets.append(w);
    for (const QPointer<QWidget>& w : widgets) {
        if (!w)
            continue;
        // Every widget passes a user event type to customEvent() and reports
        // it as handled, so handling is told by accepting the event instead.
        QEvent event(FMessageType);
        event.ignore();
        QCoreApplication::sendEvent(w, &event);
        if (event.isAccepted())
            ++handled;
    }
    return handled;
}

void TTrayHostWatch::HostAppeared()
{
    if (FPending)
        return;
    FPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FPending = false;
            Broadcast();
        },
        Qt::QueuedConnection);
}

void TTrayHostWatch::HostDisappeared()
{
    if (FLossPending)
        return;
    FLossPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FLossPending = false;
            emit AreaLost();
        },
        Qt::QueuedConnection);
}
