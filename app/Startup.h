// Startup.h -- start-up: the steps that run once, in order, before the event loop.
#pragma once

// Binds the plug-ins, registers the file types, makes the application object with its menu
// bar and menu handlers, and runs the event loop until the user quits. Start-up stops, with a
// message naming it, when a plug-in entry point the program calls is missing.
void _Main();

// The steps of _Main, each run once.
void _InitFileTypes();
void _NewAppInstance();
void _ApplicationAddMenuHandlers();
