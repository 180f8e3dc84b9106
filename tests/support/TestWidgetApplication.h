#pragma once

#include <QApplication>
#include <QCoreApplication>

namespace zelvane::testing {

// The offscreen widget application that window tests need, made once per
// test process with the editor's style and palette and kept for its rest.
// False when another kind of application object exists already.
bool ensureTestWidgetApplication();

}  // namespace zelvane::testing
