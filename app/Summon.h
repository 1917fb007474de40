#pragma once
// What a request from another start (or a desktop shortcut's --toggle) does
// to the running copy's window:
//  - Activate: brings the window forward the way the notification icon's
//    Open does: from the notification area (asking for the password when the
//    settings say so), from a minimised state, or raised when shown;
//  - Toggle: hides a window that is shown and active as a close would (to
//    the notification area, or minimised where there is none), else as
//    Activate;
//  - Probe: nothing (a start with "-autominimize" finds the program running).
// The launcher's permission to take the focus travels with the request.
#include "Activation.h"

class TFormMorvic;

void SummonMorvic(TFormMorvic& form, const TActivationRequest& request);

// Whether Toggle would hide the window now.
bool MorvicShownAndActive(const TFormMorvic& form);
