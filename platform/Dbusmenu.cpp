#include "Dbusmenu.h"

#include <QAction>
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

// The com.canonical.dbusmenu interface of one exporter.
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
        layout = FExporter->Layout(parentId, recursionDepth, propertyNames);
        return FExporter->Revision();
    }

    QList<TDBusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        QList<TDBusMenuItem> items;
        for (int id : ids) {
            TDBusMenuItem item;
            item.Id = id;
            if (FExporter->ItemProperties(id, propertyNames, item.Properties))
                items.append(item);
        }
        return items;
    }

    QDBusVariant GetProperty(int id, const QString& name)
    {
        QVariantMap properties;
        FExporter->ItemProperties(id, {name}, properties);
        return QDBusVariant(properties.value(name));
    }

    void Event(int id, const QString& eventId, const QDBusVariant&, uint)
    {
        FExporter->Event(id, eventId);
    }

    QList<int> EventGroup(const QList<TDBusMenuEvent>& events)
    {
        QList<int> unknown;
        for (const TDBusMenuEvent& event : events) {
            if (!FExporter->Event(event.Id, event.EventId))
                unknown.append(event.Id);
        }
        return unknown;
    }

    bool AboutToShow(int) { return false; }

    QList<int> AboutToShowGroup(const QList<int>&, QList<int>& idErrors)
    {
        idErrors.clear();
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const QList<TDBusMenuItem>& updatedProps,
                                const QList<TDBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    TDBusMenuExporter* FExporter;
};

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
    emit LayoutChanged(++FRevision, 0);
}

bool TDBusMenuExporter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FMenu) {
        switch (event->type()) {
        case QEvent::ActionAdded:
        case QEvent::ActionChanged:
        case QEvent::ActionRemoved:
            emit LayoutChanged(++FRevision, 0);
            break;
        default:
            break;
        }
    }
    return false;
}

bool TDBusMenuExporter::Publish(const QString& path)
{
    if (!FPath.isEmpty())
        return FPath == path;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return false;
    FPath = path;
    return true;
}

void TDBusMenuExporter::Unpublish()
{
    if (FPath.isEmpty())
        return;
    QDBusConnection::sessionBus().unregisterObject(FPath);
    FPath.clear();
}

QAction* TDBusMenuExporter::Entry(int id) const
{
    const QList<QAction*> actions = FMenu ? FMenu->actions() : QList<QAction*>();
    return id > 0 && id <= actions.size() ? actions.at(id - 1) : nullptr;
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
    for (int i = 0; i < actions.size(); ++i) {
        TDBusMenuLayoutItem child;
        child.Id = i + 1;
        child.Properties = Filtered(ActionProperties(actions.at(i)), names);
        item.Children.append(child);
    }
    return item;
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

bool TDBusMenuExporter::Event(int id, const QString& eventId)
{
    if (id == 0)
        return true;
    QAction* action = Entry(id);
    if (!action)
        return false;
    if (eventId == QLatin1String("clicked") && !action->isSeparator() && action->isEnabled()
        && action->isVisible()) {
        QPointer<QAction> alive(action);
        QMetaObject::invokeMethod(
            this,
            [alive] {
                if (alive)
                    alive->trigger();
            },
            Qt::QueuedConnection);
    }
    return true;
}

#include "Dbusmenu.moc"
