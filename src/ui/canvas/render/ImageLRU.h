#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <list>

namespace zelvane {

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
};

// Images by key, least recently used first out once their bytes pass the
// budget. An image larger than the whole budget is not kept.
class ImageLRU {
public:
    explicit ImageLRU(qint64 budgetBytes) : m_budget(budgetBytes) {}

    // Marks the entry as just used.
    const ImageLRUEntry* find(const QByteArray& key);
    const ImageLRUEntry* peek(const QByteArray& key) const;
    void insert(const QByteArray& key, ImageLRUEntry entry);

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
    struct Node {
        QByteArray key;
        ImageLRUEntry entry;
        qint64 cost = 0;
    };
    void evictBeyondBudget();

    qint64 m_budget;
    qint64 m_bytes = 0;
    // Most recently used first.
    std::list<Node> m_order;
    QHash<QByteArray, std::list<Node>::iterator> m_index;
};

}  // namespace zelvane
