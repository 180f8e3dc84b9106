#include "PictureBudget.h"

#include "ImageLRU.h"

namespace zelvane {

PictureBudget& PictureBudget::shared()
{
    static PictureBudget budget;
    return budget;
}

void PictureBudget::attach(ImageLRU* cache)
{
    m_caches.append(cache);
    m_bytes += cache->bytes();
}

void PictureBudget::detach(ImageLRU* cache)
{
    m_caches.removeOne(cache);
    m_bytes -= cache->bytes();
}

void PictureBudget::grew(qint64 bytes)
{
    m_bytes += bytes;
    // The least recently used picture of all goes first.
    while (m_bytes > m_budget) {
        ImageLRU* oldest = nullptr;
        for (ImageLRU* cache : std::as_const(m_caches)) {
            if (cache->count() > 0 && (!oldest || cache->oldestUse() < oldest->oldestUse()))
                oldest = cache;
        }
        if (!oldest)
            break;
        oldest->evictOldest();
    }
}

}  // namespace zelvane
