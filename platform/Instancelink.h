#pragma once
// One running copy per user session. The first copy owns the desktop entry's
// id as a name on the session bus and answers org.freedesktop.Application
// there (Activate, Open, ActivateAction "toggle") at the object path made
// from the id ("/example/dremsel/tarvolin"). Without a session bus it holds
// a lock file in a folder of the user's own (in XDG_RUNTIME_DIR, mode 0700)
// and listens on a local socket beside it for one-line requests:
//   ACTIVATE|TOGGLE|PROBE <tab> token <tab> startup id <newline>
// answered "OK" or "ERROR <what>".
//
// A later start hands its request over before it makes its application
// object (HandOver, no Qt event loop needed) and ends when it was taken.
// Otherwise it becomes the running copy: it makes its application object and
// a TInstanceServer, whose Listen() claims the name (a start that loses a
// race for it hands over after all) and then reports every request taken.
//
// Everything that arrives is input from another program: a request is at most
// InstanceRequestMaxBytes long, tokens are checked (ValidActivationId), every
// call and line gets an answer, and nothing waits on the caller.
#include "Activation.h"

#include <QByteArray>
#include <QObject>

#include <memory>

constexpr int InstanceRequestMaxBytes = 1024;

enum class THandOverResult
{
    Handed,        // the running copy took the request
    NoRunningCopy, // this process is to be the running copy
    Failed         // a copy runs but did not take it (Error says why)
};

class TInstanceLink
{
public:
    // appId: the desktop entry's id, a valid bus name ("example.dremsel.tarvolin").
    explicit TInstanceLink(const QByteArray& appId);
    ~TInstanceLink();
    TInstanceLink(const TInstanceLink&) = delete;
    TInstanceLink& operator=(const TInstanceLink&) = delete;

    // Whether the session bus is used (else the local socket).
    bool UsesBus() const { return FUsesBus; }
    QByteArray BusName() const { return FAppId; }
    QByteArray ObjectPath() const;
    // The per-user folder of the lock and the socket (socket mode).
    QByteArray SocketFolder() const { return FFolder; }
    QByteArray SocketPath() const;

    // Hands request to the running copy, waiting at most timeoutMs for its
    // answer. In socket mode NoRunningCopy also means this process now holds
    // the lock, for its TInstanceServer.
    THandOverResult HandOver(const TActivationRequest& request, int timeoutMs = 10000);
    QByteArray Error() const { return FError; }

    // Socket mode: the held lock's descriptor, -1 when none.
    int LockDescriptor() const { return FLockFd; }

private:
    THandOverResult HandOverOnBus(const TActivationRequest& request, int timeoutMs);
    THandOverResult HandOverOnSocket(const TActivationRequest& request, int timeoutMs);
    bool PrepareFolder();

    QByteArray FAppId;
    QByteArray FFolder;
    QByteArray FError;
    bool FUsesBus = false;
    int FLockFd = -1;
};

// The request line of the socket protocol, without its newline; and its
// parser (false for anything malformed: unknown verb, bad ids, wrong fields).
QByteArray InstanceRequestLine(const TActivationRequest& request);
bool ParseInstanceRequestLine(const QByteArray& line, TActivationRequest& request);

class QDBusMessage;
class TInstanceBusObject;
class QSocketNotifier;

class TInstanceServer : public QObject
{
    Q_OBJECT

public:
    explicit TInstanceServer(TInstanceLink& link, QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Claims the bus name, or listens on the socket (the link holds the
    // lock). False when another copy owns the name (hand over instead) or the
    // socket cannot be made (the program then runs on its own).
    bool Listen();

    // A D-Bus call to the object: the reply to send, and whether it carries
    // a request (reported, after the reply, through Requested).
    QDBusMessage Answer(const QDBusMessage& call, TActivationRequest& request, bool& carries);

signals:
    // Emitted from the event loop, after the caller has its answer.
    void Requested(const TActivationRequest& request);

private:
    friend class TInstanceBusObject;
    void AcceptClients();
    void Report(const TActivationRequest& request);

    TInstanceLink& FLink;
    std::unique_ptr<TInstanceBusObject> FBusObject;
    int FListenFd = -1;
    QSocketNotifier* FListenNotifier = nullptr;
};
