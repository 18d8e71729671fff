// system.h -- the keyboard, web pages, and giving the event loop a turn during long work.
//
// Promises:
// - Keyboard::ShiftKey() is the Shift key's state at the moment of the call (the test driver
//   may set it); while Shift+Return presses a window's default button, it is true.
// - ShowURL opens the address in the default browser and returns at once; it reports nothing.
//   (FolderItem::Launch, in files.h, opens a file in its default application the same way.)
//   Under the test driver both are recorded instead.
// - RuntimeBackgroundTask lets the event loop repaint windows and run pending timers, at most
//   once every 50 ms; every other call returns at once after reading a coarse monotonic
//   clock, so a loop can call it once per pass at next to no cost. It never delivers user
//   input (keys, mouse, closing a window), so no handler can start while the loop that calls
//   it runs.
#pragma once

#include <string>

namespace rb {

namespace Keyboard {
bool ShiftKey();
} // namespace Keyboard

void ShowURL(const std::string &url);

void RuntimeBackgroundTask();

} // namespace rb
