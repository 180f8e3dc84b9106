#include "ImageLRU.h"

#include "PictureBudget.h"

namespace zelvane {

namespace {

// What an entry costs besides its pixels (bookkeeping, a failed decoding).
constexpr qint64 kEntryOverhead = 256;

}  // namespace

ImageLRU::ImageLRU(qint64 budgetBytes, PictureBudget* shared) : m_budget(budgetBytes), m_shared(shared)
{
    if (m_shared)
        m_shared->attach(this);
}

ImageLRU::~ImageLRU()
{
    if (m_shared)
        m_shared->detach(this);
}

quint64 ImageLRU::nextUse()
{
    return m_shared ? m_shared->nextUse() : ++m_uses;
}

const ImageLRUEntry* ImageLRU::find(const QByteArray& key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, *found);
    (*found)->lastUse = nextUse();
    return &(*found)->entry;
}

const ImageLRUEntry* ImageLRU::peek(const QByteArray& key) const
{
    const auto found = m_index.constFind(key);
    return found == m_index.constEnd() ? nullptr : &(*found)->entry;
}

void ImageLRU::erase(Iterator node)
{
    m_bytes -= node->cost;
    if (m_shared)
        m_shared->shrank(node->cost);
    m_index.remove(node->key);
    m_order.erase(node);
}

void ImageLRU::insert(const QByteArray& key, ImageLRUEntry entry)
{
    const qint64 cost = entry.image.sizeInBytes() + kEntryOverhead;
    if (const auto found = m_index.constFind(key); found != m_index.constEnd())
        erase(*found);
    if (cost > m_budget || (m_shared && cost > m_shared->budget()))
        return;
    m_order.push_front(Node{key, std::move(entry), cost, nextUse()});
    m_index.insert(key, m_order.begin());
    m_bytes += cost;
    evictBeyondBudget();
    if (m_shared)
        m_shared->grew(cost);
}

void ImageLRU::removeIf(const std::function<bool(const QByteArray&, const ImageLRUEntry&)>& drop)
{
    for (auto node = m_order.begin(); node != m_order.end();) {
        const auto next = std::next(node);
        if (drop(node->key, node->entry))
            erase(node);
        node = next;
    }
}

void ImageLRU::clear()
{
    removeIf([](const QByteArray&, const ImageLRUEntry&) { return true; });
}

void ImageLRU::evictBeyondBudget()
{
    while (m_bytes > m_budget && !m_order.empty())
        evictOldest();
}

}  // namespace zelvane
