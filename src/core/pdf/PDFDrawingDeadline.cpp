#include "pdf/PDFDrawingDeadline.h"

#include "Localization.h"
#include "pdf/PDFCancel.h"

#include <QStringList>

#include <atomic>
#include <chrono>

namespace zelvane {

namespace {

std::atomic<int> g_pageDrawingBoundMs{kPageDrawingBoundMs};

}  // namespace

int pageDrawingBoundMs()
{
    return g_pageDrawingBoundMs.load(std::memory_order_relaxed);
}

void setPageDrawingBoundMs(int milliseconds)
{
    g_pageDrawingBoundMs.store(milliseconds, std::memory_order_relaxed);
}

QString pagesCutShortNote(const QList<qsizetype>& pages, CutShortUse use)
{
    if (pages.isEmpty())
        return {};
    QStringList numbers;
    for (const qsizetype page : pages)
        numbers.append(QString::number(page + 1));
    const QString list = numbers.join(QStringLiteral(", "));
    const bool read = use == CutShortUse::read;
    if (pages.size() == 1)
        return L(QStringLiteral("le dessin de la page ") + list
                     + (read ? QStringLiteral(" prenait trop de temps et a été arrêté : ses lignes sont mesurées "
                                              "sur ce qui en a été dessiné")
                             : QStringLiteral(" prenait trop de temps et a été arrêté : elle est écrite telle "
                                              "qu'elle était dessinée jusque-là")),
                 QStringLiteral("drawing page ") + list
                     + (read ? QStringLiteral(" took too long and was stopped: its lines are measured as far as it was drawn")
                             : QStringLiteral(" took too long and was stopped: it is written as far as it was drawn")));
    return L(QStringLiteral("le dessin des pages ") + list
                 + (read ? QStringLiteral(" prenait trop de temps et a été arrêté : leurs lignes sont mesurées "
                                          "sur ce qui en a été dessiné")
                         : QStringLiteral(" prenait trop de temps et a été arrêté : elles sont écrites telles "
                                          "qu'elles étaient dessinées jusque-là")),
             QStringLiteral("drawing pages ") + list
                 + (read ? QStringLiteral(" took too long and was stopped: their lines are measured as far as they were drawn")
                         : QStringLiteral(" took too long and was stopped: they are written as far as they were drawn")));
}

PDFDrawingDeadline::PDFDrawingDeadline(PDFCancel& cancel, int milliseconds)
{
    m_watch = std::thread([this, &cancel, milliseconds] {
        std::unique_lock lock(m_lock);
        if (m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_over; }))
            return;
        m_passed = true;
        cancel.cancel();
    });
}

PDFDrawingDeadline::~PDFDrawingDeadline()
{
    end();
}

bool PDFDrawingDeadline::end()
{
    {
        std::lock_guard lock(m_lock);
        m_over = true;
    }
    m_ended.notify_all();
    if (m_watch.joinable())
        m_watch.join();
    return m_passed;
}

}  // namespace zelvane
