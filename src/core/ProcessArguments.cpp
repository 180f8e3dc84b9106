#include "ProcessArguments.h"

#include <QCoreApplication>
#include <QFile>

namespace zelvane {

QStringList processArguments()
{
    if (QCoreApplication::instance()) {
        return QCoreApplication::arguments();
    }
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList arguments;
    const QByteArray content = file.readAll();
    for (const QByteArray& piece : content.split('\0')) {
        arguments.append(QString::fromLocal8Bit(piece));
    }
    // The command line ends with a NUL, which leaves one empty piece behind.
    if (!arguments.isEmpty() && content.endsWith('\0')) {
        arguments.removeLast();
    }
    return arguments;
}

}  // namespace zelvane
