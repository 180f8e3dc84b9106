#pragma once

#include "model/VectorElement.h"

#include <QList>
#include <initializer_list>
#include <iterator>

namespace zelvane {

// The elements of a page, in drawing order, stored as a list of blocks of a
// few hundred elements each. Copies share their blocks; changing an element
// copies only the block that holds it (and the short list of blocks), so an
// edit of a page of a million elements, and the undo snapshot kept for it,
// cost what the edit changes. Reads by index find the block by a binary
// search over the blocks' ends; iteration walks block by block.
class ElementList {
public:
    // Blocks are cut at this size when appending and split once an insert
    // makes one twice as large.
    static constexpr qsizetype kBlockSize = 512;

    using value_type = VectorElement;
    using size_type = qsizetype;
    using difference_type = qsizetype;
    using reference = VectorElement&;
    using const_reference = const VectorElement&;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = VectorElement;
        using difference_type = qsizetype;
        using List = std::conditional_t<Const, const ElementList, ElementList>;
        using reference = std::conditional_t<Const, const VectorElement&, VectorElement&>;
        using pointer = std::conditional_t<Const, const VectorElement*, VectorElement*>;

        Iterator() = default;
        Iterator(List* list, qsizetype index) : m_list(list), m_index(index) { locate(); }
        // A mutable iterator reads as a const one.
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& other) : Iterator(other.list(), other.index())
        {
        }

        reference operator*() const
        {
            if constexpr (Const)
                return m_list->m_blocks.at(m_block).at(m_offset);
            else
                return m_list->m_blocks[m_block][m_offset];
        }
        pointer operator->() const { return &**this; }
        reference operator[](qsizetype n) const { return *(*this + n); }

        Iterator& operator++()
        {
            ++m_index;
            if (++m_offset >= blockSize()) {
                ++m_block;
                m_offset = 0;
            }
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++*this;
            return before;
        }
        Iterator& operator--()
        {
            --m_index;
            if (m_offset > 0) {
                --m_offset;
            } else {
                locate();
            }
            return *this;
        }
        Iterator operator--(int)
        {
            Iterator before = *this;
            --*this;
            return before;
        }
        Iterator& operator+=(qsizetype n)
        {
            m_index += n;
            locate();
            return *this;
        }
        Iterator& operator-=(qsizetype n) { return *this += -n; }
        friend Iterator operator+(Iterator it, qsizetype n) { return it += n; }
        friend Iterator operator+(qsizetype n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, qsizetype n) { return it -= n; }
        friend qsizetype operator-(const Iterator& a, const Iterator& b) { return a.m_index - b.m_index; }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_index == b.m_index; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.m_index <=> b.m_index; }

        List* list() const { return m_list; }
        qsizetype index() const { return m_index; }

    private:
        qsizetype blockSize() const
        {
            return m_block < m_list->m_blocks.size() ? m_list->m_blocks.at(m_block).size() : 0;
        }
        void locate()
        {
            if (!m_list)
                return;
            m_block = m_list->blockOf(m_index);
            m_offset = m_block < m_list->m_ends.size() ? m_index - m_list->blockStart(m_block) : 0;
        }

        List* m_list = nullptr;
        qsizetype m_index = 0;
        qsizetype m_block = 0;
        qsizetype m_offset = 0;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    ElementList() = default;
    ElementList(const QList<VectorElement>& elements) { append(elements); }
    ElementList(std::initializer_list<VectorElement> elements);
    // A plain list of the same elements (a copy of every element).
    QList<VectorElement> toList() const;
    explicit operator QList<VectorElement>() const { return toList(); }

    qsizetype size() const { return m_ends.isEmpty() ? 0 : m_ends.constLast(); }
    qsizetype count() const { return size(); }
    qsizetype length() const { return size(); }
    bool isEmpty() const { return size() == 0; }
    bool empty() const { return isEmpty(); }

    const VectorElement& at(qsizetype i) const;
    const VectorElement& operator[](qsizetype i) const { return at(i); }
    // Copies the element's block first when another list shares it.
    VectorElement& operator[](qsizetype i);
    const VectorElement& first() const { return at(0); }
    const VectorElement& last() const { return at(size() - 1); }
    const VectorElement& constFirst() const { return first(); }
    const VectorElement& constLast() const { return last(); }
    const VectorElement& front() const { return first(); }
    const VectorElement& back() const { return last(); }
    VectorElement& first() { return (*this)[0]; }
    VectorElement& last() { return (*this)[size() - 1]; }
    VectorElement value(qsizetype i) const { return i >= 0 && i < size() ? at(i) : VectorElement{}; }

    void append(const VectorElement& element);
    void append(VectorElement&& element);
    void append(const QList<VectorElement>& elements);
    void append(const ElementList& elements);
    void push_back(const VectorElement& element) { append(element); }
    void push_back(VectorElement&& element) { append(std::move(element)); }
    template <class... Args>
    VectorElement& emplace_back(Args&&... args)
    {
        append(VectorElement{std::forward<Args>(args)...});
        return last();
    }
    ElementList& operator<<(const VectorElement& element)
    {
        append(element);
        return *this;
    }
    ElementList& operator+=(const VectorElement& element)
    {
        append(element);
        return *this;
    }
    ElementList& operator+=(const ElementList& elements)
    {
        append(elements);
        return *this;
    }
    friend ElementList operator+(ElementList a, const ElementList& b) { return a += b; }
    // Only the list of blocks is reserved: elements go in blocks of their own.
    void reserve(qsizetype count);
    void squeeze() {}
    qsizetype capacity() const { return size(); }
    void insert(qsizetype i, const VectorElement& element);
    void prepend(const VectorElement& element) { insert(0, element); }
    void removeAt(qsizetype i) { remove(i, 1); }
    void remove(qsizetype i, qsizetype n = 1);
    void removeFirst() { remove(0); }
    void removeLast() { remove(size() - 1); }
    VectorElement takeAt(qsizetype i);
    VectorElement takeFirst() { return takeAt(0); }
    VectorElement takeLast() { return takeAt(size() - 1); }
    void move(qsizetype from, qsizetype to);
    void clear();
    // The elements from `pos`, `length` of them (all to the end when -1).
    ElementList mid(qsizetype pos, qsizetype length = -1) const;
    // Removes the elements for which `matches` holds; blocks without any
    // keep being shared. Returns how many went.
    template <class Predicate>
    qsizetype removeIf(Predicate matches);

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    const_iterator constBegin() const { return begin(); }
    const_iterator constEnd() const { return end(); }
    // Mutable iteration copies each block it passes that is shared.
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, size()); }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }
    const_reverse_iterator crbegin() const { return rbegin(); }
    const_reverse_iterator crend() const { return rend(); }
    reverse_iterator rbegin() { return reverse_iterator(end()); }
    reverse_iterator rend() { return reverse_iterator(begin()); }

    // The blocks, for walks that skip what two lists share.
    qsizetype blockCount() const { return m_blocks.size(); }
    const QList<VectorElement>& block(qsizetype b) const { return m_blocks.at(b); }
    qsizetype blockStart(qsizetype b) const { return b == 0 ? 0 : m_ends.at(b - 1); }
    // The block that holds element `i` (blockCount() past the end).
    qsizetype blockOf(qsizetype i) const;
    // How many leading and trailing elements two lists have in common
    // (together never more than the shorter list holds); shared blocks are
    // skipped without comparing their elements.
    static qsizetype commonPrefix(const ElementList& a, const ElementList& b);
    static qsizetype commonSuffix(const ElementList& a, const ElementList& b, qsizetype limit);
    // What differs between two lists: the elements from `start` to `oldEnd`
    // of `before` stand where `after` has those from `start` to `newEnd`.
    struct ChangedRun {
        qsizetype start = 0;
        qsizetype oldEnd = 0;
        qsizetype newEnd = 0;
        // How many elements the change removes and adds, together.
        qsizetype size() const { return (oldEnd - start) + (newEnd - start); }
    };
    static ChangedRun changedRun(const ElementList& before, const ElementList& after);
    // The two lists share all their storage.
    bool isSharedWith(const ElementList& other) const;

    friend bool operator==(const ElementList& a, const ElementList& b);
    friend bool operator==(const ElementList& a, const QList<VectorElement>& b) { return a == ElementList(b); }

private:
    void appendBlock(QList<VectorElement> block);
    void recomputeEnds(qsizetype fromBlock);
    // Splits block `b` into halves when it grew past twice the block size.
    void rebalance(qsizetype b);

    QList<QList<VectorElement>> m_blocks;
    // The index just past each block's last element.
    QList<qsizetype> m_ends;
};

template <class Predicate>
qsizetype ElementList::removeIf(Predicate matches)
{
    qsizetype removed = 0;
    for (qsizetype b = 0; b < m_blocks.size();) {
        const QList<VectorElement>& block = std::as_const(m_blocks)[b];
        qsizetype first = 0;
        while (first < block.size() && !matches(block.at(first)))
            ++first;
        if (first == block.size()) {
            ++b;
            continue;
        }
        QList<VectorElement> kept;
        kept.reserve(block.size() - 1);
        for (qsizetype i = 0; i < block.size(); ++i) {
            if (i < first || (i > first && !matches(block.at(i))))
                kept.append(block.at(i));
        }
        removed += block.size() - kept.size();
        if (kept.isEmpty()) {
            m_blocks.removeAt(b);
        } else if (b > 0 && m_blocks.at(b - 1).size() + kept.size() <= kBlockSize) {
            // A block left small joins the one before, so that repeated
            // edits do not leave the list in crumbs.
            m_blocks[b - 1].append(kept);
            m_blocks.removeAt(b);
        } else {
            m_blocks[b] = std::move(kept);
            ++b;
        }
    }
    if (removed > 0)
        recomputeEnds(0);
    return removed;
}

}  // namespace zelvane
