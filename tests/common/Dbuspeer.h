#pragma once
// A D-Bus link to ourselves with no bus daemon: a private server in a
// temporary folder and one client connected to it. Objects are registered on
// Server(), the server's end; Call() sends from the client and waits for the
// answer in the event loop, so objects of this thread can give it. A call
// that is never answered comes back as an error named NoReply once timeoutMs
// have passed.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServer>
#include <QEventLoop>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <optional>

class TDBusPeer
{
public:
    TDBusPeer()
    {
        static int serial = 0;
        FClientName = QStringLiteral("tarvolin-peer-%1").arg(++serial);
        FServer = std::make_unique<QDBusServer>(QStringLiteral("unix:dir=") + FDir.path());
        QObject::connect(FServer.get(), &QDBusServer::newConnection,
                         [this](const QDBusConnection& c) { FServerSide.emplace(c); });
        FServer->setAnonymousAuthenticationAllowed(true);
        const QDBusConnection client = QDBusConnection::connectToPeer(FServer->address(), FClientName);
        if (!client.isConnected())
            return;
        // The server learns of the client from its own thread.
        QEventLoop loop;
        QTimer bound;
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(FServer.get(), &QDBusServer::newConnection, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        bound.start(10000);
        if (!FServerSide)
            loop.exec();
    }

    ~TDBusPeer()
    {
        QDBusConnection::disconnectFromPeer(FClientName);
        if (FServerSide)
            QDBusConnection::disconnectFromPeer(FServerSide->name());
        FServer.reset();
    }

    bool Ready() const { return FServerSide.has_value() && FServerSide->isConnected(); }
    QDBusConnection Server() const { return *FServerSide; }

    QDBusMessage Call(const QDBusMessage& call, int timeoutMs = 10000) const
    {
        QDBusPendingCallWatcher watcher(QDBusConnection(FClientName).asyncCall(call, timeoutMs));
        if (!watcher.isFinished()) {
            QEventLoop loop;
            QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return watcher.reply();
    }

private:
    QTemporaryDir FDir; // outlives the server, whose socket it holds
    std::unique_ptr<QDBusServer> FServer;
    std::optional<QDBusConnection> FServerSide;
    QString FClientName;
};
