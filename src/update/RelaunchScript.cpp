#include "RelaunchScript.h"

#include "InstallationLayout.h"

#include <QProcess>

namespace zelvane::RelaunchScript {

QString text()
{
    // The old installation is only moved aside, inside the work folder, and
    // comes back when anything fails; whichever installation ends up in
    // place is started. The work folder is removed last, unless the old
    // installation could not be put back (it is then kept there).
    return QStringLiteral(
               "pid=$1 new=$2 dest=$3 work=$4\n"
               "while kill -0 \"$pid\" 2>/dev/null; do sleep 0.1; done\n"
               "installed() { [ -f \"$1/bin/zelvane\" ] && [ -x \"$1/bin/zelvane\" ] && [ -f \"$1/%1\" ]; }\n"
               "if installed \"$new\" && mv -- \"$dest\" \"$work/previous\"; then\n"
               "  if ! { mv -- \"$new\" \"$dest\" && installed \"$dest\"; }; then\n"
               "    if [ -e \"$dest\" ]; then mv -- \"$dest\" \"$work/refused\" || exit 1; fi\n"
               "    mv -- \"$work/previous\" \"$dest\" || exit 1\n"
               "  fi\n"
               "fi\n"
               "\"$dest/bin/zelvane\" </dev/null >/dev/null 2>&1 &\n"
               "rm -rf -- \"$work\"")
        .arg(QLatin1String(InstallationLayout::kMarkerFile));
}

QStringList arguments(qint64 pid, const QString& newInstallation, const QString& destination,
                      const QString& workFolder)
{
    return {QStringLiteral("-c"), text(), QStringLiteral("zelvane-update"), QString::number(pid),
            newInstallation, destination, workFolder};
}

UpdateStep start(qint64 pid, const QString& newInstallation, const QString& destination, const QString& workFolder)
{
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments(arguments(pid, newInstallation, destination, workFolder));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        return UpdateError::system(QStringLiteral("QProcess"), int(process.error()), process.errorString());
    return Done{};
}

}  // namespace zelvane::RelaunchScript
