#pragma once

#include "model/VectorElement.h"
#include "model/VectorPage.h"

#include <QHash>
#include <QList>

namespace zelvane {

// The element counts of a document, kept for each block of its pages'
// elements (by where the block's storage lives; the block is held so that
// place is not reused), so that counting a document again after an edit
// counts only the blocks the edit made anew. A tally may be filled on one
// thread and handed to another; it is used by one thread at a time.
class DocumentTally {
public:
    struct Counts {
        qint64 elements = 0;
        qint64 pdfTexts = 0;
        // Edited or hidden extracted texts, with the pages' redactions.
        qint64 modifiedPDFTexts = 0;
        qint64 signatures = 0;

        Counts& operator+=(const Counts& other);
    };

    // The counts of `pages`; only the blocks not counted by the previous
    // call are walked. Blocks that left the document are let go.
    Counts count(const QList<VectorPage>& pages);

    // The counts of some elements, walking each of them.
    static Counts countOf(const QList<VectorElement>& elements);

private:
    struct Block {
        QList<VectorElement> elements;
        Counts counts;
    };
    QHash<const void*, Block> m_blocks;
};

}  // namespace zelvane
