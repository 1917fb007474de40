#include "Statusnotifier.h"

#include "Dbusmenu.h"
#include "Sessionbus.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QImage>
#include <QtEndian>

namespace {

constexpr const char* WatcherService = "org.kde.StatusNotifierWatcher";
constexpr const char* WatcherPath = "/StatusNotifierWatcher";
constexpr const char* WatcherInterface = "org.kde.StatusNotifierWatcher";
constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* MenuObjectPath = "/MenuBar";
constexpr const char* NoMenuPath = "/NO_DBUSMENU";
constexpr int WatcherTimeoutMs = 500;

void RegisterTypes()
{
    static bool done = false;
    if (done)
        return;
    qDBusRegisterMetaType<TSniPixmap>();
    qDBusRegisterMetaType<TSniPixmapList>();
    qDBusRegisterMetaType<TSniToolTip>();
    done = true;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& arg, const TSniPixmap& pixmap)
{
    arg.beginStructure();
    arg << pixmap.Width << pixmap.Height << pixmap.Data;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TSniPixmap& pixmap)
{
    arg.beginStructure();
    arg >> pixmap.Width >> pixmap.Height >> pixmap.Data;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TSniToolTip& tip)
{
    arg.beginStructure();
    arg << tip.IconName << tip.Pixmaps << tip.Title << tip.Description;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TSniToolTip& tip)
{
    arg.beginStructure();
    arg >> tip.IconName >> tip.Pixmaps >> tip.Title >> tip.Description;
    arg.endStructure();
    return arg;
}

TSniPixmap SniPixmapFromImage(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    TSniPixmap pixmap;
    pixmap.Width = argb.width();
    pixmap.Height = argb.height();
    pixmap.Data.resize(qsizetype(argb.width()) * argb.height() * 4);
    uchar* out = reinterpret_cast<uchar*>(pixmap.Data.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            qToBigEndian(line[x], out);
            out += 4;
        }
    }
    return pixmap;
}

// The org.kde.StatusNotifierItem interface of one item.
class TStatusNotifierAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconName READ EmptyName)
    Q_PROPERTY(TSniPixmapList IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ EmptyName)
    Q_PROPERTY(TSniPixmapList OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ EmptyName)
    Q_PROPERTY(TSniPixmapList AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ EmptyName)
    Q_PROPERTY(TSniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)

public:
    explicit TStatusNotifierAdaptor(TStatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), FItem(item)
    {
    }

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const
    {
        const QString name = QCoreApplication::applicationName();
        return name.isEmpty() ? QStringLiteral("tarvolin") : name;
    }
    QString Title() const { return FItem->Title(); }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString EmptyName() const { return QString(); }
    TSniPixmapList IconPixmap() const { return FItem->Pixmaps(); }
    TSniPixmapList NoPixmaps() const { return {}; }
    TSniToolTip ToolTip() const
    {
        TSniToolTip tip;
        tip.Title = FItem->Title();
        return tip;
    }
    bool ItemIsMenu() const { return false; }
    QDBusObjectPath Menu() const { return QDBusObjectPath(FItem->MenuPath()); }

public slots:
    void Activate(int, int) { emit FItem->Activated(QSystemTrayIcon::Trigger); }
    void SecondaryActivate(int, int) { emit FItem->Activated(QSystemTrayIcon::MiddleClick); }
    // Hosts that cannot draw the menu themselves ask the program to show it.
    void ContextMenu(int, int) { emit FItem->Activated(QSystemTrayIcon::Context); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    TStatusNotifierItem* FItem;
};

TStatusNotifierItem::TStatusNotifierItem(QObject* parent)
    : QObject(parent)
{
    RegisterTypes();
    FAdaptor = new TStatusNotifierAdaptor(this);
    FMenu = new TDBusMenuExporter(this);
}

TStatusNotifierItem::~TStatusNotifierItem()
{
    Unregister();
}

bool TStatusNotifierItem::WatcherPresent()
{
    if (!SessionBusKnown())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()
        && bus.interface()->isServiceRegistered(QLatin1String(WatcherService));
}

bool TStatusNotifierItem::HostAvailable()
{
    if (!WatcherPresent())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(WatcherService), QLatin1String(WatcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(WatcherInterface) << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, WatcherTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

void TStatusNotifierItem::SetIcon(const QIcon& icon)
{
    FPixmaps.clear();
    for (int size : {16, 22, 32, 48}) {
        const QPixmap pixmap = icon.pixmap(size, size);
        if (!pixmap.isNull())
            FPixmaps.append(SniPixmapFromImage(pixmap.toImage()));
    }
    if (FPublished)
        emit FAdaptor->NewIcon();
}

void TStatusNotifierItem::SetMenu(QMenu* menu)
{
    FMenu->SetMenu(menu);
}

QString TStatusNotifierItem::MenuPath() const
{
    return FMenu->Menu() && !FMenu->Path().isEmpty() ? FMenu->Path() : QLatin1String(NoMenuPath);
}

void TStatusNotifierItem::SetToolTip(const QString& tip)
{
    FToolTip = tip;
    if (FPublished) {
        emit FAdaptor->NewTitle();
        emit FAdaptor->NewToolTip();
    }
}

bool TStatusNotifierItem::Register()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!FPublished) {
        if (!bus.registerObject(QLatin1String(ItemPath), this, QDBusConnection::ExportAdaptors))
            return false;
        // Before the item is announced, so a host finds the menu at once.
        FMenu->Publish(QLatin1String(MenuObjectPath));
        // The name hosts expect for an item; the connection's own name works
        // with every host when that one is taken.
        static int serial = 0;
        const QString name = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++serial);
        FServiceName = bus.registerService(name) ? name : bus.baseService();
        FPublished = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(WatcherService), QLatin1String(WatcherPath), QLatin1String(WatcherInterface),
        QStringLiteral("RegisterStatusNotifierItem"));
    call << FServiceName;
    const QDBusMessage reply = bus.call(call, QDBus::Block, WatcherTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void TStatusNotifierItem::Unregister()
{
    if (!FPublished)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QLatin1String(ItemPath));
    FMenu->Unpublish();
    if (FServiceName != bus.baseService())
        bus.unregisterService(FServiceName);
    FServiceName.clear();
    FPublished = false;
}

#include "Statusnotifier.moc"
