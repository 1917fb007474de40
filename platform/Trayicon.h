#pragma once
// The notification-area icon, reduced to what the tray support needs: add one
// icon, remove it, and tell whether a notification area exists at all. The
// icon's mouse events are posted to the owner window as TTrayNotifyEvent,
// carrying a message record like the one a window procedure gets: Msg is the
// callback message given at the add, LParam the mouse event
// (TrayLeftButtonDown, ...).
//
// TTrayIconHost is the seam: the program uses TSystemTrayHost, tests a double
// that can refuse adds.
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QtGlobal>

#include <functional>

class QWidget;
class TStatusNotifierItem;

// Which fields of TNotifyIconData count.
constexpr quint32 NotifyIconMessage = 0x1;
constexpr quint32 NotifyIconIcon = 0x2;
constexpr quint32 NotifyIconTip = 0x4;

// Longest tooltip, without the terminating zero.
constexpr int NotifyIconTipMax = 127;

// One notification icon as handed to the host.
struct TNotifyIconData
{
    QWidget* Owner = nullptr;         // the window that receives the icon's messages
    quint32 Id = 0;
    quint32 Flags = 0;                // NotifyIconMessage | NotifyIconIcon | NotifyIconTip
    quint32 CallbackMessage = 0;      // Msg of the messages sent to Owner
    QIcon Icon;
    char Tip[NotifyIconTipMax + 1] = {}; // zero-terminated, Latin-1
    // The icon's menu, for areas that draw an icon's menu themselves
    // (StatusNotifier hosts); elsewhere the owner pops it up on a right click.
    QPointer<QMenu> Menu;

    // Copies tip into Tip, cut at NotifyIconTipMax characters.
    void SetTip(const QByteArray& tip);
};

// Mouse events as the icon's messages carry them in LParam.
constexpr qintptr TrayLeftButtonDown = 513;
constexpr qintptr TrayLeftButtonDoubleClick = 515;
constexpr qintptr TrayRightButtonDown = 516;
constexpr qintptr TrayMiddleButtonDown = 519;

// A window message record: number, two parameters and the handler's result.
struct TTrayMessage
{
    quint32 Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
};

// The icon's message, delivered synchronously to the owner window.
class TTrayNotifyEvent : public QEvent
{
public:
    explicit TTrayNotifyEvent(const TTrayMessage& message);
    static QEvent::Type EventType();

    TTrayMessage Message;
};

// The mouse event a Qt activation reason stands for.
qintptr TrayMouseEventFor(QSystemTrayIcon::ActivationReason reason);

// Sends the icon's message (callbackMessage, mouseEvent) to owner and returns
// the handler's result. Does nothing and returns 0 when owner is null.
qintptr SendTrayMessage(QWidget* owner, quint32 callbackMessage, qintptr mouseEvent);

class TTrayIconHost
{
public:
    virtual ~TTrayIconHost() = default;
    // Whether a notification area exists that could show an icon.
    virtual bool AreaAvailable() = 0;
    // Puts the icon described by data into the notification area, replacing
    // one added before. False when the area did not take it.
    virtual bool Add(const TNotifyIconData& data) = 0;
    // Takes the icon out of the notification area.
    virtual bool Remove(const TNotifyIconData& data) = 0;
    // The function given is called, from the event loop, whenever the
    // notification area may have gone away; AreaAvailable() tells whether one
    // is left. An empty function stops the calls. Hosts that cannot tell
    // never call it.
    virtual void SetAreaLostHandler(const std::function<void()>& /*lost*/) {}
};

// The real host. Where a StatusNotifier watcher is on the session bus (KDE,
// Xfce, LXQt, the GNOME AppIndicator extension, Wayland bars) the icon is a
// StatusNotifierItem of our own, published with its menu; otherwise it is
// QSystemTrayIcon in the system's own area (an XEmbed tray on X11), and a
// right click reaches the owner. QSystemTrayIcon is not used for
// StatusNotifier hosts: it decides once per process whether to use one, and
// publishes no menu unless it also pops that menu up itself.
//
// Where a menu cannot pop up on its own (Wayland, with every window hidden),
// a host's request to show the menu is dropped: such hosts draw it from the
// published menu.
class TSystemTrayHost : public QObject, public TTrayIconHost
{
    Q_OBJECT
public:
    TSystemTrayHost();
    ~TSystemTrayHost() override;

    bool AreaAvailable() override;
    bool Add(const TNotifyIconData& data) override;
    bool Remove(const TNotifyIconData& data) override;
    void SetAreaLostHandler(const std::function<void()>& lost) override;

private:
    void IconActivated(QSystemTrayIcon::ActivationReason reason);

    bool AddStatusNotifierItem(const QIcon& icon, const QString& tip, QMenu* menu);
    void RemoveStatusNotifierItem();
    bool AddNativeIcon(const QIcon& icon, const QString& tip);

    QPointer<QSystemTrayIcon> FIcon; // parented to the application, so it never outlives it
    QPointer<TStatusNotifierItem> FItem;
    QPointer<QWidget> FOwner;
    quint32 FCallbackMessage = 0;
    std::function<void()> FAreaLost;
    bool FWatchingArea = false;
};
