#pragma once

// The editor's OSC address space, "/zelvane/...", and the readings of a
// message's arguments that its commands use. The commands themselves are run
// by the controller on the main thread.

#include "model/StampPayload.h"
#include "osc/OSCCodec.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zelvane::OSCAddresses {

enum class Command { page, pageNext, pagePrevious, sign, stamp, open, exportFile, undo, redo };

// The command an address names: the address is lower-cased and then compared
// whole, so letter case is ignored but nothing else (no patterns, no trailing
// "/"). None for any other address.
std::optional<Command> commandFor(const QString& address);

// The canonical address of a command ("/zelvane/page/next", ...).
QString address(Command command);

// The nine lines of the OSC part of the API help, in order.
QStringList helpLines();

// Only the first argument of a message counts; further ones are ignored.
const OSCCodec::Value* firstArgument(const OSCCodec::Message& message);

// "/zelvane/page": the first argument read as an integer; none when it is
// missing or does not read as one (a float is truncated, "3" reads, "3.5"
// does not).
std::optional<qint64> pageNumber(const OSCCodec::Message& message);

// The page index for a 1-based page number: number - 1 brought into 0 to
// pageCount - 1, computed without overflow for any 64-bit number (0 and
// anything below select the first page, anything past the end the last).
// `pageCount` is at least 1.
int pageIndexForNumber(qint64 number, int pageCount);

// "/zelvane/sign": the signer's name, the first argument as text; none when
// it is missing or empty (the active signature preset is used then).
std::optional<QString> signerName(const OSCCodec::Message& message);

// "/zelvane/stamp": the kind named by the first argument's text, exact and
// case-sensitive; `approved` when there is no argument or it names no kind.
VectorStampKind stampKind(const OSCCodec::Message& message);

// "/zelvane/open" and "/zelvane/export": the first argument's text with a
// leading tilde expanded; none when it is missing or empty.
std::optional<QString> filePath(const OSCCodec::Message& message);

}  // namespace zelvane::OSCAddresses
