#include "QuitDeadline.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace zelvane::QuitDeadline {

void arm(int status, int milliseconds)
{
    // Detached: the process ending first ends the thread with it.
    std::thread([status, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::fflush(nullptr);
        std::_Exit(status);
    }).detach();
}

}  // namespace zelvane::QuitDeadline
