#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelvane {

class PDFCancel;

// Gives up a drawing that runs past a bound: `cancel` (that of the document
// being drawn) is set once `milliseconds` have passed, unless the deadline
// is ended first (or goes). Only the reading of the file then fails, so the
// drawing ends at the next object it reads, and what it drew stays drawn.
class PDFDrawingDeadline {
public:
    PDFDrawingDeadline(PDFCancel& cancel, int milliseconds);
    ~PDFDrawingDeadline();
    PDFDrawingDeadline(const PDFDrawingDeadline&) = delete;
    PDFDrawingDeadline& operator=(const PDFDrawingDeadline&) = delete;

    // The drawing is over: nothing is given up from now on. True when it
    // was given up before.
    bool end();

private:
    std::mutex m_lock;
    std::condition_variable m_ended;
    bool m_over = false;
    bool m_passed = false;
    std::thread m_watch;
};

}  // namespace zelvane
