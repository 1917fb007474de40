#pragma once
// Where the program and its per-user files live on this system.
#include <QString>

// Full path of the running executable; empty when it cannot be told.
// Tests may replace it with SetModuleFileNameOverride.
QString ModuleFileName();

// Replaces what ModuleFileName returns; an empty path restores the real one.
void SetModuleFileNameOverride(const QString& path);

// The per-user configuration folder: $XDG_CONFIG_HOME when it holds an
// absolute path, else ~/.config. Read afresh on every call.
QString ConfigHome();

// True where the native per-user settings store (QSettings' native format)
// is a plain file that this program creates and may set permissions on;
// false where it is the registry or a system preferences service.
bool NativeSettingsAreFiles();

// Creates path as an empty file readable and writable by its owner only.
// Returns false if the file existed already or could not be created.
bool CreateOwnerOnlyFile(const QString& path);

// Clears the group and other permission bits of an existing file, so a file
// that holds a password stays private. Returns false when that failed.
bool KeepOwnerOnly(const QString& path);
