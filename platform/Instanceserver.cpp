// The running copy's side of the hand-over: org.freedesktop.Application on
// the session bus, and the local socket of the lock's folder.
#include "Instancelink.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const ApplicationInterface = "org.freedesktop.Application";
const char* const InvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr int MaxClients = 16;
constexpr int ClientTimeoutMs = 5000;

// The ids in platform_data (a{sv}); values that are not valid strings are
// ignored, as are keys we do not know.
void ReadPlatformData(const QVariant& data, TActivationRequest& request)
{
    const QDBusArgument map = data.value<QDBusArgument>();
    map.beginMap();
    while (!map.atEnd()) {
        QString key;
        QDBusVariant value;
        map.beginMapEntry();
        map >> key >> value;
        map.endMapEntry();
        if (value.variant().typeId() != QMetaType::QString)
            continue;
        const std::string text = value.variant().toString().toStdString();
        if (!ValidActivationId(text))
            continue;
        if (key == QLatin1String("activation-token"))
            request.Token = text;
        else if (key == QLatin1String("desktop-startup-id"))
            request.StartupId = text;
    }
    map.endMap();
}

// One connection to the socket: a line in, an answer out, then closed.
class TInstanceClient : public QObject
{
public:
    TInstanceClient(int fd, QObject* parent, std::function<void(const TActivationRequest&)> report)
        : QObject(parent)
        , FFd(fd)
        , FReport(std::move(report))
    {
        FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, [this] { Read(); });
        QTimer::singleShot(ClientTimeoutMs, this, [this] { Finish("ERROR timed out"); });
    }
    ~TInstanceClient() override
    {
        if (FFd >= 0)
            ::close(FFd);
    }

private:
    void Read()
    {
        char buffer[InstanceRequestMaxBytes];
        const ssize_t n = ::read(FFd, buffer, size_t(InstanceRequestMaxBytes - FLine.size()));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (n <= 0)
            return Finish(QByteArray());
        FLine.append(buffer, n);
        const int end = FLine.indexOf('\n');
        if (end < 0) {
            if (FLine.size() >= InstanceRequestMaxBytes)
                Finish("ERROR request too long");
            return;
        }
        TActivationRequest request;
        if (!ParseInstanceRequestLine(std::string_view(FLine.constData(), size_t(end)), request))
            return Finish("ERROR bad request");
        Finish("OK");
        FReport(request);
    }

    void Finish(const QByteArray& answer)
    {
        if (FFd < 0)
            return;
        FNotifier->setEnabled(false);
        if (!answer.isEmpty()) {
            const QByteArray line = answer + '\n';
            // A short line on a fresh socket: it fits the socket's buffer.
            [[maybe_unused]] const ssize_t n = ::send(FFd, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        ::close(FFd);
        FFd = -1;
        deleteLater();
    }

    int FFd;
    QByteArray FLine;
    QSocketNotifier* FNotifier = nullptr;
    std::function<void(const TActivationRequest&)> FReport;
};

} // namespace

class TInstanceBusObject : public QDBusVirtualObject
{
public:
    explicit TInstanceBusObject(TInstanceServer& server)
        : FServer(server)
    {
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String(ApplicationInterface))
            return false; // Introspect, Peer and the rest: Qt answers
        TActivationRequest request;
        bool carries = false;
        connection.send(FServer.Answer(message, request, carries));
        if (carries)
            FServer.Report(request);
        return true;
    }

    QString introspect(const QString&) const override
    {
        return QStringLiteral(
            "<interface name=\"org.freedesktop.Application\">"
            "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "<method name=\"Open\"><arg type=\"as\" name=\"uris\" direction=\"in\"/>"
            "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "<method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
            "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
            "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
            "</interface>");
    }

private:
    TInstanceServer& FServer;
};

TInstanceServer::TInstanceServer(TInstanceLink& link, QObject* parent)
    : QObject(parent)
    , FLink(link)
{
    qRegisterMetaType<TActivationRequest>();
}

TInstanceServer::~TInstanceServer()
{
    if (FBusObject) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(QString::fromStdString(FLink.BusName()));
        bus.unregisterObject(QString::fromStdString(FLink.ObjectPath()));
    }
    if (FListenFd >= 0) {
        ::close(FListenFd);
        ::unlink(FLink.SocketPath().c_str());
    }
}

bool TInstanceServer::Listen()
{
    if (FLink.UsesBus() && !ClaimBusName())
        return false; // taken by another copy: hand over
    if (!ListenOnSocket() && FLink.UsesBus())
        FLink.ReleaseLock(); // later starts would wait on a socket nobody answers
    return true;
}

bool TInstanceServer::ClaimBusName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true; // no bus to share: runs on its own
    FBusObject = std::make_unique<TInstanceBusObject>(*this);
    // The object first: a call that comes with the name finds it.
    if (!bus.registerVirtualObject(QString::fromStdString(FLink.ObjectPath()), FBusObject.get())) {
        FBusObject.reset();
        return true;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        QString::fromStdString(FLink.BusName()), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus.unregisterObject(QString::fromStdString(FLink.ObjectPath()));
    FBusObject.reset();
    return !reply.isValid();
}

bool TInstanceServer::ListenOnSocket()
{
    if (FLink.LockDescriptor() < 0 || FLink.SocketFolder().empty())
        return false;
    const std::string path = FLink.SocketPath();
    sockaddr_un address {};
    if (!FLink.SocketAddress(address))
        return false;
    // We hold the lock: whatever is there was left by a copy that ended.
    ::unlink(path.c_str());
    FListenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (FListenFd < 0)
        return false;
    if (::bind(FListenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::chmod(path.c_str(), 0600) != 0 || ::listen(FListenFd, 8) != 0) {
        ::close(FListenFd);
        FListenFd = -1;
        return false;
    }
    FListenNotifier = new QSocketNotifier(FListenFd, QSocketNotifier::Read, this);
    connect(FListenNotifier, &QSocketNotifier::activated, this, &TInstanceServer::AcceptClients);
    return true;
}

QDBusMessage TInstanceServer::Answer(const QDBusMessage& call, TActivationRequest& request, bool& carries)
{
    carries = false;
    const QString method = call.member();
    const QString signature = call.signature();
    const QList<QVariant> args = call.arguments();
    request = TActivationRequest();
    if (method == QLatin1String("Activate") && signature == QLatin1String("a{sv}")) {
        ReadPlatformData(args.at(0), request);
    } else if (method == QLatin1String("Open") && signature == QLatin1String("asa{sv}")) {
        // Nothing to open: bring the window forward all the same.
        ReadPlatformData(args.at(1), request);
    } else if (method == QLatin1String("ActivateAction") && signature == QLatin1String("sava{sv}")) {
        if (args.at(0).toString() != QLatin1String("toggle"))
            return call.createErrorReply(QLatin1String(InvalidArgs), QStringLiteral("No such action"));
        request.Kind = TActivationKind::Toggle;
        ReadPlatformData(args.at(2), request);
    } else if (method == QLatin1String("Activate") || method == QLatin1String("Open")
               || method == QLatin1String("ActivateAction")) {
        return call.createErrorReply(QLatin1String(InvalidArgs), QStringLiteral("Wrong arguments"));
    } else {
        return call.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"));
    }
    carries = true;
    return call.createReply();
}

void TInstanceServer::AcceptClients()
{
    for (;;) {
        const int fd = ::accept4(FListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        ucred peer {};
        socklen_t length = sizeof peer;
        const bool ours = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
        if (!ours || findChildren<QObject*>(QString(), Qt::FindDirectChildrenOnly).size() > MaxClients) {
            ::close(fd);
            continue;
        }
        new TInstanceClient(fd, this, [this](const TActivationRequest& request) { Report(request); });
    }
}

void TInstanceServer::Report(const TActivationRequest& request)
{
    // After the answer is out, and outside the client's handler.
    QTimer::singleShot(0, this, [this, request] { emit Requested(request); });
}
