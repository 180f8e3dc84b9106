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

// A descriptor that reaches the process's real standard error.
int standardError();

}  // namespace zelvane::LibraryOutput
