#pragma once
// A menu published on the session bus as a DBusMenu (com.canonical.dbusmenu),
// the form in which StatusNotifier hosts (KDE, Xfce, the GNOME AppIndicator
// extension, waybar, ...) read an icon's menu and draw it themselves.
//
// The items are the actions of one QMenu, in order: a separator, or an entry
// with its text, enabled, visible and check state. Item 0 is the menu itself;
// an entry's id stays with its action, so a host acting on a layout it read
// before a change can only reach the action it showed, or none.
//
// Any program on the bus may call the menu: every call is answered (an id
// the menu does not have gets an error), no answer holds more items than the
// menu has, and the ids an answer lists as unknown are never more than the
// call named.
//
// When the host reports an entry clicked, its action is triggered once control
// is back in the event loop: the action may take the icon (and this menu) off
// the bus, which must not happen inside the host's call.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QMenu>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSet>
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

class TDBusMenuExporter : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    explicit TDBusMenuExporter(QObject* parent = nullptr);
    ~TDBusMenuExporter() override;

    // The menu shown; null shows an empty one.
    void SetMenu(QMenu* menu);
    QMenu* Menu() const { return FMenu.data(); }

    // Puts the menu at path on the session bus, or on bus (once), or takes it
    // off.
    bool Publish(const QString& path);
    bool Publish(const QString& path, const QDBusConnection& bus);
    void Unpublish();
    QString Path() const { return FPath; }

    // What the host asks, answered from the menu as it is now. The revision
    // grows with every change the host can see.
    uint Revision() const { return FRevision; }
    // The id of an entry's action: given when the action joins the menu,
    // kept while it stays there, never given to another action in this run.
    // 0 for an action the menu does not have.
    int IdOf(const QAction* action) const;
    // Whether id is the menu itself (0) or one of its entries.
    bool HasItem(int id) const;
    // Item parentId and, to the depth asked for, its children; only the
    // properties named (all for an empty list). An id the menu does not have
    // gives an empty item.
    TDBusMenuLayoutItem Layout(int parentId, int depth, const QStringList& names) const;
    // The items of ids (every item for an empty list), each once, in the
    // order first named; ids the menu does not have are left out. Never more
    // items than the menu has, however long the list.
    QList<TDBusMenuItem> GroupProperties(const QList<int>& ids, const QStringList& names) const;
    // Properties of item id, only those named (all for an empty list); those
    // at their default are left out. False for an id the menu does not have.
    bool ItemProperties(int id, const QStringList& names, QVariantMap& properties) const;
    // One property of item id, its default when the item leaves it out.
    // False for an id the menu does not have and for a name the protocol
    // does not define.
    bool Property(int id, const QString& name, QVariant& value) const;
    // The host reports an event on item id ("clicked", "hovered", "opened",
    // "closed"). False for an id the menu does not have.
    bool Event(int id, const QString& eventId);

signals:
    void LayoutChanged(uint revision, int parentId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TDBusMenuAdaptor;

    struct TEntry
    {
        QPointer<QAction> Action;
        QVariantMap Exported; // its properties as the host last saw them
    };

    // The action of entry id; null for the menu itself (0) and for an id the
    // menu does not have.
    QAction* Entry(int id) const;
    // Gives the menu's actions their ids, keeping those they had.
    void TakeInventory();
    void Announce();
    // Turns the D-Bus call being answered into an error reply.
    void Refuse(const QString& message) const;

    QPointer<QMenu> FMenu;
    QString FPath;
    QString FBusName;
    uint FRevision = 1;
    QHash<int, TEntry> FEntries;
    QHash<const QAction*, int> FIds;
    QSet<int> FClicksPending;
};
