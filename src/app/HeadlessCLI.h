#pragma once

#include "HeadlessRuntime.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zelvane {

// The command-line modes that print or convert without any window: help,
// file information and conversion. Info and conversion work on an editing
// controller of their own, made without services or persistence. Each *AndExit entry ends the process
// (status 0 on success, 1 on failure); the run* functions do the same work
// and hand back what would be printed.
namespace HeadlessCLI {

[[noreturn]] void printHelpAndExit();
// `arguments`: what follows the first "--info" on the command line.
[[noreturn]] void runInfoAndExit(const QStringList& arguments);
// `arguments`: what follows the first "--convert" on the command line.
[[noreturn]] void runConvertAndExit(const QStringList& arguments);

// The help in the interface language, without a final newline.
QString helpText();
HeadlessOutcome runInfo(const QStringList& arguments);
HeadlessOutcome runConvert(const QStringList& arguments);

// The argument right after the first one equal to `flag`, even when it
// begins with "-"; nothing when the flag is absent or last.
std::optional<QString> value(const QString& flag, const QStringList& arguments);
// The first argument that does not begin with "-".
std::optional<QString> firstInput(const QStringList& arguments);

// A path as the user wrote it: a leading "~" (or "~user") expanded, then
// made absolute against the working directory and cleaned.
QString resolvedPath(const QString& argument);

}  // namespace HeadlessCLI

}  // namespace zelvane
