#pragma once

namespace zelvane::SelfTest {

// Runs the end-to-end self-test and ends the process. It drives the editor's
// window offscreen, which this build does not have yet: it reports that on
// standard error and exits with status 1.
[[noreturn]] void runAndExit();

}  // namespace zelvane::SelfTest
