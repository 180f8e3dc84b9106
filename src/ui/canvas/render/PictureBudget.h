#pragma once

#include <QList>
#include <QtGlobal>

namespace zelvane {

class ImageLRU;

// One byte budget for every picture cache of the window: the render cache's
// backdrops and artwork, the page cards' thumbnails and the library's
// miniatures. Past the budget, the picture least recently used in any of
// them goes first, so a cache that is not in use (the cards while a single
// page is edited) gives its memory to the one that is. Main thread only.
class PictureBudget {
public:
    static constexpr qint64 kDefaultBytes = 80LL * 1024 * 1024;

    explicit PictureBudget(qint64 bytes = kDefaultBytes) : m_budget(bytes) {}
    PictureBudget(const PictureBudget&) = delete;
    PictureBudget& operator=(const PictureBudget&) = delete;

    // The budget of the window's caches.
    static PictureBudget& shared();

    qint64 budget() const { return m_budget; }
    // The bytes held by all the caches sharing the budget.
    qint64 bytes() const { return m_bytes; }

    // A stamp later than every earlier one: when a picture was last used.
    quint64 nextUse() { return ++m_uses; }

private:
    friend class ImageLRU;
    void attach(ImageLRU* cache);
    void detach(ImageLRU* cache);
    void grew(qint64 bytes);
    void shrank(qint64 bytes) { m_bytes -= bytes; }

    qint64 m_budget;
    qint64 m_bytes = 0;
    quint64 m_uses = 0;
    QList<ImageLRU*> m_caches;
};

}  // namespace zelvane
