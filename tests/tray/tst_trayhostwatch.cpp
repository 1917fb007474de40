// Registered messages, the "TaskbarCreated" broadcast, the X11 announcement
// check and the delivery of the icon's messages to the owner window.
#include "Dbuspeer.h"
#include "Dbusmenu.h"
#include "Statusnotifier.h"
#include "Trayhostwatch.h"
#include "Trayicon.h"
#include "Windowsystem.h"

#include <QApplication>
#include <QDBusArgument>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

#include <cstring>
#include <random>

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

// A host's calls to a published menu of "Open", a separator and "Quit". Ids
// in calls and answers are written as places: 1 to 3 the entries, 0 the
// menu, any other number an id the menu does not have.
class TMenuHost
{
public:
    TMenuHost()
    {
        FMenu.addAction(QStringLiteral("Open"));
        FMenu.addSeparator();
        FMenu.addAction(QStringLiteral("Quit"));
        FExporter.SetMenu(&FMenu);
        if (FPeer.Ready())
            FExporter.Publish(QStringLiteral("/MenuBar"), FPeer.Server());
    }

    bool Ready() const { return FPeer.Ready() && !FExporter.Path().isEmpty(); }

    // "error", "no reply", or for a reply the places it names, the value it
    // gives, or "ok".
    QString Ask(const QString& method, QVariantList args)
    {
        for (QVariant& arg : args) {
            if (arg.metaType() == QMetaType::fromType<int>()) {
                arg = Id(arg.toInt());
            } else if (arg.metaType() == QMetaType::fromType<QList<int>>()) {
                QList<int> ids = arg.value<QList<int>>();
                for (int& id : ids)
                    id = Id(id);
                arg = QVariant::fromValue(ids);
            }
        }
        QDBusMessage call = QDBusMessage::createMethodCall(QString(), QStringLiteral("/MenuBar"),
                                                           QStringLiteral("com.canonical.dbusmenu"), method);
        call.setArguments(args);
        const QDBusMessage reply = FPeer.Call(call);
        if (reply.type() == QDBusMessage::ErrorMessage)
            return reply.errorName().endsWith(QLatin1String("NoReply")) ? "no reply" : "error";
        const QVariant out = reply.arguments().value(method == QLatin1String("AboutToShowGroup") ? 1 : 0);
        QList<int> ids;
        if (method == QLatin1String("GetProperty"))
            return out.value<QDBusVariant>().variant().toString();
        if (method == QLatin1String("GetGroupProperties")) {
            for (const TDBusMenuItem& item : qdbus_cast<QList<TDBusMenuItem>>(out))
                ids.append(item.Id);
        } else if (method == QLatin1String("AboutToShowGroup")) {
            ids = qdbus_cast<QList<int>>(out);
        } else {
            return QStringLiteral("ok");
        }
        QStringList places;
        for (int id : std::as_const(ids))
            places.append(QString::number(Place(id)));
        return places.join(QLatin1Char(','));
    }

private:
    int Id(int place) const
    {
        return place >= 1 && place <= 3 ? FExporter.IdOf(FMenu.actions().at(place - 1)) : place;
    }
    int Place(int id) const
    {
        for (int place = 1; place <= 3; ++place) {
            if (Id(place) == id)
                return place;
        }
        return id;
    }

    TDBusPeer FPeer;
    QMenu FMenu;
    TDBusMenuExporter FExporter;
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

    void trayManagerWindowDestroyed()
    {
        quint8 ev[32] = {17, 0, 1, 0, 0x11, 0, 0x40, 0, 0x22, 0, 0x40, 0}; // event window, window
        QCOMPARE(X11DestroyedWindow(ev), quint32(0x400022));
        ev[0] = 17 | 0x80; // sent by a client
        QCOMPARE(X11DestroyedWindow(ev), quint32(0x400022));
        ev[0] = 18; // unmap
        QCOMPARE(X11DestroyedWindow(ev), quint32(0));
        QCOMPARE(X11DestroyedWindow(nullptr), quint32(0));
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
        const int separator = exporter.IdOf(menu.actions().at(1));
        const int unknown = 1 << 30;

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
        QVERIFY(exporter.ItemProperties(exporter.IdOf(quit), {}, properties));
        QCOMPARE(properties.value(QStringLiteral("enabled")), QVariant(false));
        QVERIFY(!exporter.ItemProperties(unknown, {}, properties));

        // Clicks trigger from the event loop; separators, disabled entries and
        // unknown ids trigger nothing.
        QSignalSpy opened(open, &QAction::triggered);
        QSignalSpy quitted(quit, &QAction::triggered);
        QVERIFY(exporter.Event(exporter.IdOf(open), QStringLiteral("clicked")));
        QVERIFY(exporter.Event(exporter.IdOf(open), QStringLiteral("hovered")));
        QVERIFY(exporter.Event(separator, QStringLiteral("clicked")));
        QVERIFY(exporter.Event(exporter.IdOf(quit), QStringLiteral("clicked")));
        QVERIFY(!exporter.Event(unknown, QStringLiteral("clicked")));
        QCOMPARE(opened.count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(quitted.count(), 0);
    }

    // Any program on the bus may call the menu: each call gets an answer no
    // larger than the menu, and an error for what the menu does not have.
    void menuAnswersWhatAHostAsks_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("answer");
        const QVariant none = QVariant::fromValue(QStringList());
        const QVariant data = QVariant::fromValue(QDBusVariant(0));
        QTest::newRow("one id named 100,000 times")
            << "GetGroupProperties" << QVariantList{QVariant::fromValue(QList<int>(100000, 1) + QList<int>{0, 777, 1}), none}
            << "1,0";
        QTest::newRow("no ids: every item") << "GetGroupProperties" << QVariantList{QVariant::fromValue(QList<int>()), none}
                                            << "0,1,2,3";
        QTest::newRow("enabled left out: its default") << "GetProperty" << QVariantList{1, "enabled"} << "true";
        QTest::newRow("type left out: its default") << "GetProperty" << QVariantList{3, "type"} << "standard";
        QTest::newRow("toggle-state left out") << "GetProperty" << QVariantList{1, "toggle-state"} << "-1";
        QTest::newRow("unknown property") << "GetProperty" << QVariantList{1, "colour"} << "error";
        QTest::newRow("property of an unknown id") << "GetProperty" << QVariantList{777, "label"} << "error";
        QTest::newRow("layout under an unknown id") << "GetLayout" << QVariantList{777, -1, none} << "error";
        QTest::newRow("event on an unknown id") << "Event" << QVariantList{777, "clicked", data, 0u} << "error";
        TDBusMenuEvent unknown;
        unknown.Id = 777;
        unknown.EventId = QStringLiteral("clicked");
        unknown.Data = QDBusVariant(0);
        QTest::newRow("events on no known id")
            << "EventGroup" << QVariantList{QVariant::fromValue(QList<TDBusMenuEvent>{unknown})} << "error";
        QTest::newRow("about to show an unknown id") << "AboutToShow" << QVariantList{777} << "error";
        QTest::newRow("about to show a group: unknown ids come back")
            << "AboutToShowGroup" << QVariantList{QVariant::fromValue(QList<int>{1, 777, 0})} << "777";
    }

    void menuAnswersWhatAHostAsks()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, args);
        QFETCH(QString, answer);
        TMenuHost host;
        QVERIFY(host.Ready());
        QCOMPARE(host.Ask(method, args), answer);
    }

    // Random edits of a menu against a plain record: an entry keeps its id
    // while in the menu, a new entry gets an id never given before, an id of
    // a removed entry reaches nothing, a click reaches the entry it names,
    // and only changes the host can see are announced.
    void menuIdsFollowTheirEntries()
    {
        QMenu menu;
        TDBusMenuExporter exporter;
        exporter.SetMenu(&menu);
        QSignalSpy announced(&exporter, &TDBusMenuExporter::LayoutChanged);
        QSignalSpy triggered(&menu, &QMenu::triggered);
        QHash<QAction*, int> ids;
        QSet<int> given;
        QList<int> retired;
        std::mt19937 random(19);
        for (int step = 0; step < 300; ++step) {
            const QList<QAction*> actions = menu.actions();
            QAction* some = actions.isEmpty() ? nullptr : actions.at(int(random() % actions.size()));
            const qsizetype before = announced.size();
            bool seen = true;
            switch (some ? random() % 6 : 0) {
            case 0: menu.insertAction(some, new QAction(QString::number(step), &menu)); break;
            case 1:
                retired.append(ids.take(some));
                delete some;
                break;
            case 2: some->setEnabled(!some->isEnabled()); break;
            case 3: some->setText(QStringLiteral("t%1").arg(step)); break;
            case 4:
                some->setToolTip(QStringLiteral("tip %1").arg(step));
                seen = false;
                break;
            case 5: {
                // Two clicks before the event loop runs trigger the entry once.
                triggered.clear();
                const int id = exporter.IdOf(some);
                QVERIFY(exporter.Event(id, QStringLiteral("clicked")));
                QVERIFY(exporter.Event(id, QStringLiteral("clicked")));
                QCoreApplication::processEvents();
                QCOMPARE(triggered.size(), some->isEnabled() ? 1 : 0);
                if (!triggered.isEmpty())
                    QCOMPARE(triggered.at(0).at(0).value<QAction*>(), some);
                seen = false;
                break;
            }
            }
            QCOMPARE(announced.size() - before, seen ? 1 : 0);
            for (QAction* action : menu.actions()) {
                const int id = exporter.IdOf(action);
                QVERIFY(id > 0);
                if (!ids.contains(action)) {
                    QVERIFY(!given.contains(id));
                    given.insert(id);
                    ids.insert(action, id);
                }
                QCOMPARE(id, ids.value(action));
            }
            for (int id : std::as_const(retired)) {
                QVERIFY(!exporter.HasItem(id));
                QVERIFY(!exporter.Event(id, QStringLiteral("clicked")));
            }
        }
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
