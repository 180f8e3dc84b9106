#include "model/VectorDocumentHistory.h"

namespace zelvane {

void VectorDocumentHistory::record(const VectorDocument& before)
{
    m_undoStack.append(before);
    const qsizetype depth = std::max(m_maxDepth, 0);
    if (m_undoStack.size() > depth) {
        m_undoStack.remove(0, m_undoStack.size() - depth);
    }
    m_redoStack.clear();
}

std::optional<VectorDocument> VectorDocumentHistory::undo(const VectorDocument& current)
{
    if (m_undoStack.isEmpty()) {
        return std::nullopt;
    }
    VectorDocument previous = m_undoStack.takeLast();
    m_redoStack.append(current);
    return previous;
}

std::optional<VectorDocument> VectorDocumentHistory::redo(const VectorDocument& current)
{
    if (m_redoStack.isEmpty()) {
        return std::nullopt;
    }
    VectorDocument next = m_redoStack.takeLast();
    m_undoStack.append(current);
    return next;
}

void VectorDocumentHistory::retitle(const QString& title)
{
    for (QList<VectorDocument>* stack : {&m_undoStack, &m_redoStack}) {
        for (VectorDocument& snapshot : *stack)
            snapshot.title = title;
    }
}

void VectorDocumentHistory::relocate(const VectorDocument& written, const std::optional<QUrl>& fileURL,
                                     DocumentSourceFormat format)
{
    for (QList<VectorDocument>* stack : {&m_undoStack, &m_redoStack}) {
        for (VectorDocument& snapshot : *stack) {
            VectorDocument same = written;
            same.revision = snapshot.revision;
            if (snapshot == same) {
                snapshot.fileURL = fileURL;
                snapshot.sourceFormat = format;
            }
        }
    }
}

void VectorDocumentHistory::rehome(const std::optional<QUrl>& fileURL, DocumentSourceFormat format)
{
    for (QList<VectorDocument>* stack : {&m_undoStack, &m_redoStack}) {
        for (VectorDocument& snapshot : *stack) {
            snapshot.fileURL = fileURL;
            snapshot.sourceFormat = format;
        }
    }
}

void VectorDocumentHistory::clear()
{
    m_undoStack.clear();
    m_redoStack.clear();
}

}  // namespace zelvane
