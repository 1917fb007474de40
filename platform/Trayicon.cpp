#include "Trayicon.h"

#include "Statusnotifier.h"
#include "Trayhostwatch.h"
#include "Windowsystem.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QString>
#include <QWidget>

#include <cstring>

void TNotifyIconData::SetTip(const QByteArray& tip)
{
    const qsizetype n = qMin<qsizetype>(qstrnlen(tip.constData(), tip.size()), NotifyIconTipMax);
    std::memcpy(Tip, tip.constData(), size_t(n));
    Tip[n] = '\0';
}

TTrayNotifyEvent::TTrayNotifyEvent(const TTrayMessage& message)
    : QEvent(EventType()), Message(message)
{
}

QEvent::Type TTrayNotifyEvent::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

qintptr TrayMouseEventFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayLeftButtonDown;
    case QSystemTrayIcon::Context:
        return TrayRightButtonDown;
    case QSystemTrayIcon::DoubleClick:
        return TrayLeftButtonDoubleClick;
    case QSystemTrayIcon::MiddleClick:
        return TrayMiddleButtonDown;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 0;
}

qintptr SendTrayMessage(QWidget* owner, quint32 callbackMessage, qintptr mouseEvent)
{
    if (!owner)
        return 0;
    TTrayMessage message;
    message.Msg = callbackMessage;
    message.LParam = mouseEvent;
    TTrayNotifyEvent event(message);
    QCoreApplication::sendEvent(owner, &event);
    return event.Message.Result;
}

namespace {

bool OnX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool OnWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Whether QSystemTrayIcon has an area of its own to show the icon in: an
// XEmbed tray on X11 (asked of the X server directly, as
// QSystemTrayIcon::isSystemTrayAvailable() would also settle, once for the
// whole run, which kind of icon Qt makes there), the system's notification
// area elsewhere. On Wayland it would have nothing but StatusNotifier hosts.
bool NativeTrayPresent()
{
    if (OnX11())
        return X11TrayManagerPresent();
    if (OnWayland())
        return false;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

// Whether Qt shows the icon as an embedded window in an X11 tray.
bool XEmbedIconDocked()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWidget* w : widgets) {
        if (w->inherits("QSystemTrayIconSys") && w->isVisible())
            return true;
    }
    return false;
}

} // namespace

TSystemTrayHost::TSystemTrayHost() = default;

TSystemTrayHost::~TSystemTrayHost()
{
    delete FItem.data();
    delete FIcon.data();
}

bool TSystemTrayHost::AreaAvailable()
{
    return TStatusNotifierItem::HostAvailable() || NativeTrayPresent();
}

bool TSystemTrayHost::Add(const TNotifyIconData& data)
{
    FOwner = data.Owner;
    FCallbackMessage = (data.Flags & NotifyIconMessage) ? data.CallbackMessage : 0;
    const QIcon icon = (data.Flags & NotifyIconIcon) ? data.Icon : QIcon();
    const QString tip = (data.Flags & NotifyIconTip) ? QString::fromLatin1(data.Tip) : QString();

    // A StatusNotifier watcher first, as desktops that have both kinds prefer
    // it; also while its host is still (re)starting, which is when such a
    // panel's XEmbed tray may already be up: the host shows the item once it
    // is there.
    if (TStatusNotifierItem::WatcherPresent()) {
        if (FIcon && FIcon->isVisible())
            FIcon->hide();
        return AddStatusNotifierItem(icon, tip, data.Menu);
    }
    RemoveStatusNotifierItem();
    if (OnWayland())
        return false;
    // With no tray at all the icon is still made: on X11 Qt docks it by
    // itself as soon as a tray appears.
    return AddNativeIcon(icon, tip) && NativeTrayPresent();
}

bool TSystemTrayHost::AddNativeIcon(const QIcon& icon, const QString& tip)
{
    if (!FIcon) {
        FIcon = new QSystemTrayIcon(QCoreApplication::instance());
        connect(FIcon.data(), &QSystemTrayIcon::activated, this, &TSystemTrayHost::IconActivated);
    }
    FIcon->setIcon(icon);
    FIcon->setToolTip(tip);
    // An icon in an X11 tray is docked again by Qt itself when the tray
    // restarts; registering it once more would leave an empty slot behind in
    // some trays.
    if (FIcon->isVisible() && XEmbedIconDocked())
        return true;
    // Otherwise every add is a fresh registration with the tray (Qt ignores a
    // show() while it thinks the icon is shown).
    if (FIcon->isVisible())
        FIcon->hide();
    FIcon->show();
    return true;
}

bool TSystemTrayHost::Remove(const TNotifyIconData&)
{
    const bool hadItem = FItem && FItem->Registered();
    RemoveStatusNotifierItem();
    if (!FIcon || !FIcon->isVisible())
        return hadItem;
    FIcon->hide();
    return true;
}

void TSystemTrayHost::SetAreaLostHandler(const std::function<void()>& lost)
{
    FAreaLost = lost;
    if (!FAreaLost || FWatchingArea || !QCoreApplication::instance())
        return;
    FWatchingArea = true;
    connect(TTrayHostWatch::Instance(), &TTrayHostWatch::AreaLost, this, [this] {
        if (FAreaLost)
            FAreaLost();
    });
}

bool TSystemTrayHost::AddStatusNotifierItem(const QIcon& icon, const QString& tip, QMenu* menu)
{
    if (!FItem) {
        FItem = new TStatusNotifierItem(this);
        connect(FItem.data(), &TStatusNotifierItem::Activated, this, &TSystemTrayHost::IconActivated);
    }
    FItem->SetIcon(icon);
    FItem->SetToolTip(tip);
    FItem->SetMenu(menu);
    return FItem->Register();
}

void TSystemTrayHost::RemoveStatusNotifierItem()
{
    if (FItem)
        FItem->Unregister();
}

void TSystemTrayHost::IconActivated(QSystemTrayIcon::ActivationReason reason)
{
    const qintptr mouseEvent = TrayMouseEventFor(reason);
    if (FCallbackMessage == 0 || mouseEvent == 0)
        return;
    // A menu with none of our windows shown would open as a window of its own
    // here; the host has the published menu to draw instead.
    if (mouseEvent == TrayRightButtonDown && !WindowSystemTraits().FreeStandingPopups)
        return;
    // Posted, not sent: the handler may remove the icon, and Qt's embedded
    // icon window must not be deleted inside its own mouse press (nor a D-Bus
    // item inside its own method call).
    QMetaObject::invokeMethod(
        this,
        [owner = FOwner, message = FCallbackMessage, mouseEvent] {
            SendTrayMessage(owner, message, mouseEvent);
        },
        Qt::QueuedConnection);
}
