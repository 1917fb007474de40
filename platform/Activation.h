#pragma once
// A request from another start of the program to the running copy, and what
// the window system needs to let the running copy's window take the focus.
//
// A launcher hands a program it starts a one-time permission to take the
// focus: on Wayland an xdg-activation token in XDG_ACTIVATION_TOKEN, on X11 a
// startup notification id in DESKTOP_STARTUP_ID (whose "_TIME<n>" part is the
// time of the user's action). A second start passes both on to the running
// copy, which uses them when it brings its window forward.
#include <QByteArray>
#include <QMetaType>

class QWidget;

enum class TActivationKind
{
    Activate, // bring the window forward
    Toggle,   // hide it when it is shown and active, else bring it forward
    Probe     // only ask whether a copy runs (a start with "-autominimize")
};

struct TActivationRequest
{
    TActivationKind Kind = TActivationKind::Activate;
    QByteArray Token;     // xdg-activation token, or empty
    QByteArray StartupId; // X11 startup notification id, or empty
};
Q_DECLARE_METATYPE(TActivationRequest)

// Longest token or startup id taken; longer ones are dropped as a whole.
constexpr int ActivationIdMaxLength = 255;

// Whether text may serve as a token or startup id: 1 to 255 printable ASCII
// characters, no spaces. Anything else arriving from outside is dropped.
bool ValidActivationId(const QByteArray& text);

// The time of the user's action in a startup id ("..._TIME<n>"), 0 if none.
quint32 StartupIdTime(const QByteArray& startupId);

// Takes XDG_ACTIVATION_TOKEN and DESKTOP_STARTUP_ID out of the environment
// (the application object would otherwise change the environment while it
// is made, and a child the program starts must not reuse them) and returns
// them, invalid ones as empty. Call before any other thread runs.
TActivationRequest TakeActivationEnvironment(TActivationKind kind);

// Hands the request's token to the next activation of a window of ours
// (Wayland, where Qt takes it from the environment). Call right before a
// window is shown or activated for the request.
void PrepareActivation(const TActivationRequest& request);

// Asks the window system to give window the focus for request: on X11 with
// the time of the user's action, so that a window manager that prevents
// focus stealing lets it through; elsewhere as Qt does.
void ActivateWindowFor(QWidget* window, const TActivationRequest& request);

// Tells the X11 launcher that the start of the request is complete (its busy
// cursor ends). Does nothing elsewhere, or without a startup id.
void EndStartupNotification(const TActivationRequest& request);

// Keeping a window above the others: X11 window managers honour the request;
// a Wayland compositor's xdg-shell has none.
bool StayOnTopAvailable();
// Sets or clears the request on a window, shown or not, without re-creating
// it (a shown window stays where it is).
void SetStayOnTop(QWidget* window, bool on);
