#pragma once
// Hands a web address or a document to the desktop, which opens it in the
// program the user has chosen for it (the browser for web pages and HTML).
#include <QUrl>

#include <functional>

using TShellOpenHandler = std::function<bool(const QUrl&)>;

// Opens url through the desktop, or through the handler installed with
// SetShellOpenHandler. Returns what the desktop reported; callers usually
// ignore it.
bool ShellOpen(const QUrl& url);

// Opens a web address given as 8-bit text.
bool ShellOpenAddress(const char* address);

// Opens a local file; a relative path is taken from the current directory.
bool ShellOpenFile(const QString& path);

// Replaces the desktop with handler (tests use this to see what would be
// opened without starting a browser); an empty handler restores the desktop.
// Returns the handler that was installed before.
TShellOpenHandler SetShellOpenHandler(TShellOpenHandler handler);
