#pragma once
// Auto-start at logon: registers the running executable to be started with
// "-autominimize" whenever the user logs on, or removes that registration.
//
// Here the registration is the desktop entry
// $XDG_CONFIG_HOME/autostart/<valueName>.desktop; on Windows it is the value
// <valueName> under HKEY_CURRENT_USER\...\CurrentVersion\Run.
#include <QString>

constexpr char AutoLoadSwitch[] = "-autominimize";

// enable non-zero writes the registration (replacing an existing one); zero
// deletes it (deleting a missing one changes nothing). Returns 0 on success,
// non-zero when the registration could not be written or deleted; nothing
// changes then.
int SetAutoLoad(int enable, const char* valueName);

// Where the registration named valueName lives; empty for an unusable name.
QString AutoLoadEntryPath(const char* valueName);

// The Exec value that starts program with the auto-start switch: the path as
// one double-quoted argument, escaped as desktop entries require.
QString AutoLoadExecLine(const QString& program);
