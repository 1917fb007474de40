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

#ifdef TARVOLIN_HAVE_XCB

// Watches the X11 event stream for a tray manager announcing that it owns a
// screen's tray selection. Qt itself selects structure events on the root
// windows (for the same announcement), so the messages arrive without any
// change to the root windows' event masks.
class TX11TrayFilter : public QAbstractNativeEventFilter
{
public:
    TX11TrayFilter(xcb_connection_t* connection, TTrayHostWatch* watch)
        : FWatch(watch)
    {
        // Every name asked for first, the answers read after: one round trip
        // to the X server instead of one per name.
        QList<QByteArray> names{QByteArrayLiteral("MANAGER")};
        const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
        for (int i = 0; i < screens; ++i)
            names.append("_NET_SYSTEM_TRAY_S" + QByteArray::number(i));
        QList<xcb_intern_atom_cookie_t> cookies;
        for (const QByteArray& name : std::as_const(names))
            cookies.append(xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()));
        for (qsizetype i = 0; i < cookies.size(); ++i) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies.at(i), nullptr);
            const quint32 atom = reply ? reply->atom : 0;
            std::free(reply);
            if (i == 0)
                FManager = atom;
            else if (atom)
                FTrayAtoms.append(atom);
        }
    }

    bool Valid() const { return FManager != 0 && !FTrayAtoms.isEmpty(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType == "xcb_generic_event_t" && FWatch
            && IsTrayManagerAnnouncement(message, FManager, FTrayAtoms))
            FWatch->HostAppeared();
        return false; // Qt needs the event too
    }

private:
    QPointer<TTrayHostWatch> FWatch;
    quint32 FManager = 0;
    QList<quint32> FTrayAtoms;
};

#else

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
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (FX11Filter || !app || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    auto* filter = new TX11TrayFilter(connection, this);
    if (filter->Valid()) {
        FX11Filter = filter;
        app->installNativeEventFilter(filter);
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
        FDBusWatcher = new QDBusServiceWatcher(QLatin1String(StatusNotifierWatcherService), bus,
                                               QDBusServiceWatcher::WatchForRegistration, this);
        connect(FDBusWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &TTrayHostWatch::HostAppeared);
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
