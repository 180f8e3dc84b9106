#pragma once

#include <QList>
#include <QMetaType>
#include <QUuid>

namespace zelvane {
struct VectorDocument;
}

namespace zelvane {

// What one store of the controller's document changed, for views that cache
// what they draw. `revision` is the controller's content revision after the
// store; it only ever grows, so it never names two different documents.
struct DocumentChange {
    quint64 revision = 0;
    // Pages added, removed or reordered (the sequence of page ids differs).
    bool pageListChanged = false;
    // Ids of the pages, in the new document, whose content differs from the
    // page of the same id before (new pages included). Empty when only the
    // document's own fields (title, file, format) changed.
    QList<QUuid> changedPageIDs;

    bool pageChanged(const QUuid& pageID) const { return changedPageIDs.contains(pageID); }
};

// The change from `before` to `after`, stored at `revision`. `revisions`
// holds one revision per page of `before` on entry and one per page of
// `after` on return: a page keeps its revision when the page of the same id
// in `before` has the same content, and takes `revision` otherwise. With
// `replaced` (a different document), every page counts as changed.
// Pages backed by different PDF bytes count as changed without comparing
// the bytes, so the cost stays small for large documents.
DocumentChange trackDocumentChange(const VectorDocument& before, const VectorDocument& after, quint64 revision,
                                   bool replaced, QList<quint64>& revisions);

}  // namespace zelvane

Q_DECLARE_METATYPE(zelvane::DocumentChange)
