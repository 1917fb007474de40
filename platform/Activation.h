#pragma once
// What the window system needs to let a window of ours take the focus for a
// request (Instanceclient.h): the launcher's xdg-activation token (Wayland) or
// startup notification id (X11); and keeping a window above the others.
#include "Instanceclient.h"

#include <QMetaType>

class QWidget;

Q_DECLARE_METATYPE(TActivationRequest)

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
