#pragma once

#include "model/PathPayload.h"
#include "model/ShapePayload.h"
#include "model/SignaturePayload.h"
#include "model/StampPayload.h"
#include "model/TextPayload.h"

#include <QString>
#include <variant>

namespace zelvane {

// What an element is, holding exactly one payload. The alternatives are in
// the order text, signature, path, shape, stamp.
using VectorElementKind = std::variant<TextPayload, SignaturePayload, PathPayload, ShapePayload, StampPayload>;

// "text", "signature", "path", "shape" or "stamp".
QString kindName(const VectorElementKind& kind);

}  // namespace zelvane
