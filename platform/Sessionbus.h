#pragma once
// Whether this process has a session bus to talk to without starting one.
// Asking libdbus for the session bus when none is configured makes it
// autolaunch a private bus daemon on X11, which outlives the program and costs
// start-up time; callers that only look for optional services ask this first.
// Needs nothing of Qt (a start that only hands over asks it before Qt loads).
bool SessionBusKnown();
