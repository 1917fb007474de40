#pragma once
// A menu published on the session bus as a DBusMenu (com.canonical.dbusmenu),
// the form in which StatusNotifier hosts (KDE, Xfce, the GNOME AppIndicator
// extension, waybar, ...) read an icon's menu and draw it themselves.
//
// The items are the actions of one QMenu, in order: a separator, or an entry
// with its text, enabled, visible and check state. Item 0 is the menu itself.
// When the host reports an entry clicked, its action is triggered once control
// is back in the event loop: the action may take the icon (and this menu) off
// the bus, which must not happen inside the host's call.
#include <QDBusVariant>
#include <QList>
#include <QMenu>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusArgument;

// One item and, to the depth asked for, its children: (ia{sv}av).
struct TDBusMenuLayoutItem
{
    int Id = 0;
    QVariantMap Properties;
    QList<TDBusMenuLayoutItem> Children;
};

// One item's properties: (ia{sv}).
struct TDBusMenuItem
{
    int Id = 0;
    QVariantMap Properties;
};

// Names of properties an item no longer has: (ias).
struct TDBusMenuItemKeys
{
    int Id = 0;
    QStringList Properties;
};

// One event of EventGroup: (isvu).
struct TDBusMenuEvent
{
    int Id = 0;
    QString EventId;
    QDBusVariant Data;
    uint Timestamp = 0;
};

Q_DECLARE_METATYPE(TDBusMenuLayoutItem)
Q_DECLARE_METATYPE(TDBusMenuItem)
Q_DECLARE_METATYPE(TDBusMenuItemKeys)
Q_DECLARE_METATYPE(TDBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuEvent& event);

class TDBusMenuExporter : public QObject
{
    Q_OBJECT
public:
    explicit TDBusMenuExporter(QObject* parent = nullptr);
    ~TDBusMenuExporter() override;

    // The menu shown; null shows an empty one.
    void SetMenu(QMenu* menu);
    QMenu* Menu() const { return FMenu.data(); }

    // Puts the menu on the session bus at path (once), or takes it off.
    bool Publish(const QString& path);
    void Unpublish();
    QString Path() const { return FPath; }

    // What the host asks, answered from the menu as it is now. The revision
    // grows with every change of the menu.
    uint Revision() const { return FRevision; }
    TDBusMenuLayoutItem Layout(int parentId, int depth, const QStringList& names) const;
    // Properties of item id, only those named (all for an empty list); false
    // for an id the menu does not have.
    bool ItemProperties(int id, const QStringList& names, QVariantMap& properties) const;
    // The host reports an event on item id ("clicked", "hovered", "opened",
    // "closed"). False for an id the menu does not have.
    bool Event(int id, const QString& eventId);

signals:
    void LayoutChanged(uint revision, int parentId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The action of entry id (the first is 1); null for the menu itself (0)
    // and for an id the menu does not have.
    QAction* Entry(int id) const;

    QPointer<QMenu> FMenu;
    QString FPath;
    uint FRevision = 1;
};
