// Every window of the program: the main window first, its companions once
// its first frame is on screen; all kept until the program ends.
#pragma once

#include <functional>

// Creates the main window; its creation runs its FormCreate. beforeFonts, when
// given, runs as the window is about to use its first font (the menus and the
// toolbar are made by then, and no font is used before it).
void CreateMainWindow(const std::function<void()> &beforeFonts = nullptr);
// Creates the companion windows (dialogs and result windows) not made yet, in
// the program's fixed order, and connects them to the main window once. None
// shows in the main window's first frame: the main window makes them right
// after that frame, or at the first command before it.
void CreateCompanionWindows();
// Both, as one step.
void CreateApplicationWindows();
// Destroys them in reverse order.
void DestroyApplicationWindows();
