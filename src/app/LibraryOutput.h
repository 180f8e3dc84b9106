#pragma once

namespace zelvane::LibraryOutput {

// The headless modes print one error line on failure and nothing on
// success, yet some libraries write to the process's standard error on their
// own (poppler's cairo backend prints lines such as "some font thing failed"
// straight to it). This points descriptor 2 at /dev/null for the rest of the
// process; the mode's own lines go to standardError(). With the logging rule
// "zelvane.library.debug=true" nothing is redirected, so those lines can be
// seen when wanted. Safe to call more than once.
void silenceLibraries();

// For the window, which runs long and still prints its own Qt warnings:
// descriptor 2 is led into a pipe whose lines a thread of its own hands to
// the debug log (category "zelvane.library", shown with the logging rule
// "zelvane.library.debug=true"), and Qt's messages are written to the real
// standard error. Safe to call more than once; after silenceLibraries() it
// does nothing.
void routeLibrariesToDebugLog();

// A descriptor that reaches the process's real standard error.
int standardError();

}  // namespace zelvane::LibraryOutput
