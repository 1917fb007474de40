#pragma once
// Between the `tarvolin` executable and the program library it loads.
//
// The executable is small: a start that only hands its request to the copy
// that runs already (a second start, a desktop shortcut's --toggle) ends
// before the program's Qt libraries are ever loaded. Any other start loads
// the program library, which holds everything else, and runs its entry with
// what the executable already did.
#include "Instanceclient.h"

struct TProgramLaunch
{
    // Set when the executable has asked for a running copy and found none:
    // the link (with the lock it may hold) and this start's request, whose
    // ids are already out of the environment.
    TInstanceLink* Link = nullptr;
    TActivationRequest Start;
};

// The program library's entry, exported under this name.
#define TARVOLIN_PROGRAM_ENTRY "TarvolinProgramMain"
using TProgramEntry = int (*)(int argc, char** argv, TProgramLaunch* launch);
