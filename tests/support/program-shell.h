// program-shell.h -- the program as _Main starts it, without the event loop, for tests and
// benchmarks: the framework (under its test driver in test mode), the plug-ins from
// bin/plugins, the filled entry-point table, the file types, the App object with its menu bar
// and menu handlers.
#pragma once

// Starts it all the first time; later calls do nothing. Exits the process with a message when
// a plug-in entry point is missing.
void StartProgramShell(bool testMode = true);
