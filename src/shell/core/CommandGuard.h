// The one wrapper every user command runs through: whatever escapes the
// command is shown as a message box and ends that command, so no exception
// ever reaches the window system's event loop.
#pragma once

#include <functional>
#include <utility>

// Runs the command; returns false when it ended by an exception (whose
// message was then shown with an error icon under the program's title).
bool RunCommand(const std::function<void()> &command) noexcept;

// A callable for signal connections that runs `command` guarded.
template <class F> auto Guarded(F command) {
  return [command = std::move(command)]() mutable { RunCommand(command); };
}

// Shows the message of the exception being handled; used by RunCommand and by
// the application's last-resort handler.
void ShowCurrentException() noexcept;
