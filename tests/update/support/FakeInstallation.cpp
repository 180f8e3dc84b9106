#include "FakeInstallation.h"

#include "ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace zelvane::testing {

void writeFile(const QString& path, const QByteArray& data, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(data);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFakeInstallation(const QString& folder, const QString& version)
{
    const QByteArray v = version.toUtf8();
    writeFile(folder + QStringLiteral("/bin/zelvane"),
              "#!/bin/sh\n"
              "if [ \"$1\" = --version ]; then echo \"Zelvane " + v + "\"; exit 0; fi\n"
              "printf '%s\\n' '" + v + "' > \"$(dirname -- \"$0\")/../relaunched\"\n",
              true);
    writeFile(folder + QStringLiteral("/bin/zelvane-mcp"), "#!/bin/sh\nexit 0\n", true);
    writeFile(folder + QStringLiteral("/share/applications/zelvane.desktop"),
              "[Desktop Entry]\nType=Application\nName=Zelvane\nExec=zelvane %F\n");
    writeFile(folder + QStringLiteral("/.zelvane-installation"), QByteArray(kTestBundleID) + "\n");
}

QByteArray fakeReleaseArchive(const QString& version)
{
    QTemporaryDir scratch;
    writeFakeInstallation(scratch.path(), version);
    ZipWriter zip;
    zip.addTree(scratch.path(), QStringLiteral("zelvane"));
    return zip.finish();
}

}  // namespace zelvane::testing
