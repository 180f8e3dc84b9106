#pragma once

#include <QtGlobal>

namespace zelvane {

// How far two runs, an old one of `oldCount` items and a new one of
// `newCount`, keep the same items at their start (head) and, of what is
// left, at their end (tail). `same(oldIndex, newIndex)` says whether two
// items are the same one. What lies between was removed, added or moved.
struct CommonEnds {
    qsizetype head = 0;
    qsizetype tail = 0;
};

template <class Same>
CommonEnds commonEnds(qsizetype oldCount, qsizetype newCount, const Same& same)
{
    CommonEnds ends;
    while (ends.head < oldCount && ends.head < newCount && same(ends.head, ends.head))
        ++ends.head;
    while (ends.tail < oldCount - ends.head && ends.tail < newCount - ends.head &&
           same(oldCount - 1 - ends.tail, newCount - 1 - ends.tail))
        ++ends.tail;
    return ends;
}

}  // namespace zelvane
