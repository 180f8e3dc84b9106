#include "model/ElementList.h"

#include <algorithm>

namespace zelvane {

ElementList::ElementList(std::initializer_list<VectorElement> elements)
{
    reserve(qsizetype(elements.size()));
    for (const VectorElement& element : elements)
        append(element);
}

QList<VectorElement> ElementList::toList() const
{
    if (m_blocks.size() == 1)
        return m_blocks.constFirst();
    QList<VectorElement> list;
    list.reserve(size());
    for (const QList<VectorElement>& block : m_blocks)
        list.append(block);
    return list;
}

qsizetype ElementList::blockOf(qsizetype i) const
{
    // The first block whose end lies past i.
    return std::upper_bound(m_ends.cbegin(), m_ends.cend(), i) - m_ends.cbegin();
}

const VectorElement& ElementList::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < size());
    const qsizetype b = blockOf(i);
    return m_blocks.at(b).at(i - blockStart(b));
}

VectorElement& ElementList::operator[](qsizetype i)
{
    Q_ASSERT(i >= 0 && i < size());
    const qsizetype b = blockOf(i);
    return m_blocks[b][i - blockStart(b)];
}

void ElementList::appendBlock(QList<VectorElement> block)
{
    if (block.isEmpty())
        return;
    const qsizetype end = size() + block.size();
    m_blocks.append(std::move(block));
    m_ends.append(end);
}

void ElementList::append(const VectorElement& element)
{
    append(VectorElement(element));
}

void ElementList::append(VectorElement&& element)
{
    if (m_blocks.isEmpty() || m_blocks.constLast().size() >= kBlockSize) {
        QList<VectorElement> block;
        block.reserve(kBlockSize);
        block.append(std::move(element));
        appendBlock(std::move(block));
        return;
    }
    m_blocks.last().append(std::move(element));
    m_ends.last() += 1;
}

void ElementList::append(const QList<VectorElement>& elements)
{
    if (elements.size() <= kBlockSize && isEmpty()) {
        // Kept as it is: shared with the list it came from.
        appendBlock(elements);
        return;
    }
    reserve(size() + elements.size());
    for (const VectorElement& element : elements)
        append(element);
}

void ElementList::append(const ElementList& elements)
{
    if (&elements == this) {
        const ElementList copy = elements;
        append(copy);
        return;
    }
    // Whole blocks are shared; a short last block here takes the first
    // block in when both fit in one.
    for (const QList<VectorElement>& block : elements.m_blocks) {
        if (!m_blocks.isEmpty() && m_blocks.constLast().size() + block.size() <= kBlockSize) {
            m_blocks.last().append(block);
            m_ends.last() += block.size();
        } else {
            appendBlock(block);
        }
    }
}

void ElementList::reserve(qsizetype count)
{
    m_blocks.reserve(count / kBlockSize + 1);
    m_ends.reserve(count / kBlockSize + 1);
}

void ElementList::recomputeEnds(qsizetype fromBlock)
{
    m_ends.resize(m_blocks.size());
    qsizetype end = fromBlock == 0 ? 0 : m_ends.at(fromBlock - 1);
    for (qsizetype b = fromBlock; b < m_blocks.size(); ++b) {
        end += m_blocks.at(b).size();
        m_ends[b] = end;
    }
}

void ElementList::rebalance(qsizetype b)
{
    const QList<VectorElement>& block = std::as_const(m_blocks)[b];
    if (block.size() <= 2 * kBlockSize)
        return;
    const qsizetype half = block.size() / 2;
    QList<VectorElement> second = block.mid(half);
    m_blocks[b].resize(half);
    m_blocks.insert(b + 1, std::move(second));
    recomputeEnds(b);
}

void ElementList::insert(qsizetype i, const VectorElement& element)
{
    Q_ASSERT(i >= 0 && i <= size());
    if (i == size()) {
        append(element);
        return;
    }
    const qsizetype b = blockOf(i);
    m_blocks[b].insert(i - blockStart(b), element);
    for (qsizetype k = b; k < m_ends.size(); ++k)
        m_ends[k] += 1;
    rebalance(b);
}

void ElementList::remove(qsizetype i, qsizetype n)
{
    Q_ASSERT(i >= 0 && n >= 0 && i + n <= size());
    if (n <= 0)
        return;
    qsizetype b = blockOf(i);
    const qsizetype firstBlock = b;
    qsizetype left = n;
    qsizetype offset = i - blockStart(b);
    while (left > 0) {
        const qsizetype inBlock = std::min(left, m_blocks.at(b).size() - offset);
        if (offset == 0 && inBlock == m_blocks.at(b).size()) {
            m_blocks.removeAt(b);
        } else {
            m_blocks[b].remove(offset, inBlock);
            ++b;
        }
        left -= inBlock;
        offset = 0;
    }
    recomputeEnds(firstBlock);
}

VectorElement ElementList::takeAt(qsizetype i)
{
    VectorElement taken = at(i);
    remove(i);
    return taken;
}

void ElementList::move(qsizetype from, qsizetype to)
{
    if (from == to)
        return;
    const VectorElement moving = takeAt(from);
    insert(to, moving);
}

void ElementList::clear()
{
    m_blocks.clear();
    m_ends.clear();
}

ElementList ElementList::mid(qsizetype pos, qsizetype length) const
{
    const qsizetype total = size();
    pos = std::clamp<qsizetype>(pos, 0, total);
    const qsizetype end = length < 0 ? total : std::min(total, pos + length);
    ElementList part;
    for (qsizetype b = blockOf(pos); b < m_blocks.size() && blockStart(b) < end; ++b) {
        const qsizetype start = blockStart(b);
        const qsizetype from = std::max(pos, start) - start;
        const qsizetype to = std::min(end, m_ends.at(b)) - start;
        const QList<VectorElement>& block = m_blocks.at(b);
        part.appendBlock(from == 0 && to == block.size() ? block : block.mid(from, to - from));
    }
    return part;
}

bool ElementList::isSharedWith(const ElementList& other) const
{
    if (m_blocks.size() != other.m_blocks.size() || m_ends != other.m_ends)
        return false;
    for (qsizetype b = 0; b < m_blocks.size(); ++b) {
        if (m_blocks.at(b).constData() != other.m_blocks.at(b).constData())
            return false;
    }
    return true;
}

qsizetype ElementList::commonPrefix(const ElementList& a, const ElementList& b)
{
    const qsizetype limit = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < limit) {
        // Blocks starting at the same index and holding the same storage
        // are passed over whole.
        const qsizetype ba = a.blockOf(i);
        const qsizetype bb = b.blockOf(i);
        if (a.blockStart(ba) == i && b.blockStart(bb) == i && a.m_blocks.at(ba).size() == b.m_blocks.at(bb).size() &&
            a.m_blocks.at(ba).constData() == b.m_blocks.at(bb).constData() && i + a.m_blocks.at(ba).size() <= limit) {
            i += a.m_blocks.at(ba).size();
            continue;
        }
        // Element by element to the end of the shorter of the two blocks.
        const qsizetype stop = std::min({limit, a.m_ends.at(ba), b.m_ends.at(bb)});
        const QList<VectorElement>& blockA = a.m_blocks.at(ba);
        const QList<VectorElement>& blockB = b.m_blocks.at(bb);
        const qsizetype startA = a.blockStart(ba);
        const qsizetype startB = b.blockStart(bb);
        for (; i < stop; ++i) {
            if (!(blockA.at(i - startA) == blockB.at(i - startB)))
                return i;
        }
    }
    return i;
}

ElementList::ChangedRun ElementList::changedRun(const ElementList& before, const ElementList& after)
{
    const qsizetype same = commonPrefix(before, after);
    const qsizetype sameEnd = commonSuffix(before, after, std::min(before.size(), after.size()) - same);
    return {same, before.size() - sameEnd, after.size() - sameEnd};
}

qsizetype ElementList::commonSuffix(const ElementList& a, const ElementList& b, qsizetype limit)
{
    limit = std::min({limit, a.size(), b.size()});
    const qsizetype sizeA = a.size();
    const qsizetype sizeB = b.size();
    qsizetype n = 0;  // elements matched from the end
    while (n < limit) {
        const qsizetype lastA = sizeA - 1 - n;
        const qsizetype lastB = sizeB - 1 - n;
        const qsizetype ba = a.blockOf(lastA);
        const qsizetype bb = b.blockOf(lastB);
        const qsizetype lengthA = lastA + 1 - a.blockStart(ba);
        const qsizetype lengthB = lastB + 1 - b.blockStart(bb);
        // Blocks ending at the same distance from the end and holding the
        // same storage are passed over whole.
        if (lengthA == a.m_blocks.at(ba).size() && lengthB == b.m_blocks.at(bb).size() && lengthA == lengthB &&
            a.m_blocks.at(ba).constData() == b.m_blocks.at(bb).constData() && n + lengthA <= limit) {
            n += lengthA;
            continue;
        }
        const qsizetype stop = std::min({limit, n + lengthA, n + lengthB});
        const QList<VectorElement>& blockA = a.m_blocks.at(ba);
        const QList<VectorElement>& blockB = b.m_blocks.at(bb);
        const qsizetype startA = a.blockStart(ba);
        const qsizetype startB = b.blockStart(bb);
        for (; n < stop; ++n) {
            if (!(blockA.at(sizeA - 1 - n - startA) == blockB.at(sizeB - 1 - n - startB)))
                return n;
        }
    }
    return n;
}

bool operator==(const ElementList& a, const ElementList& b)
{
    const qsizetype n = a.size();
    return n == b.size() && ElementList::commonPrefix(a, b) == n;
}

}  // namespace zelvane
