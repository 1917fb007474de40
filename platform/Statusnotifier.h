#pragma once
// A notification icon published on the session bus as a StatusNotifierItem.
//
// QSystemTrayIcon asks once per process whether a StatusNotifierWatcher with
// a host is on the bus and keeps the answer. A program started before the
// panel (at logon, say) therefore never uses a host that comes later; on X11
// it can still fall back to an XEmbed tray, elsewhere it has nothing. This
// item fills that gap: it registers with the watcher whenever asked, so an
// icon appears wherever a host exists now.
#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

class QDBusArgument;
class QImage;
class QMenu;
class TDBusMenuExporter;
class TStatusNotifierAdaptor;

// One icon image as the protocol carries it: ARGB32 pixels, each in network
// byte order (alpha first).
struct TSniPixmap
{
    int Width = 0;
    int Height = 0;
    QByteArray Data;
};
using TSniPixmapList = QList<TSniPixmap>;

struct TSniToolTip
{
    QString IconName;
    TSniPixmapList Pixmaps;
    QString Title;
    QString Description;
};

Q_DECLARE_METATYPE(TSniPixmap)
Q_DECLARE_METATYPE(TSniToolTip)

QDBusArgument& operator<<(QDBusArgument& arg, const TSniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& arg, TSniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& arg, const TSniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, TSniToolTip& tip);

// image as the protocol wants it.
TSniPixmap SniPixmapFromImage(const QImage& image);

class TStatusNotifierItem : public QObject
{
    Q_OBJECT
public:
    explicit TStatusNotifierItem(QObject* parent = nullptr);
    ~TStatusNotifierItem() override;

    // Whether the session bus has a StatusNotifierWatcher with a host that
    // shows items. Asks the watcher, waiting half a second at most.
    static bool HostAvailable();
    // Whether a StatusNotifierWatcher is on the session bus at all (a host
    // may still be missing, or starting).
    static bool WatcherPresent();

    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& tip);
    // The menu hosts draw for the item (published over DBusMenu); null for
    // none.
    void SetMenu(QMenu* menu);

    // Publishes the item (once) and registers it with the watcher (every
    // time: a restarted watcher knows nothing of earlier registrations).
    bool Register();
    // Takes the item off the bus; hosts then drop the icon.
    void Unregister();
    bool Registered() const { return FPublished; }

    // Read by the adaptor.
    QString Title() const { return FToolTip; }
    TSniPixmapList Pixmaps() const { return FPixmaps; }
    QString MenuPath() const;

signals:
    // A host reports a click: Trigger (primary), Context or MiddleClick.
    void Activated(QSystemTrayIcon::ActivationReason reason);

private:
    TStatusNotifierAdaptor* FAdaptor = nullptr;
    TDBusMenuExporter* FMenu = nullptr;
    QString FServiceName;
    QString FToolTip;
    TSniPixmapList FPixmaps;
    bool FPublished = false;
};
