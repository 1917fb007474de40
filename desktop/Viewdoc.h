#pragma once
// Finds the program's HTML manual on disk and has the desktop open it.
// Texts are 8-bit (Latin-1), zero-terminated.

constexpr int DocPathSize = 1024; // every candidate path is built in a buffer of this size

// Looks for <baseName>.html, then <baseName>.htm, in directory, then in the
// current directory, then in the executable's directory, then in the
// installed documentation folder ../share/doc/tarvolin beside the
// executable's directory, and opens the first that is a file. A null
// directory skips the first place. Unless quiet is non-zero it says "Unable
// to find documentation" when none is found, and "Unable to open
// documentation:" with the manual's path when the desktop had nothing to open
// the one found with. Returns 1 when a manual was found and handed to the
// desktop, 0 otherwise.
int ViewDocumentation(const char* baseName, const char* directory, int quiet);

// dest (DocPathSize bytes) = directory, a '/' unless directory is empty or
// ends in one, then fileName. Returns 1; a result that would not fit leaves
// dest empty and returns 0.
int JoinPath(const char* directory, const char* fileName, char* dest);

// Opens path and returns 1 if it names an existing file (a directory does not
// count), whether or not the desktop could open it; returns 0 otherwise.
int OpenIfExists(const char* path);
