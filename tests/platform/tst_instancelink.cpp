// The link between a later start and the running copy, as another program
// of the session can reach it: the D-Bus calls and the socket's lines, every
// one answered; the launcher's ids; and ending signals turned into a Qt
// signal.
#include "Activation.h"
#include "Instancelink.h"
#include "Termination.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <future>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QVariantMap PlatformData(const QVariant& token)
{
    return {{QStringLiteral("activation-token"), token},
            {QStringLiteral("desktop-startup-id"), QStringLiteral("panel-12-host_TIME4711")},
            {QStringLiteral("unknown-key"), 7}};
}

// One line to the socket at path; the answer line, or "" when the server
// closed without one.
QByteArray Exchange(const std::string& path, const QByteArray& data)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    QByteArray answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        [[maybe_unused]] const ssize_t sent = ::send(fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char buffer[256];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            answer.append(buffer, n);
    }
    ::close(fd);
    return answer.trimmed();
}

} // namespace

class TTestInstanceLink : public QObject
{
    Q_OBJECT

private slots:
    void Ids_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint>("time");
        QTest::newRow("startup id") << QByteArray("xfce4-panel/|usr|bin|tarvolin/1-0-host_TIME123456") << true << 123456u;
        QTest::newRow("token") << QByteArray("b4a8d0c2-3f9e") << true << 0u;
        QTest::newRow("empty") << QByteArray() << false << 0u;
        QTest::newRow("space") << QByteArray("a b") << false << 0u;
        QTest::newRow("newline") << QByteArray("a\nb") << false << 0u;
        QTest::newRow("not ASCII") << QByteArray("t\xc3\xa9") << false << 0u;
        QTest::newRow("255 characters") << QByteArray(255, 'x') << true << 0u;
        QTest::newRow("256 characters") << QByteArray(256, 'x') << false << 0u;
        QTest::newRow("time not a number") << QByteArray("a_TIMEx") << true << 0u;
    }

    void Ids()
    {
        QFETCH(QByteArray, id);
        QTEST(ValidActivationId(id.toStdString()), "valid");
        QTEST(uint(StartupIdTime(id.toStdString())), "time");
    }

    // Without a session bus: the first link takes the lock, a second one
    // hands over through the socket; bad lines are answered and change
    // nothing; a later request still goes through.
    void SocketHandOver()
    {
        QTemporaryDir runtime;
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        TInstanceLink first("example.dremsel.tarvolin");
        QVERIFY(!first.UsesBus());
        QCOMPARE(first.HandOver(TActivationRequest()), THandOverResult::NoRunningCopy);
        TInstanceServer server(first);
        QVERIFY(server.Listen());
        QSignalSpy requested(&server, &TInstanceServer::Requested);
        QCOMPARE(QFileInfo(QString::fromStdString(first.SocketFolder())).permissions() & 0x0077, QFileDevice::Permissions());

        const auto exchange = [&](const QByteArray& data) {
            auto answer = std::async(std::launch::async, [&] { return Exchange(first.SocketPath(), data); });
            while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
                QCoreApplication::processEvents();
            return answer.get();
        };
        QCOMPARE(exchange(QByteArray(InstanceRequestMaxBytes + 10, 'A')), QByteArray("ERROR request too long"));
        QCOMPARE(exchange("TOGGLE\tbad token\t\n"), QByteArray("ERROR bad request"));
        QCOMPARE(exchange("ACTIVATE\n"), QByteArray("ERROR bad request"));
        QCOMPARE(exchange(QByteArray("\0\xff\n", 3)), QByteArray("ERROR bad request"));
        QCOMPARE(exchange("ACTIVATE\t\t"), QByteArray()); // closed before the line ended
        QCoreApplication::processEvents();
        QCOMPARE(requested.count(), 0);

        TActivationRequest request;
        request.Kind = TActivationKind::Toggle;
        request.Token = "tok";
        request.StartupId = "id_TIME5";
        TInstanceLink second("example.dremsel.tarvolin");
        auto handed = std::async(std::launch::async, [&] { return second.HandOver(request); });
        while (handed.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        QCOMPARE(handed.get(), THandOverResult::Handed);
        QTRY_COMPARE(requested.count(), 1);
        const auto got = requested.at(0).at(0).value<TActivationRequest>();
        QCOMPARE(got.Kind, request.Kind);
        QVERIFY(got.Token == request.Token);
        QVERIFY(got.StartupId == request.StartupId);
    }

    // On a bus of the test's own: the name is claimed once; calls from
    // another program are all answered, and only well-formed ones carry a
    // request, with only valid string ids.
    void BusCalls_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("error"); // empty: a plain reply
        QTest::addColumn<int>("kind");      // -1: no request
        QTest::addColumn<QByteArray>("token");
        const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
        const int activate = int(TActivationKind::Activate);
        const QVariant noParameter = QVariant::fromValue(QVariantList());
        QTest::newRow("Activate") << "Activate" << QVariantList{PlatformData(QStringLiteral("tok-1"))} << "" << activate
                                  << QByteArray("tok-1");
        QTest::newRow("Activate, no data") << "Activate" << QVariantList{QVariantMap()} << "" << activate << QByteArray();
        QTest::newRow("token not a string") << "Activate" << QVariantList{PlatformData(42)} << "" << activate
                                            << QByteArray();
        QTest::newRow("token too long") << "Activate" << QVariantList{PlatformData(QString(300, QLatin1Char('t')))}
                                        << "" << activate << QByteArray();
        QTest::newRow("Open") << "Open" << QVariantList{QStringList{"file:///x"}, PlatformData(QStringLiteral("t2"))}
                              << "" << activate << QByteArray("t2");
        QTest::newRow("toggle") << "ActivateAction"
                                << QVariantList{QStringLiteral("toggle"), noParameter, PlatformData(QStringLiteral("t3"))}
                                << "" << int(TActivationKind::Toggle) << QByteArray("t3");
        QTest::newRow("unknown action") << "ActivateAction"
                                        << QVariantList{QStringLiteral("quit"), noParameter, QVariantMap()} << invalid
                                        << -1 << QByteArray();
        QTest::newRow("Activate, wrong arguments") << "Activate" << QVariantList{QStringLiteral("x")} << invalid << -1
                                                   << QByteArray();
        QTest::newRow("unknown method") << "Quit" << QVariantList() << "org.freedesktop.DBus.Error.UnknownMethod" << -1
                                        << QByteArray();
    }

    void BusCalls()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, error);
        QFETCH(int, kind);
        QFETCH(QByteArray, token);
        if (!FBusReady)
            QSKIP("no dbus-daemon to run a bus of the test's own");
        QSignalSpy requested(FServer.get(), &TInstanceServer::Requested);
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("example.dremsel.tarvolin"),
            QStringLiteral("/example/dremsel/tarvolin"), QStringLiteral("org.freedesktop.Application"), method);
        call.setArguments(arguments);
        QDBusConnection caller = QDBusConnection::connectToBus(FBusAddress, QStringLiteral("caller"));
        QDBusPendingCall pending = caller.asyncCall(call, 5000);
        QTRY_VERIFY(pending.isFinished());
        QCOMPARE(pending.isError() ? pending.error().name() : QString(), error);
        QCoreApplication::processEvents();
        QCOMPARE(requested.count(), kind < 0 ? 0 : 1);
        if (kind >= 0) {
            const auto got = requested.at(0).at(0).value<TActivationRequest>();
            QCOMPARE(int(got.Kind), kind);
            QCOMPARE(QByteArray::fromStdString(got.Token), token);
            QCOMPARE(got.StartupId, arguments.last().toMap().isEmpty() ? std::string() : std::string("panel-12-host_TIME4711"));
        }
    }

    // A later start finding no socket hands over on the bus with libdbus; a
    // link of another name finds no copy.
    void BusHandOver()
    {
        if (!FBusReady)
            QSKIP("no dbus-daemon to run a bus of the test's own");
        QSignalSpy requested(FServer.get(), &TInstanceServer::Requested);
        TActivationRequest request;
        request.Token = "tok-9";
        TInstanceLink second("example.dremsel.tarvolin");
        QVERIFY(second.UsesBus());
        auto handed = std::async(std::launch::async, [&] { return second.HandOver(request); });
        while (handed.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        QCOMPARE(handed.get(), THandOverResult::Handed);
        QTRY_COMPARE(requested.count(), 1);
        QVERIFY(requested.at(0).at(0).value<TActivationRequest>().Token == request.Token);

        TInstanceLink other("example.dremsel.other");
        QCOMPARE(other.HandOver(request), THandOverResult::NoRunningCopy);
    }

    void EndingSignalsReachTheEventLoop()
    {
        struct sigaction before {};
        ::sigaction(SIGTERM, nullptr, &before);
        auto watch = std::make_unique<TTerminationWatch>();
        QVERIFY(watch->Active());
        QSignalSpy spy(watch.get(), &TTerminationWatch::TerminationRequested);
        ::raise(SIGTERM); // would end the test without the watch
        ::raise(SIGHUP);
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), SIGTERM);
        QCOMPARE(spy.at(1).at(0).toInt(), SIGHUP);
        watch.reset();
        struct sigaction now {};
        ::sigaction(SIGTERM, nullptr, &now);
        QVERIFY(now.sa_handler == before.sa_handler); // the earlier handler is back
    }

    void initTestCase()
    {
        // The bus tests' own session bus, started before anything asks Qt
        // for the session bus.
        FDaemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address")});
        if (FDaemon.waitForStarted(5000) && FDaemon.waitForReadyRead(5000))
            FBusAddress = QString::fromLatin1(FDaemon.readLine().trimmed());
    }

    void cleanupTestCase()
    {
        FServer.reset();
        FFirst.reset();
        FDaemon.kill();
        FDaemon.waitForFinished();
    }

    void init()
    {
        if (FBusReady || FBusAddress.isEmpty() || !QTest::currentTestFunction()
            || !QByteArray(QTest::currentTestFunction()).startsWith("Bus"))
            return;
        qputenv("DBUS_SESSION_BUS_ADDRESS", FBusAddress.toLatin1());
        // No folder for a socket: the bus is the only way between the links.
        qputenv("XDG_RUNTIME_DIR", "/nonexistent/runtime");
        FFirst = std::make_unique<TInstanceLink>("example.dremsel.tarvolin");
        QCOMPARE(FFirst->HandOver(TActivationRequest()), THandOverResult::NoRunningCopy);
        FServer = std::make_unique<TInstanceServer>(*FFirst);
        QVERIFY(FServer->Listen());
        FBusReady = true;
    }

private:
    QProcess FDaemon;
    QString FBusAddress;
    bool FBusReady = false;
    std::unique_ptr<TInstanceLink> FFirst;
    std::unique_ptr<TInstanceServer> FServer;
};

QTEST_GUILESS_MAIN(TTestInstanceLink)
#include "tst_instancelink.moc"
