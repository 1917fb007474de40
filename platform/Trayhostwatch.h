#pragma once
// Registered window messages, and the watch that turns a notification area
// (re)appearing into the "TaskbarCreated" message.
//
// RegisterWindowMessage(name) hands out one event type per name for the
// whole process; the same name always yields the same type. Registering
// "TaskbarCreated" also starts the watch: whenever a notification area host
// appears - an XEmbed tray manager taking the _NET_SYSTEM_TRAY_S<n> selection
// on X11, or the org.kde.StatusNotifierWatcher service registering on the
// session bus - an event of that type is sent to every top-level widget, the
// way a restarted shell broadcasts to every top-level window. A widget that
// handles it accepts the event (the event arrives ignored).
//
// The watch also tells when a notification area may have gone away: the
// tray manager's window was destroyed, the StatusNotifierWatcher left the
// bus or its host unregistered. Another area may remain, or this one come
// back; AreaLost() only says it is worth looking.
#include <QEvent>
#include <QList>
#include <QObject>
#include <QtGlobal>

class QDBusServiceWatcher;
class TX11TrayFilter;

// Layout of an X11 client message event (xcb_client_message_event_t), kept
// here so the check needs no X11 headers.
struct TClientMessage
{
    quint8 ResponseType;
    quint8 Format;
    quint16 Sequence;
    quint32 Window;
    quint32 Type;
    quint32 Data32[5];
};
static_assert(sizeof(TClientMessage) == 32, "X11 events are 32 bytes");

// The name under which the notification area's (re)appearance is registered.
inline constexpr const char* TaskbarCreatedMessageName = "TaskbarCreated";

// The event type registered for name; QEvent::None for a null or empty name,
// and for "TaskbarCreated" before the application object exists.
QEvent::Type RegisterWindowMessage(const char* name);

class TTrayHostWatch : public QObject
{
    Q_OBJECT
public:
    // The process's one watch, created (and its sources connected) on first
    // use. Needs the application object.
    static TTrayHostWatch* Instance();
    ~TTrayHostWatch() override;

    QEvent::Type MessageType() const { return FMessageType; }
    bool WatchesX11Tray() const { return FX11Filter != nullptr; }
    bool WatchesStatusNotifier() const { return FDBusWatcher != nullptr; }

    // Sends the message to every top-level widget now. Returns how many
    // accepted it.
    int Broadcast();

    // A host has appeared: broadcast once control returns to the event loop,
    // so that Qt's own handling of the same event runs first. Several
    // announcements before that give one broadcast.
    void HostAppeared();

public slots:
    // A host has gone: AreaLost() once control returns to the event loop;
    // several before that give one signal.
    void HostDisappeared();

signals:
    // Emitted right before each broadcast.
    void TaskbarCreated();
    void AreaLost();

private:
    // Start watching the X server for an XEmbed tray manager, and the
    // session bus for a StatusNotifier host.
    void WatchX11Tray();
    void WatchStatusNotifier();
    TTrayHostWatch();

    QEvent::Type FMessageType = QEvent::None;
    TX11TrayFilter* FX11Filter = nullptr;
    QDBusServiceWatcher* FDBusWatcher = nullptr;
    bool FPending = false;
    bool FLossPending = false;
};

// Whether an XEmbed tray manager owns a screen's tray selection on the X
// server the application runs on; false off X11.
bool X11TrayManagerPresent();

// Whether an X11 event (an xcb_generic_event_t) is a tray manager's
// announcement: a 32-bit "MANAGER" client message naming one of trayAtoms as
// its selection, whether sent by the server or by another client.
bool IsTrayManagerAnnouncement(const void* xcbEvent, quint32 managerAtom,
                               const QList<quint32>& trayAtoms);

// The window an X11 event (an xcb_generic_event_t) reports destroyed; 0 for
// any other event.
quint32 X11DestroyedWindow(const void* xcbEvent);
