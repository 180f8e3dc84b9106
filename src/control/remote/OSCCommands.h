#pragma once

#include "osc/OSCCodec.h"

namespace zelvane {

class VectorController;

// Runs one message of the "/zelvane/..." address space against the
// controller, on the main thread. Unknown addresses, missing or unreadable
// arguments and failed opens or exports do nothing and answer nothing.
void handleOSCMessage(VectorController& controller, const OSCCodec::Message& message);

}  // namespace zelvane
