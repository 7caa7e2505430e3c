// Every window of the program, created once at start-up and kept until the
// program ends.
#pragma once

// Creates the main window and every companion window, in the program's fixed
// order; the main window's creation runs its FormCreate.
void CreateApplicationWindows();
// Destroys them in reverse order.
void DestroyApplicationWindows();
