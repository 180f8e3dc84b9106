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
    const QList<VectorElement>& elements = page->elements;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (elements[i].id == id) {
            mutate(page->elements[i]);
            document.revision += 1;
            return;
        }
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
    for (qsizetype i = 0; i < page->elements.size() && done.size() < frames.size(); ++i) {
        const QUuid& id = std::as_const(page->elements)[i].id;
        const auto frame = frames.constFind(id);
        if (frame == frames.constEnd() || done.contains(id)) {
            continue;
        }
        done.insert(id);
        page->elements[i].frame = *frame;
        document.revision += 1;
    }
}

void deleteElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return;
    }
    QList<VectorElement> kept;
    kept.reserve(page->elements.size());
    for (const VectorElement& element : std::as_const(page->elements)) {
        if (!ids.contains(element.id) || element.locked) {
            kept.append(element);
            continue;
        }
        const TextPayload* text = element.text();
        if (const auto printed = text && text->isPDFExtracted ? text->printedPDFBounds() : std::nullopt) {
            page->redactedPDFRects.append(*printed);
        }
    }
    page->elements = std::move(kept);
    document.revision += 1;
}

QSet<QUuid> duplicateElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document)
{
    QSet<QUuid> created;
    VectorPage* page = pageAt(document, pageIndex);
    if (!page || ids.isEmpty()) {
        return created;
    }
    const QList<VectorElement> before = page->elements;
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
    for (VectorElement& element : page->elements) {
        if (ids.contains(element.id) && !element.locked) {
            element.frame = VectorRect(element.frame.x + by.x, element.frame.y + by.y, element.frame.width,
                                       element.frame.height);
        }
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
    QList<VectorElement> chosen;
    QList<VectorElement> others;
    for (const VectorElement& element : std::as_const(page->elements)) {
        (ids.contains(element.id) ? chosen : others).append(element);
    }
    page->elements = chosenInFront ? others + chosen : chosen + others;
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
