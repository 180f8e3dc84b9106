#pragma once

namespace zelvane::EditorLaunch {

// The interactive run: the application with its dark theme, one model with
// services and persistence, the main window, the file named on the command
// line opened once the window shows, and the event loop until the window
// closes or SIGTERM or SIGINT arrives; then the servers stop. Returns the
// exit status; without a usable display it prints one "error: " line and
// returns 1.
int run(int& argc, char** argv);

}  // namespace zelvane::EditorLaunch
