#pragma once

#include "HeadlessRuntime.h"

#include <QByteArray>
#include <QSize>
#include <functional>
#include <optional>

namespace zelvane {

class AppModel;

namespace SelfTest {

// What the run uses from outside; the defaults are the real ones. Tests
// replace one to see how the run reports a failure.
struct Dependencies {
    // The raw bytes of the two-page sample PDF; may throw.
    std::function<QByteArray()> samplePDF;
    // The offscreen PNG of the main window for a model at a size in points.
    std::function<std::optional<QByteArray>(AppModel&, QSize)> windowSnapshot;
};

Dependencies defaultDependencies();

// Runs the seventeen end-to-end checks on a model of its own (no services,
// no persistence) and returns what is printed and the status.
HeadlessOutcome run(const Dependencies& dependencies);

// Runs the checks with the real dependencies and ends the process.
[[noreturn]] void runAndExit();

}  // namespace SelfTest

}  // namespace zelvane
