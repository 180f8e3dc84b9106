#include "AppVersion.h"
#include "InstallationLayout.h"
#include "UpdateInstaller.h"
#include "ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zelvane {
namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The build's install step and the packing script make an archive that the
// updater accepts as a release of this very version.
TEST(PackReleaseE2ETest, PacksAnInstallationTheUpdaterAccepts)
{
    QTemporaryDir dir;
    QProcess pack;
    pack.start(QStringLiteral(ZELVANE_SOURCE_DIR "/scripts/pack-release"),
               {QStringLiteral(ZELVANE_BUILD_DIR), dir.filePath("dist")});
    ASSERT_TRUE(pack.waitForFinished(120'000));
    ASSERT_EQ(pack.exitCode(), 0) << pack.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(pack.readAllStandardOutput()).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QString version = AppVersion::current().version;
    const QString archivePath = lines.at(0);
    EXPECT_TRUE(QFileInfo(archivePath).fileName().startsWith("Zelvane-" + version + "-linux-"));

    const QByteArray archive = readAll(archivePath);
    const QString sha256 = UpdateInstaller::sha256Hex(archive);
    EXPECT_EQ(lines.at(1), "sha256: " + sha256);
    EXPECT_TRUE(readAll(archivePath + ".sha256").startsWith(sha256.toLatin1() + "  Zelvane-"));

    const auto entries = ZipArchive::readEntries(archive);
    ASSERT_TRUE(entries.ok());
    const auto top = ZipArchive::checkEntries(*entries, UpdateLimits{}.unpackedBytes, 1000);
    ASSERT_TRUE(top.ok()) << top.error().message.toStdString();
    EXPECT_EQ(*top, "zelvane");

    // Verified and unpacked beside an installation, as an update would be.
    const QString destination = dir.filePath("opt/zelvane");
    QDir().mkpath(destination);
    const auto prepared = UpdateInstaller::prepare(
        archive, ReleaseInfo{version, std::nullopt, QUrl("https://example.org/z.zip"), sha256}, destination,
        "net.tarnwick.zelvane", UpdateLimits{});
    ASSERT_TRUE(prepared.ok()) << prepared.error().message.toStdString();
    EXPECT_TRUE(QFileInfo(prepared->newInstallation + "/share/icons/hicolor/scalable/apps/zelvane.svg").isFile());
    EXPECT_TRUE(InstallationLayout::runningInstallation(prepared->newInstallation + "/bin/zelvane",
                                                        "net.tarnwick.zelvane")
                    .ok());
}

}  // namespace
}  // namespace zelvane
