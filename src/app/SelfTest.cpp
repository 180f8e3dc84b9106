#include "SelfTest.h"

#include "HeadlessRuntime.h"

namespace zelvane::SelfTest {

void runAndExit()
{
    HeadlessRuntime::finish(
        HeadlessRuntime::failure(QStringLiteral("--self-test needs the editor window, which this build does not have yet")));
}

}  // namespace zelvane::SelfTest
