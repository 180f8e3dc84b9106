#include "ImageLRU.h"

namespace zelvane {

namespace {

// What an entry costs besides its pixels (bookkeeping, a failed decoding).
constexpr qint64 kEntryOverhead = 256;

}  // namespace

const ImageLRUEntry* ImageLRU::find(const QByteArray& key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, *found);
    return &(*found)->entry;
}

const ImageLRUEntry* ImageLRU::peek(const QByteArray& key) const
{
    const auto found = m_index.constFind(key);
    return found == m_index.constEnd() ? nullptr : &(*found)->entry;
}

void ImageLRU::insert(const QByteArray& key, ImageLRUEntry entry)
{
    const qint64 cost = entry.image.sizeInBytes() + kEntryOverhead;
    if (const auto found = m_index.constFind(key); found != m_index.constEnd()) {
        m_bytes -= (*found)->cost;
        m_order.erase(*found);
        m_index.remove(key);
    }
    if (cost > m_budget)
        return;
    m_order.push_front(Node{key, std::move(entry), cost});
    m_index.insert(key, m_order.begin());
    m_bytes += cost;
    evictBeyondBudget();
}

void ImageLRU::evictBeyondBudget()
{
    while (m_bytes > m_budget && !m_order.empty()) {
        const Node& last = m_order.back();
        m_bytes -= last.cost;
        m_index.remove(last.key);
        m_order.pop_back();
    }
}

}  // namespace zelvane
