// Registered messages, the "TaskbarCreated" broadcast, the X11 announcement
// check and the delivery of the icon's messages to the owner window.
#include "Dbusmenu.h"
#include "Statusnotifier.h"
#include "Trayhostwatch.h"
#include "Trayicon.h"
#include "Windowsystem.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

#include <cstring>

namespace {

// Counts the events of one type it receives and handles them.
class TListener : public QWidget
{
public:
    explicit TListener(QEvent::Type type) : FType(type) {}
    int Count = 0;
    TTrayMessage Last;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == FType) {
            ++Count;
            if (FType == TTrayNotifyEvent::EventType()) {
                auto* notify = static_cast<TTrayNotifyEvent*>(e);
                Last = notify->Message;
                notify->Message.Result = 1;
            }
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }

private:
    QEvent::Type FType;
};

// Deletes another window when it hears the broadcast.
class TCloser : public QWidget
{
public:
    explicit TCloser(QEvent::Type type) : FType(type) {}
    QPointer<QWidget> Victim;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != FType)
            return QWidget::event(e);
        delete Victim;
        e->accept();
        return true;
    }

private:
    QEvent::Type FType;
};

constexpr quint32 Manager = 300;
constexpr quint32 TrayS0 = 301;
constexpr quint32 TrayS1 = 302;

} // namespace

class TestTrayHostWatch : public QObject
{
    Q_OBJECT

private slots:
    void registeredMessages()
    {
        const QEvent::Type created = RegisterWindowMessage("TaskbarCreated");
        QVERIFY(created != QEvent::None);
        QCOMPARE(RegisterWindowMessage("TaskbarCreated"), created);
        QCOMPARE(created, TTrayHostWatch::Instance()->MessageType());
        const QEvent::Type other = RegisterWindowMessage("SomethingElse");
        QVERIFY(other != QEvent::None);
        QVERIFY(other != created);
        QCOMPARE(RegisterWindowMessage("SomethingElse"), other);
        QCOMPARE(RegisterWindowMessage(""), QEvent::None);
        QCOMPARE(RegisterWindowMessage(nullptr), QEvent::None);
    }

    void broadcastReachesEveryTopLevelWidget()
    {
        const QEvent::Type created = RegisterWindowMessage("TaskbarCreated");
        TListener shown(created), hidden(created);
        shown.show();
        QWidget bystander;
        QSignalSpy spy(TTrayHostWatch::Instance(), &TTrayHostWatch::TaskbarCreated);
        QCOMPARE(TTrayHostWatch::Instance()->Broadcast(), 2);
        QCOMPARE(shown.Count, 1);
        QCOMPARE(hidden.Count, 1); // a window hidden to the tray must hear it most of all
        QCOMPARE(spy.size(), 1);
    }

    void broadcastSkipsWindowsDeletedByAnEarlierHandler()
    {
        const QEvent::Type created = RegisterWindowMessage("TaskbarCreated");
        QPointer<TCloser> a = new TCloser(created);
        QPointer<TCloser> b = new TCloser(created);
        a->Victim = b.data();
        b->Victim = a.data();
        // Whichever hears it first deletes the other, which must then not be
        // reached.
        QCOMPARE(TTrayHostWatch::Instance()->Broadcast(), 1);
        QCOMPARE(int(!a) + int(!b), 1);
        delete a.data();
        delete b.data();
    }

    void announcementsCoalesce()
    {
        TListener listener(RegisterWindowMessage("TaskbarCreated"));
        TTrayHostWatch* watch = TTrayHostWatch::Instance();
        watch->HostAppeared();
        watch->HostAppeared();
        QCOMPARE(listener.Count, 0); // not from inside the announcing event
        QCoreApplication::processEvents();
        QCOMPARE(listener.Count, 1);
        watch->HostAppeared();
        QCoreApplication::processEvents();
        QCOMPARE(listener.Count, 2);
    }

    void trayManagerAnnouncement_data()
    {
        QTest::addColumn<int>("responseType");
        QTest::addColumn<int>("format");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<quint32>("selection");
        QTest::addColumn<bool>("expected");
        QTest::newRow("screen 0") << 33 << 32 << Manager << TrayS0 << true;
        QTest::newRow("screen 1") << 33 << 32 << Manager << TrayS1 << true;
        QTest::newRow("sent by a client") << (33 | 0x80) << 32 << Manager << TrayS0 << true;
        QTest::newRow("other selection") << 33 << 32 << Manager << quint32(999) << false;
        QTest::newRow("other message") << 33 << 32 << quint32(555) << TrayS0 << false;
        QTest::newRow("8-bit format") << 33 << 8 << Manager << TrayS0 << false;
        QTest::newRow("property notify") << 28 << 32 << Manager << TrayS0 << false;
    }

    void trayManagerAnnouncement()
    {
        QFETCH(int, responseType);
        QFETCH(int, format);
        QFETCH(quint32, type);
        QFETCH(quint32, selection);
        QFETCH(bool, expected);
        TClientMessage ev;
        std::memset(&ev, 0, sizeof ev);
        ev.ResponseType = quint8(responseType);
        ev.Format = quint8(format);
        ev.Type = type;
        ev.Data32[0] = 12345; // timestamp
        ev.Data32[1] = selection;
        ev.Data32[2] = 0x400001; // the manager's window
        QCOMPARE(IsTrayManagerAnnouncement(&ev, Manager, {TrayS0, TrayS1}), expected);
        QVERIFY(!IsTrayManagerAnnouncement(&ev, 0, {TrayS0}));
        QVERIFY(!IsTrayManagerAnnouncement(nullptr, Manager, {TrayS0}));
    }

    void statusNotifierPixelsAlphaFirstBigEndian()
    {
        QImage image(2, 2, QImage::Format_ARGB32);
        image.setPixel(0, 0, 0x80102030u);
        image.setPixel(1, 0, 0xff0000ffu);
        image.setPixel(0, 1, 0x00000000u);
        image.setPixel(1, 1, 0x7fa1b2c3u);
        const TSniPixmap pixmap = SniPixmapFromImage(image);
        QCOMPARE(pixmap.Width, 2);
        QCOMPARE(pixmap.Height, 2);
        QCOMPARE(pixmap.Data.toHex(), QByteArray("80102030ff0000ff000000007fa1b2c3"));
        // Other formats are converted, not reinterpreted.
        QImage rgb(1, 1, QImage::Format_RGB888);
        rgb.setPixel(0, 0, qRgb(1, 2, 3));
        QCOMPARE(SniPixmapFromImage(rgb).Data.toHex(), QByteArray("ff010203"));
    }

    void menuPublishedAsTheHostReadsIt()
    {
        QMenu menu;
        QAction* open = menu.addAction(QStringLiteral("&Open"));
        menu.addSeparator();
        QAction* quit = menu.addAction(QStringLiteral("Save_as && quit"));
        TDBusMenuExporter exporter;
        exporter.SetMenu(&menu);

        const TDBusMenuLayoutItem root = exporter.Layout(0, -1, {});
        QCOMPARE(root.Properties.value(QStringLiteral("children-display")).toString(), QStringLiteral("submenu"));
        QCOMPARE(root.Children.size(), 3);
        QCOMPARE(root.Children.at(0).Properties.value(QStringLiteral("label")).toString(), QStringLiteral("_Open"));
        QCOMPARE(root.Children.at(1).Properties.value(QStringLiteral("type")).toString(), QStringLiteral("separator"));
        QCOMPARE(root.Children.at(2).Properties.value(QStringLiteral("label")).toString(), QStringLiteral("Save__as & quit"));
        QVERIFY(exporter.Layout(0, 0, {}).Children.isEmpty());
        QVERIFY(exporter.Layout(0, -1, {QStringLiteral("label")}).Children.at(1).Properties.isEmpty());

        // A change of an entry is announced with a new revision.
        const uint revision = exporter.Revision();
        quit->setEnabled(false);
        QVERIFY(exporter.Revision() > revision);
        QVariantMap properties;
        QVERIFY(exporter.ItemProperties(3, {}, properties));
        QCOMPARE(properties.value(QStringLiteral("enabled")), QVariant(false));
        QVERIFY(!exporter.ItemProperties(4, {}, properties));

        // Clicks trigger from the event loop; separators, disabled entries and
        // unknown ids trigger nothing.
        QSignalSpy opened(open, &QAction::triggered);
        QSignalSpy quitted(quit, &QAction::triggered);
        QVERIFY(exporter.Event(1, QStringLiteral("clicked")));
        QVERIFY(exporter.Event(1, QStringLiteral("hovered")));
        QVERIFY(exporter.Event(2, QStringLiteral("clicked")));
        QVERIFY(exporter.Event(3, QStringLiteral("clicked")));
        QVERIFY(!exporter.Event(7, QStringLiteral("clicked")));
        QCOMPARE(opened.count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(quitted.count(), 0);
    }

    void systemHostPostsIconEvents_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("freePopups");
        QTest::addColumn<qintptr>("mouseEvent");
        QTest::newRow("click") << int(QSystemTrayIcon::Trigger) << true << TrayLeftButtonDown;
        QTest::newRow("context") << int(QSystemTrayIcon::Context) << true << TrayRightButtonDown;
        QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true << TrayLeftButtonDoubleClick;
        QTest::newRow("middle") << int(QSystemTrayIcon::MiddleClick) << true << TrayMiddleButtonDown;
        // Wayland: a menu with no window shown would become a window of its
        // own; the host draws the published menu instead.
        QTest::newRow("context, no free-standing menus") << int(QSystemTrayIcon::Context) << false << qintptr(0);
        QTest::newRow("click, no free-standing menus") << int(QSystemTrayIcon::Trigger) << false << TrayLeftButtonDown;
    }

    void systemHostPostsIconEvents()
    {
        QFETCH(int, reason);
        QFETCH(bool, freePopups);
        QFETCH(qintptr, mouseEvent);
        TWindowSystemTraits traits;
        traits.FreeStandingPopups = freePopups;
        SetWindowSystemTraits(&traits);
        const auto restore = qScopeGuard([] { SetWindowSystemTraits(nullptr); });
        if (TStatusNotifierItem::HostAvailable())
            QSKIP("a notification host on this session bus takes the icon past QSystemTrayIcon");
        TListener owner(TTrayNotifyEvent::EventType());
        TSystemTrayHost host;
        TNotifyIconData data;
        data.Owner = &owner;
        data.Flags = NotifyIconMessage | NotifyIconIcon | NotifyIconTip;
        data.CallbackMessage = 1125;
        data.SetTip("Tarvolin");
        host.Add(data);
        QSystemTrayIcon* icon = nullptr;
        for (QSystemTrayIcon* i : qApp->findChildren<QSystemTrayIcon*>()) {
            if (i->isVisible())
                icon = i;
        }
        QVERIFY(icon);
        QCOMPARE(icon->toolTip(), QStringLiteral("Tarvolin"));
        emit icon->activated(QSystemTrayIcon::ActivationReason(reason));
        // The handler may remove the icon: it must not run inside the icon's
        // own event.
        QCOMPARE(owner.Count, 0);
        QCoreApplication::processEvents();
        QCOMPARE(owner.Count, mouseEvent ? 1 : 0);
        if (mouseEvent) {
            QCOMPARE(owner.Last.Msg, quint32(1125));
            QCOMPARE(owner.Last.LParam, mouseEvent);
        }
        host.Remove(data);
        QVERIFY(!icon->isVisible());
    }
};

QTEST_MAIN(TestTrayHostWatch)
#include "tst_trayhostwatch.moc"
