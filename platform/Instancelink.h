#pragma once
// The running copy's side of the hand-over (Instanceclient.h has the other
// side and the protocol): it claims the session bus name and answers
// org.freedesktop.Application there, listens on the local socket of the lock
// the link holds, and reports every request taken.
//
// Everything that arrives is input from another program: a request is at most
// InstanceRequestMaxBytes long, tokens are checked (ValidActivationId), every
// call and line gets an answer, and nothing waits on the caller.
#include "Activation.h"
#include "Instanceclient.h"

#include <QObject>

#include <memory>

class QDBusMessage;
class TInstanceBusObject;
class QSocketNotifier;

class TInstanceServer : public QObject
{
    Q_OBJECT

public:
    explicit TInstanceServer(TInstanceLink& link, QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Claims the bus name, and listens on the socket when the link holds the
    // lock. False when another copy owns the name (hand over instead); a bus
    // or socket that cannot be had leaves the program running on its own.
    bool Listen();

    // A D-Bus call to the object: the reply to send, and whether it carries
    // a request (reported, after the reply, through Requested).
    QDBusMessage Answer(const QDBusMessage& call, TActivationRequest& request, bool& carries);

signals:
    // Emitted from the event loop, after the caller has its answer.
    void Requested(const TActivationRequest& request);

private:
    friend class TInstanceBusObject;
    bool ClaimBusName();
    bool ListenOnSocket();
    void AcceptClients();
    void Report(const TActivationRequest& request);

    TInstanceLink& FLink;
    std::unique_ptr<TInstanceBusObject> FBusObject;
    int FListenFd = -1;
    QSocketNotifier* FListenNotifier = nullptr;
};
