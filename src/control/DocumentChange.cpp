#include "DocumentChange.h"

#include "model/VectorDocument.h"

#include <QHash>

namespace zelvane {

namespace {

// Equal content, treating PDF backdrops as equal only when they share the
// same bytes (comparing megabytes of PDF on every drag step would be slow).
bool samePageContent(const VectorPage& a, const VectorPage& b)
{
    if (a.pdfPageData.has_value() != b.pdfPageData.has_value())
        return false;
    if (a.pdfPageData && (a.pdfPageData->constData() != b.pdfPageData->constData() ||
                          a.pdfPageData->size() != b.pdfPageData->size()))
        return false;
    // Copies share their lists and strings, so this copies no content; the
    // lists compare by pointer first, so untouched element lists cost nothing.
    VectorPage left = a;
    VectorPage right = b;
    left.pdfPageData.reset();
    right.pdfPageData.reset();
    return left == right;
}

}  // namespace

DocumentChange trackDocumentChange(const VectorDocument& before, const VectorDocument& after, quint64 revision,
                                   bool replaced, QList<quint64>& revisions)
{
    DocumentChange change;
    change.revision = revision;

    QHash<QUuid, qsizetype> indexBefore;
    if (!replaced) {
        for (qsizetype i = before.pages.size() - 1; i >= 0; --i)
            indexBefore.insert(before.pages[i].id, i);
    }

    QList<quint64> next;
    next.reserve(after.pages.size());
    for (const VectorPage& page : after.pages) {
        const qsizetype old = indexBefore.value(page.id, -1);
        if (old >= 0 && old < revisions.size() && samePageContent(before.pages[old], page)) {
            next.append(revisions[old]);
        } else {
            next.append(revision);
            change.changedPageIDs.append(page.id);
        }
    }

    change.pageListChanged = replaced || before.pages.size() != after.pages.size();
    for (qsizetype i = 0; !change.pageListChanged && i < after.pages.size(); ++i)
        change.pageListChanged = before.pages[i].id != after.pages[i].id;

    revisions = std::move(next);
    return change;
}

}  // namespace zelvane
