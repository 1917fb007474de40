#pragma once
// Message boxes with a single OK button, the only way the program reports a
// failure to the user. Texts are 8-bit (Latin-1).
//
// Tests install a handler that answers in place of the user, so no modal
// loop runs and nothing waits for a click.
#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;

using TMessageBoxHandler =
    std::function<void(QWidget* owner, const QByteArray& text, const QByteArray& caption)>;

// Shows text under caption with an OK button and returns when it is
// dismissed. owner may be null: the box then belongs to no window.
void ShowMessageBox(QWidget* owner, const QByteArray& text, const QByteArray& caption);

// The width a box needs for the window manager to show caption whole in its
// title bar, with the bar's icon and buttons beside it (an estimate: the
// window manager's font cannot be read).
int MessageBoxTitleWidth(const QString& caption);

// Replaces the box with handler (an empty handler restores the real box).
// Returns the handler that was installed before.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
