#pragma once
// What the window system lets a program do with its own top-level windows.
//
// X11 (and Windows) tell a program where its window is, honour a request to
// minimise it and report the window coming back, and show a menu anywhere on
// the screen. A Wayland compositor keeps window positions to itself, may
// ignore a request to minimise (tiling compositors do) without saying so, and
// places a menu only relative to a window of the program that is on screen,
// and its xdg-shell has no request to keep a window above the others.
class QWidget;

struct TWindowSystemTraits
{
    bool ReportsPosition = true;      // a window's position can be read back and set
    bool ReliableMinimise = true;     // minimising is honoured, and the restore reported
    bool FreeStandingPopups = true;   // a menu can pop up with none of our windows shown
    bool StayOnTop = true;            // a window can ask to stay above the others
};

// The traits of the window system the application runs on.
TWindowSystemTraits WindowSystemTraits();

// Replaces what WindowSystemTraits() answers (tests play another window
// system with it); null goes back to the real one.
void SetWindowSystemTraits(const TWindowSystemTraits* traits);

// A window that was once minimised keeps asking the X11 window manager to map
// it minimised ("iconic" start state in its hints) every time it is shown
// again, although it was restored in between. Call before showing a window
// that must come up in its normal state. Does nothing outside X11.
void ClearIconicStartState(QWidget* window);
