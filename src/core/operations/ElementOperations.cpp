#include "operations/VectorOperations.h"

#include "operations/ElementFrames.h"

namespace zelvane::VectorOperations {

namespace {

VectorPage* pageAt(VectorDocument& document, qsizetype index)
{
    if (index < 0 || index >= document.pages.size()) {
        return nullptr;
    }
    return &document.pages[index];
}

qsizetype indexOf(const ElementList& elements, const QUuid& id)
{
    qsizetype i = 0;
    for (const VectorElement& element : elements) {
        if (element.id == id) {
            return i;
        }
        ++i;
    }
    return -1;
}

}  // namespace

QUuid addElement(const VectorElement& element, qsizetype pageIndex, VectorDocument& document)
{
    if (VectorPage* page = pageAt(document, pageIndex)) {
        page->elements.append(element);
        document.revision += 1;
    }
    return element.id;
}

void updateElement(const QUuid& id, qsizetype pageIndex, VectorDocument& document,
                   const std::function<void(VectorElement&)>& mutate)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page) {
        return;
    }
    // Found through the shared list; only the block that holds it is copied.
    const qsizetype i = indexOf(page->elements, id);
    if (i >= 0) {
        mutate(page->elements[i]);
        document.revision += 1;
    }
}

void setElementFrames(const QHash<QUuid, VectorRect>& frames, qsizetype pageIndex, VectorDocument& document)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || frames.isEmpty()) {
        return;
    }
    // As updateElement, one element per id (the first) and one revision per
    // element changed, in a single pass over the page.
    QSet<QUuid> done;
    done.reserve(frames.size());
    QList<std::pair<qsizetype, VectorRect>> changes;
    qsizetype i = 0;
    const ElementList& elements = page->elements;
    for (auto it = elements.begin(); it != elements.end() && done.size() < frames.size(); ++it, ++i) {
        const QUuid& id = it->id;
        const auto frame = frames.constFind(id);
        if (frame == frames.constEnd() || done.contains(id)) {
            continue;
        }
        done.insert(id);
        changes.append({i, *frame});
    }
    for (const auto& [index, frame] : changes) {
        page->elements[index].frame = frame;
        document.revision += 1;
    }
}

void deleteElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return;
    }
    // Blocks without a deleted element stay shared with the list before.
    page->elements.removeIf([&](const VectorElement& element) {
        if (!ids.contains(element.id) || element.locked) {
            return false;
        }
        const TextPayload* text = element.text();
        if (const auto printed = text && text->isPDFExtracted ? text->printedPDFBounds() : std::nullopt) {
            page->redactedPDFRects.append(*printed);
        }
        return true;
    });
    document.revision += 1;
}

QSet<QUuid> duplicateElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    QSet<QUuid> created;
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return created;
    }
    const ElementList before = page->elements;
    for (const VectorElement& element : before) {
        if (!ids.contains(element.id)) {
            continue;
        }
        VectorElement copy = element;
        copy.id = QUuid::createUuid();
        copy.frame = VectorRect(element.frame.x + 16, element.frame.y + 16, element.frame.width, element.frame.height);
        if (TextPayload* text = copy.text()) {
            text->isPDFExtracted = false;
            text->originalPDFText.reset();
            text->originalPDFRect.reset();
        }
        page->elements.append(copy);
        created.insert(copy.id);
    }
    if (!created.isEmpty()) {
        document.revision += 1;
    }
    return created;
}

void moveElements(const QSet<QUuid>& ids, const VectorPoint& by, qsizetype pageIndex, VectorDocument& document)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return;
    }
    // Read through the shared list: only the blocks of moved elements are copied.
    QList<qsizetype> moved;
    qsizetype i = 0;
    for (const VectorElement& element : std::as_const(page->elements)) {
        if (ids.contains(element.id) && !element.locked) {
            moved.append(i);
        }
        ++i;
    }
    for (const qsizetype index : moved) {
        VectorElement& element = page->elements[index];
        element.frame = VectorRect(element.frame.x + by.x, element.frame.y + by.y, element.frame.width,
                                   element.frame.height);
    }
    document.revision += 1;
}

namespace {

void restack(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document, bool chosenInFront)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return;
    }
    // The chosen ones are taken out (the blocks without any stay shared)
    // and put back at one end.
    ElementList chosen;
    page->elements.removeIf([&](const VectorElement& element) {
        if (!ids.contains(element.id)) {
            return false;
        }
        chosen.append(element);
        return true;
    });
    if (chosenInFront) {
        page->elements.append(chosen);
    } else {
        chosen.append(page->elements);
        page->elements = std::move(chosen);
    }
    document.revision += 1;
}

}  // namespace

void bringToFront(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    restack(ids, pageIndex, document, true);
}

void sendToBack(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    restack(ids, pageIndex, document, false);
}

}  // namespace zelvane::VectorOperations
