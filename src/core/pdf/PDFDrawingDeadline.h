#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelvane {

class PDFCancel;

// What a bounded drawing runs under: `reading` is set once it has run for
// `milliseconds`, and `cutShort` counts the drawings so given up.
struct PDFDrawingBound {
    PDFCancel* reading = nullptr;
    int milliseconds = 0;
    int* cutShort = nullptr;
};

// How long a page drawn for the import or an export may be drawn before it
// is given up (kPageDrawingBoundMs unless set, as tests do).
inline constexpr int kPageDrawingBoundMs = 10000;
int pageDrawingBoundMs();
void setPageDrawingBoundMs(int milliseconds);

// What became of pages whose drawing was given up.
enum class CutShortUse { written, read };
// The status line's note on the zero-based `pages` whose drawing was given
// up ("" for none), in the interface language: written (an export) or read
// (the import, whose lines are measured) as far as they were drawn.
QString pagesCutShortNote(const QList<qsizetype>& pages, CutShortUse use);

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
