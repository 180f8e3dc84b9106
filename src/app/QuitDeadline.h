#pragma once

namespace zelvane::QuitDeadline {

// Once a quit has finished what it must (the saves being written), what is
// left is tearing down: threads still drawing or importing in the
// background are no reason to keep the program running. This ends the
// process with `status` `milliseconds` from now, output flushed, should it
// not have ended by then; it returns at once.
void arm(int status, int milliseconds);

}  // namespace zelvane::QuitDeadline
