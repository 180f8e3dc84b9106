#include "HeadlessRuntime.h"

#include "CodecError.h"
#include "LibraryOutput.h"
#include "ProcessArguments.h"

#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <unistd.h>
#include <string>
#include <vector>

namespace zelvane::HeadlessRuntime {

namespace {

void writeAll(const QByteArray& bytes, std::FILE* stream)
{
    if (!bytes.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    }
    std::fflush(stream);
}

void writeAll(const QByteArray& bytes, int fd)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

QtMessageHandler defaultHandler = nullptr;

// Standard error carries only the mode's own failure line: Qt's notes and
// warnings (such as a missing runtime folder) are dropped.
void keepSeriousMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        defaultHandler(type, context, message);
    }
}

}  // namespace

void ensureGuiApplication()
{
    if (QCoreApplication::instance()) {
        return;
    }
    if (!defaultHandler) {
        defaultHandler = qInstallMessageHandler(keepSeriousMessages);
    }
    LibraryOutput::silenceLibraries();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The application keeps pointers to these for its whole life, which is
    // the rest of the process: the headless modes end with exit().
    static std::vector<std::string> storage;
    static std::vector<char*> argv;
    static int argc = 0;
    for (const QString& argument : processArguments()) {
        storage.push_back(argument.toLocal8Bit().toStdString());
    }
    if (storage.empty()) {
        storage.emplace_back("zelvane");
    }
    for (std::string& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    argc = int(storage.size());
    new QGuiApplication(argc, argv.data());
}

void finish(const HeadlessOutcome& outcome)
{
    writeAll(outcome.standardOutput, stdout);
    writeAll(outcome.standardError, LibraryOutput::standardError());
    std::exit(outcome.status);
}

HeadlessOutcome failure(const QString& message)
{
    return {1, {}, QByteArray("error: ") + message.toUtf8() + '\n'};
}

HeadlessOutcome failure(const std::exception& error)
{
    if (const auto* codecError = dynamic_cast<const CodecError*>(&error))
        return failure(codecError->message());
    return failure(QString::fromUtf8(error.what()));
}

}  // namespace zelvane::HeadlessRuntime
