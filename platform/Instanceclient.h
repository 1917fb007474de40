#pragma once
// One running copy per user session: the request a later start hands to the
// running copy, and the hand-over itself. Needs nothing of Qt: a start that
// only hands over ends before the program's Qt libraries are loaded.
//
// The first copy owns the desktop entry's id as a name on the session bus and
// answers org.freedesktop.Application there (Activate, Open, ActivateAction
// "toggle") at the object path made from the id ("/example/dremsel/tarvolin").
// It also holds a lock file in a folder of the user's own (in
// XDG_RUNTIME_DIR, mode 0700) and listens on a local socket beside it for
// one-line requests:
//   ACTIVATE|TOGGLE|PROBE <tab> token <tab> startup id <newline>
// answered "OK" or "ERROR <what>" (TInstanceServer, Instancelink.h). A later
// start asks on the socket first, which needs neither libdbus nor Qt, then
// on the bus (a copy without a socket of its own); without a session bus the
// socket is the only way.
//
// A launcher hands a program it starts a one-time permission to take the
// focus: on Wayland an xdg-activation token in XDG_ACTIVATION_TOKEN, on X11 a
// startup notification id in DESKTOP_STARTUP_ID (whose "_TIME<n>" part is the
// time of the user's action). They travel with the request.
#include <cstdint>
#include <string>
#include <string_view>

struct sockaddr_un;

enum class TActivationKind
{
    Activate, // bring the window forward
    Toggle,   // hide it when it is shown and active, else bring it forward
    Probe     // only ask whether a copy runs (a start with "-autominimize")
};

// The request kind of a window start: "--toggle" toggles, "-autominimize"
// only asks whether a copy runs, anything else brings the window forward.
inline TActivationKind WindowStartKind(bool toggle, bool autoMinimize)
{
    return toggle ? TActivationKind::Toggle : autoMinimize ? TActivationKind::Probe : TActivationKind::Activate;
}

struct TActivationRequest
{
    TActivationKind Kind = TActivationKind::Activate;
    std::string Token;     // xdg-activation token, or empty
    std::string StartupId; // X11 startup notification id, or empty
};

// Longest token or startup id taken; longer ones are dropped as a whole.
constexpr int ActivationIdMaxLength = 255;
// Longest request line the socket takes, newline included.
constexpr int InstanceRequestMaxBytes = 1024;

// Whether text may serve as a token or startup id: 1 to 255 printable ASCII
// characters, no spaces. Anything else arriving from outside is dropped.
bool ValidActivationId(std::string_view text);

// The time of the user's action in a startup id ("..._TIME<n>"), 0 if none.
uint32_t StartupIdTime(std::string_view startupId);

// Takes XDG_ACTIVATION_TOKEN and DESKTOP_STARTUP_ID out of the environment
// (the application object would otherwise change the environment while it
// is made, and a child the program starts must not reuse them) and returns
// them, invalid ones as empty. Call before any other thread runs.
TActivationRequest TakeActivationEnvironment(TActivationKind kind);

// The request line of the socket protocol, without its newline; and its
// parser (false for anything malformed: unknown verb, bad ids, wrong fields).
std::string InstanceRequestLine(const TActivationRequest& request);
bool ParseInstanceRequestLine(std::string_view line, TActivationRequest& request);

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
    explicit TInstanceLink(std::string appId);
    ~TInstanceLink();
    TInstanceLink(const TInstanceLink&) = delete;
    TInstanceLink& operator=(const TInstanceLink&) = delete;

    // Whether the session bus is used (else the local socket).
    bool UsesBus() const { return FUsesBus; }
    const std::string& BusName() const { return FAppId; }
    std::string ObjectPath() const;
    // The per-user folder of the lock and the socket (socket mode).
    const std::string& SocketFolder() const { return FFolder; }
    std::string SocketPath() const;
    // Fills address with SocketPath(); false when the path does not fit.
    bool SocketAddress(sockaddr_un& address) const;

    // Hands request to the running copy, on the socket, then on the bus,
    // waiting at most timeoutMs for its answer. NoRunningCopy also means
    // this process now holds the lock (when the folder could be made), for
    // its TInstanceServer.
    THandOverResult HandOver(const TActivationRequest& request, int timeoutMs = 10000);
    // The same on the socket alone (Instancecall.cpp: no libdbus). A copy
    // that runs without a socket is found later, when the program's own
    // claim of the bus name fails (HandOver then).
    THandOverResult HandOverLocally(const TActivationRequest& request, int timeoutMs = 10000);
    const std::string& Error() const { return FError; }

    // The held lock's descriptor, -1 when none.
    int LockDescriptor() const { return FLockFd; }
    // Lets the lock go: later starts then find this copy on the bus only.
    void ReleaseLock();

private:
    THandOverResult HandOverOnBus(const TActivationRequest& request, int timeoutMs);
    THandOverResult HandOverOnSocket(const TActivationRequest& request, int timeoutMs);
    bool PrepareFolder();

    std::string FAppId;
    std::string FFolder;
    std::string FError;
    bool FUsesBus = false;
    int FLockFd = -1;
};
