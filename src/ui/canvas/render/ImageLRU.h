#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <functional>
#include <list>

namespace zelvane {

class PictureBudget;

// One stored image of the render cache. `pinned` holds the bytes that the
// key names by address: while the entry lives, those bytes cannot be freed
// and their address taken by other content, so an address in a key always
// means the same content.
struct ImageLRUEntry {
    // Null for a decoding that failed (kept so it is not tried every frame).
    QImage image;
    QByteArray pinned;
    // Backdrop rasters: the source they belong to, the page's full size in
    // pixels at their resolution and the part of it they hold.
    QByteArray group;
    QSize fullPixels;
    QRect pixelRect;
    // What the image was made from, for stores that keep one image per key
    // and replace it when that changes (a page's content revision).
    quint64 version = 0;
};

// Images by key, least recently used first out once their bytes pass the
// budget, its own and, when it shares one, the budget of all the window's
// picture caches. An image larger than the whole budget is not kept.
class ImageLRU {
public:
    explicit ImageLRU(qint64 budgetBytes, PictureBudget* shared = nullptr);
    ~ImageLRU();
    ImageLRU(const ImageLRU&) = delete;
    ImageLRU& operator=(const ImageLRU&) = delete;

    // Marks the entry as just used.
    const ImageLRUEntry* find(const QByteArray& key);
    const ImageLRUEntry* peek(const QByteArray& key) const;
    void insert(const QByteArray& key, ImageLRUEntry entry);
    // Drops the entries for which `drop(key, entry)` holds.
    void removeIf(const std::function<bool(const QByteArray&, const ImageLRUEntry&)>& drop);
    void clear();

    template <class F>
    void forEach(F&& visit) const
    {
        for (const Node& node : m_order)
            visit(node.entry);
    }

    qint64 bytes() const { return m_bytes; }
    qint64 budget() const { return m_budget; }
    qsizetype count() const { return m_index.size(); }

private:
    friend class PictureBudget;
    struct Node {
        QByteArray key;
        ImageLRUEntry entry;
        qint64 cost = 0;
        quint64 lastUse = 0;
    };
    using Iterator = std::list<Node>::iterator;
    quint64 nextUse();
    void erase(Iterator node);
    void evictBeyondBudget();
    // For the shared budget: when the least recently used entry was used,
    // and dropping it.
    quint64 oldestUse() const { return m_order.back().lastUse; }
    void evictOldest() { erase(std::prev(m_order.end())); }

    qint64 m_budget;
    PictureBudget* m_shared;
    qint64 m_bytes = 0;
    quint64 m_uses = 0;
    // Most recently used first.
    std::list<Node> m_order;
    QHash<QByteArray, Iterator> m_index;
};

}  // namespace zelvane
