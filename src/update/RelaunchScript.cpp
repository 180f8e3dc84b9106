#include "RelaunchScript.h"

#include <QProcess>

namespace zelvane::RelaunchScript {

QString text()
{
    return QStringLiteral(
        "pid=$1 dest=$2 work=$3\n"
        "while kill -0 \"$pid\" 2>/dev/null; do sleep 0.1; done\n"
        "\"$dest/bin/zelvane\" </dev/null >/dev/null 2>&1 &\n"
        "rm -rf -- \"$work\"");
}

QStringList arguments(qint64 pid, const QString& installation, const QString& workFolder)
{
    return {QStringLiteral("-c"), text(), QStringLiteral("zelvane-update"), QString::number(pid), installation,
            workFolder};
}

UpdateStep start(qint64 pid, const QString& installation, const QString& workFolder)
{
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments(arguments(pid, installation, workFolder));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        return UpdateError::system(QStringLiteral("QProcess"), int(process.error()), process.errorString());
    return Done{};
}

}  // namespace zelvane::RelaunchScript
