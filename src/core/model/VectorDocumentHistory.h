#pragma once

#include "model/VectorDocument.h"

#include <QList>
#include <optional>

namespace zelvane {

// Undo and redo over whole-document snapshots. Snapshots share their storage
// with the live document until it changes, so recording does not deep-copy.
class VectorDocumentHistory {
public:
    explicit VectorDocumentHistory(int maxDepth) : m_maxDepth(maxDepth) {}

    // Keeps the newest maxDepth snapshots and forgets everything undone.
    void record(const VectorDocument& before);
    std::optional<VectorDocument> undo(const VectorDocument& current);
    std::optional<VectorDocument> redo(const VectorDocument& current);
    void clear();
    // Gives every kept snapshot, undone ones included, the document title:
    // a title set outside the history then survives undo and redo.
    void retitle(const QString& title);
    // Gives the kept snapshots that hold `written` (its file, format and
    // content; any revision) the file and format it was saved as, so that
    // undoing back to a saved state finds it saved.
    void relocate(const VectorDocument& written, const std::optional<QUrl>& fileURL, DocumentSourceFormat format);
    // Gives every kept snapshot the file and format the document now lives
    // in (after a save to another file): no undo or redo brings back the
    // file it was saved from before.
    void rehome(const std::optional<QUrl>& fileURL, DocumentSourceFormat format);

    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }
    const QList<VectorDocument>& undoStack() const { return m_undoStack; }
    const QList<VectorDocument>& redoStack() const { return m_redoStack; }
    int maxDepth() const { return m_maxDepth; }

private:
    QList<VectorDocument> m_undoStack;
    QList<VectorDocument> m_redoStack;
    int m_maxDepth;
};

}  // namespace zelvane
