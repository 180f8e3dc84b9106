#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace zelvane {

// What a headless mode prints and the status it ends with.
struct HeadlessOutcome {
    int status = 0;
    QByteArray standardOutput;
    QByteArray standardError;
};

namespace HeadlessRuntime {

// Makes sure a QApplication exists for fonts, painting and widgets, on the
// "offscreen" platform unless QT_QPA_PLATFORM already names one, so that no
// display is ever needed. Does nothing when an application object exists.
void ensureGuiApplication();

// Writes the outcome's texts to standard output and standard error and ends
// the process with its status.
[[noreturn]] void finish(const HeadlessOutcome& outcome);

// An outcome of one line ("error: " + message) on standard error, status 1.
HeadlessOutcome failure(const QString& message);
// The same with the error's description: a CodecError's message, else what().
HeadlessOutcome failure(const std::exception& error);

}  // namespace HeadlessRuntime

}  // namespace zelvane
