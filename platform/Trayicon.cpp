#include "Trayicon.h"

#include "Statusnotifier.h"

#include <QApplication>
#include <QCoreApplication>
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

// Whether Qt shows the icon as an embedded window in an X11 tray (its
// fallback when no D-Bus notification host was there at the start).
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
    return QSystemTrayIcon::isSystemTrayAvailable() || TStatusNotifierItem::HostAvailable();
}

bool TSystemTrayHost::Add(const TNotifyIconData& data)
{
    if (!FIcon) {
        FIcon = new QSystemTrayIcon(QCoreApplication::instance());
        connect(FIcon.data(), &QSystemTrayIcon::activated, this, &TSystemTrayHost::IconActivated);
    }
    FOwner = data.Owner;
    FCallbackMessage = (data.Flags & NotifyIconMessage) ? data.CallbackMessage : 0;
    const QIcon icon = (data.Flags & NotifyIconIcon) ? data.Icon : QIcon();
    const QString tip = (data.Flags & NotifyIconTip) ? QString::fromLatin1(data.Tip) : QString();
    FIcon->setIcon(icon);
    FIcon->setToolTip(tip);

    const bool qtArea = QSystemTrayIcon::isSystemTrayAvailable();
    if (!qtArea && TStatusNotifierItem::HostAvailable()) {
        // A host Qt does not know about: publish the item ourselves.
        if (FIcon->isVisible())
            FIcon->hide();
        return AddStatusNotifierItem(icon, tip);
    }
    RemoveStatusNotifierItem();

    // An icon in an X11 tray is docked again by Qt itself when the tray
    // restarts; registering it once more would leave an empty slot behind in
    // some trays.
    if (FIcon->isVisible() && XEmbedIconDocked())
        return true;
    // Otherwise every add is a fresh registration with the area (Qt ignores a
    // show() while it thinks the icon is shown), which is what an add after
    // the area restarted needs. The icon is shown even when no area is there
    // now: on X11 Qt then docks it by itself as soon as a tray appears.
    if (FIcon->isVisible())
        FIcon->hide();
    FIcon->show();
    return qtArea;
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

bool TSystemTrayHost::AddStatusNotifierItem(const QIcon& icon, const QString& tip)
{
    if (!FItem) {
        FItem = new TStatusNotifierItem(this);
        connect(FItem.data(), &TStatusNotifierItem::Activated, this, &TSystemTrayHost::IconActivated);
    }
    FItem->SetIcon(icon);
    FItem->SetToolTip(tip);
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
