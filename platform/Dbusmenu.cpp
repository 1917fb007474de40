#include "Dbusmenu.h"

#include <QAction>
#include <QActionEvent>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>

namespace {

void RegisterTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<TDBusMenuLayoutItem>();
        qDBusRegisterMetaType<TDBusMenuItem>();
        qDBusRegisterMetaType<QList<TDBusMenuItem>>();
        qDBusRegisterMetaType<TDBusMenuItemKeys>();
        qDBusRegisterMetaType<QList<TDBusMenuItemKeys>>();
        qDBusRegisterMetaType<TDBusMenuEvent>();
        qDBusRegisterMetaType<QList<TDBusMenuEvent>>();
        qDBusRegisterMetaType<QList<QStringList>>();
        return true;
    }();
    Q_UNUSED(done);
}

// A Qt menu text as DBusMenu labels write it: the mnemonic marked with "_"
// instead of "&", and a literal "_" doubled.
QString LabelFor(const QString& text)
{
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                label += QLatin1Char('&');
                ++i;
            } else {
                label += QLatin1Char('_');
            }
        } else if (c == QLatin1Char('_')) {
            label += QLatin1String("__");
        } else {
            label += c;
        }
    }
    return label;
}

QVariantMap Filtered(const QVariantMap& all, const QStringList& names)
{
    if (names.isEmpty())
        return all;
    QVariantMap some;
    for (const QString& name : names) {
        const auto it = all.constFind(name);
        if (it != all.constEnd())
            some.insert(name, *it);
    }
    return some;
}

// The properties of an entry; those at their protocol default are left out.
QVariantMap ActionProperties(const QAction* action)
{
    QVariantMap p;
    if (action->isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        p.insert(QStringLiteral("label"), LabelFor(action->text()));
        if (action->isCheckable()) {
            p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
            p.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
        }
    }
    if (!action->isEnabled())
        p.insert(QStringLiteral("enabled"), false);
    if (!action->isVisible())
        p.insert(QStringLiteral("visible"), false);
    return p;
}

QVariantMap RootProperties()
{
    return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
}

// Every property the protocol defines, with the value an item that leaves it
// out has.
const QVariantMap& PropertyDefaults()
{
    static const QVariantMap defaults = {
        {QStringLiteral("type"), QStringLiteral("standard")},
        {QStringLiteral("label"), QString()},
        {QStringLiteral("enabled"), true},
        {QStringLiteral("visible"), true},
        {QStringLiteral("icon-name"), QString()},
        {QStringLiteral("icon-data"), QByteArray()},
        {QStringLiteral("shortcut"), QVariant::fromValue(QList<QStringList>())},
        {QStringLiteral("toggle-type"), QString()},
        {QStringLiteral("toggle-state"), -1},
        {QStringLiteral("children-display"), QString()},
        {QStringLiteral("disposition"), QStringLiteral("normal")},
        {QStringLiteral("accessible-desc"), QString()},
    };
    return defaults;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuLayoutItem& item)
{
    arg.beginStructure();
    arg << item.Id << item.Properties;
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const TDBusMenuLayoutItem& child : item.Children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuLayoutItem& item)
{
    arg.beginStructure();
    arg >> item.Id >> item.Properties;
    item.Children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant wrapped;
        arg >> wrapped;
        TDBusMenuLayoutItem child;
        wrapped.variant().value<QDBusArgument>() >> child;
        item.Children.append(child);
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItem& item)
{
    arg.beginStructure();
    arg << item.Id << item.Properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItem& item)
{
    arg.beginStructure();
    arg >> item.Id >> item.Properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItemKeys& keys)
{
    arg.beginStructure();
    arg << keys.Id << keys.Properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItemKeys& keys)
{
    arg.beginStructure();
    arg >> keys.Id >> keys.Properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuEvent& event)
{
    arg.beginStructure();
    arg << event.Id << event.EventId << event.Data << event.Timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuEvent& event)
{
    arg.beginStructure();
    arg >> event.Id >> event.EventId >> event.Data >> event.Timestamp;
    arg.endStructure();
    return arg;
}

// The com.canonical.dbusmenu interface of one exporter. Whatever the caller
// sends, the answer is an error or a reply no larger than the menu.
class TDBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)

public:
    explicit TDBusMenuAdaptor(TDBusMenuExporter* exporter)
        : QDBusAbstractAdaptor(exporter), FExporter(exporter)
    {
        setAutoRelaySignals(false);
        connect(exporter, &TDBusMenuExporter::LayoutChanged, this, &TDBusMenuAdaptor::LayoutUpdated);
    }

    uint Version() const { return 3; }
    QString TextDirection() const
    {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                     : QStringLiteral("ltr");
    }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   TDBusMenuLayoutItem& layout)
    {
        if (!FExporter->HasItem(parentId)) {
            FExporter->Refuse(NoItem(parentId));
            return 0;
        }
        layout = FExporter->Layout(parentId, recursionDepth, propertyNames);
        return FExporter->Revision();
    }

    QList<TDBusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        return FExporter->GroupProperties(ids, propertyNames);
    }

    QDBusVariant GetProperty(int id, const QString& name)
    {
        QVariant value;
        if (!FExporter->HasItem(id))
            FExporter->Refuse(NoItem(id));
        else if (!FExporter->Property(id, name, value))
            FExporter->Refuse(QStringLiteral("No menu item property \"%1\"").arg(name.left(64)));
        // Never an empty variant: Qt cannot send one, and would send nothing.
        return QDBusVariant(value.isValid() ? value : QVariant(QString()));
    }

    void Event(int id, const QString& eventId, const QDBusVariant&, uint)
    {
        if (!FExporter->Event(id, eventId))
            FExporter->Refuse(NoItem(id));
    }

    QList<int> EventGroup(const QList<TDBusMenuEvent>& events)
    {
        QList<int> unknown;
        for (const TDBusMenuEvent& event : events) {
            if (!FExporter->Event(event.Id, event.EventId))
                unknown.append(event.Id);
        }
        if (!events.isEmpty() && unknown.size() == events.size())
            FExporter->Refuse(QStringLiteral("None of the menu items exists"));
        return unknown;
    }

    bool AboutToShow(int id)
    {
        if (!FExporter->HasItem(id))
            FExporter->Refuse(NoItem(id));
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        idErrors.clear();
        for (int id : ids) {
            if (!FExporter->HasItem(id))
                idErrors.append(id);
        }
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const QList<TDBusMenuItem>& updatedProps,
                                const QList<TDBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    static QString NoItem(int id) { return QStringLiteral("No menu item %1").arg(id); }

    TDBusMenuExporter* FExporter;
};

namespace {

// Ids of entries, for the whole run: an id is never given twice, whichever
// exporter asks.
int NewEntryId()
{
    static int last = 0;
    return ++last;
}

bool Clickable(const QAction* action)
{
    return action && !action->isSeparator() && action->isEnabled() && action->isVisible();
}

} // namespace

TDBusMenuExporter::TDBusMenuExporter(QObject* parent) : QObject(parent)
{
    RegisterTypes();
    new TDBusMenuAdaptor(this); // owned by the exporter
}

TDBusMenuExporter::~TDBusMenuExporter()
{
    Unpublish();
}

void TDBusMenuExporter::SetMenu(QMenu* menu)
{
    if (FMenu == menu)
        return;
    if (FMenu)
        FMenu->removeEventFilter(this);
    FMenu = menu;
    if (FMenu)
        FMenu->installEventFilter(this);
    TakeInventory();
    Announce();
}

void TDBusMenuExporter::Announce()
{
    emit LayoutChanged(++FRevision, 0);
}

void TDBusMenuExporter::TakeInventory()
{
    QHash<int, TEntry> entries;
    QHash<const QAction*, int> ids;
    const QList<QAction*> actions = FMenu ? FMenu->actions() : QList<QAction*>();
    for (QAction* action : actions) {
        // The pointer alone could be a new action where an old one was freed.
        int id = FIds.value(action);
        const auto old = FEntries.constFind(id);
        if (id == 0 || old == FEntries.constEnd() || old->Action != action)
            id = NewEntryId();
        entries.insert(id, {action, ActionProperties(action)});
        ids.insert(action, id);
    }
    FEntries = entries;
    FIds = ids;
}

bool TDBusMenuExporter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != FMenu)
        return false;
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
        TakeInventory();
        Announce();
        break;
    case QEvent::ActionChanged: {
        // Only what the host is shown counts: a new tooltip or shortcut
        // changes nothing there.
        const QAction* action = static_cast<QActionEvent*>(event)->action();
        const auto entry = FEntries.find(FIds.value(action));
        if (entry == FEntries.end() || entry->Action != action) {
            TakeInventory();
            Announce();
        } else {
            QVariantMap now = ActionProperties(action);
            if (now != entry->Exported) {
                entry->Exported = std::move(now);
                Announce();
            }
        }
        break;
    }
    default:
        break;
    }
    return false;
}

bool TDBusMenuExporter::Publish(const QString& path)
{
    return Publish(path, QDBusConnection::sessionBus());
}

bool TDBusMenuExporter::Publish(const QString& path, const QDBusConnection& bus)
{
    if (!FPath.isEmpty())
        return FPath == path && FBusName == bus.name();
    QDBusConnection connection(bus);
    if (!connection.isConnected() || !connection.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return false;
    FPath = path;
    FBusName = connection.name();
    return true;
}

void TDBusMenuExporter::Unpublish()
{
    if (FPath.isEmpty())
        return;
    QDBusConnection(FBusName).unregisterObject(FPath);
    FPath.clear();
    FBusName.clear();
}

void TDBusMenuExporter::Refuse(const QString& message) const
{
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
}

QAction* TDBusMenuExporter::Entry(int id) const
{
    if (id == 0 || !FMenu)
        return nullptr;
    const auto entry = FEntries.constFind(id);
    return entry == FEntries.constEnd() ? nullptr : entry->Action.data();
}

int TDBusMenuExporter::IdOf(const QAction* action) const
{
    const int id = FIds.value(action);
    return Entry(id) == action ? id : 0;
}

bool TDBusMenuExporter::HasItem(int id) const
{
    return id == 0 || Entry(id) != nullptr;
}

TDBusMenuLayoutItem TDBusMenuExporter::Layout(int parentId, int depth, const QStringList& names) const
{
    TDBusMenuLayoutItem item;
    item.Id = parentId;
    if (parentId != 0) {
        // The entries have no submenus: an entry is a leaf.
        if (const QAction* action = Entry(parentId))
            item.Properties = Filtered(ActionProperties(action), names);
        return item;
    }
    item.Properties = Filtered(RootProperties(), names);
    if (depth == 0 || !FMenu)
        return item;
    const QList<QAction*> actions = FMenu->actions();
    for (const QAction* action : actions) {
        TDBusMenuLayoutItem child;
        child.Id = IdOf(action);
        if (child.Id == 0)
            continue; // not taken in yet: nothing a host could act on
        child.Properties = Filtered(ActionProperties(action), names);
        item.Children.append(child);
    }
    return item;
}

QList<TDBusMenuItem> TDBusMenuExporter::GroupProperties(const QList<int>& ids, const QStringList& names) const
{
    QList<int> wanted;
    if (ids.isEmpty()) {
        wanted.append(0);
        const QList<QAction*> actions = FMenu ? FMenu->actions() : QList<QAction*>();
        for (const QAction* action : actions) {
            if (const int id = IdOf(action))
                wanted.append(id);
        }
    } else {
        // Each known id once: the set never grows past the menu, however
        // often a call names an id.
        QSet<int> seen;
        for (int id : ids) {
            if (!seen.contains(id) && HasItem(id)) {
                seen.insert(id);
                wanted.append(id);
            }
        }
    }
    QList<TDBusMenuItem> items;
    items.reserve(wanted.size());
    for (int id : std::as_const(wanted)) {
        TDBusMenuItem item;
        item.Id = id;
        ItemProperties(id, names, item.Properties);
        items.append(item);
    }
    return items;
}

bool TDBusMenuExporter::ItemProperties(int id, const QStringList& names, QVariantMap& properties) const
{
    if (id == 0) {
        properties = Filtered(RootProperties(), names);
        return true;
    }
    const QAction* action = Entry(id);
    if (!action)
        return false;
    properties = Filtered(ActionProperties(action), names);
    return true;
}

bool TDBusMenuExporter::Property(int id, const QString& name, QVariant& value) const
{
    const QVariantMap& defaults = PropertyDefaults();
    const auto fallback = defaults.constFind(name);
    QVariantMap properties;
    if (fallback == defaults.constEnd() || !ItemProperties(id, {name}, properties))
        return false;
    value = properties.value(name, *fallback);
    return true;
}

bool TDBusMenuExporter::Event(int id, const QString& eventId)
{
    if (id == 0)
        return true;
    QAction* action = Entry(id);
    if (!action)
        return false;
    // Triggered once control is back in the event loop, and at most once per
    // entry however many clicks a caller sends before then.
    if (eventId == QLatin1String("clicked") && Clickable(action) && !FClicksPending.contains(id)) {
        FClicksPending.insert(id);
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                FClicksPending.remove(id);
                // Still the same entry, and still something to click.
                QAction* now = Entry(id);
                if (Clickable(now))
                    now->trigger();
            },
            Qt::QueuedConnection);
    }
    return true;
}

#include "Dbusmenu.moc"
