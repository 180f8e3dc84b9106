#pragma once

#include "model/VectorDocument.h"

#include <QHash>
#include <QUuid>

namespace zelvane::VectorOperations {

// Gives each element named in `frames` its frame there, as updateElement
// would one after the other (the first element of each id, one revision per
// element changed), in one pass over the page: a drag of many elements is
// one update of the document.
void setElementFrames(const QHash<QUuid, VectorRect>& frames, qsizetype pageIndex, VectorDocument& document);

}  // namespace zelvane::VectorOperations
