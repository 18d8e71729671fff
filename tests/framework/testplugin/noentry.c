/* noentry.c -- a shared library that is no plug-in: it has no REALPluginMain. */
__attribute__((visibility("default"))) int NotAPluginEntry(void) { return 42; }
