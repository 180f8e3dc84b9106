#include "remote/RemotePaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace zelvane {
namespace {

TEST(RemotePathsTest, ExpandsALeadingTilde)
{
    const QString home = QDir::homePath();
    EXPECT_EQ(expandTildeInPath(QStringLiteral("~")), home);
    EXPECT_EQ(expandTildeInPath(QStringLiteral("~/docs/a.pdf")), home + QStringLiteral("/docs/a.pdf"));
    EXPECT_EQ(expandTildeInPath(QStringLiteral("/tmp/~/a.pdf")), QStringLiteral("/tmp/~/a.pdf"));
    EXPECT_EQ(expandTildeInPath(QStringLiteral("a.pdf")), QStringLiteral("a.pdf"));
    EXPECT_EQ(expandTildeInPath(QString()), QString());
    EXPECT_EQ(expandTildeInPath(QStringLiteral("~no-such-user-here/a.pdf")), QStringLiteral("~no-such-user-here/a.pdf"));
    EXPECT_EQ(expandTildeInPath(QStringLiteral("~root/x")), QStringLiteral("/root/x"));
}

TEST(RemotePathsTest, ReplacesOnlyRegularDocumentFiles)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const auto make = [&](const QString& name) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    };
    // Nothing there yet: only document names may be written.
    EXPECT_TRUE(remoteExportRefusal(folder.filePath(QStringLiteral("new.pdf"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("new.txt"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("new"))).isEmpty());
    // The name must match the format written.
    EXPECT_TRUE(remoteExportRefusal(folder.filePath(QStringLiteral("new.PNG")), ExportFormat::png).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("new.svg")), ExportFormat::pdf).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("new.pdf")), ExportFormat::png).isEmpty());
    // Control characters, NUL first of all, are refused wherever they stand.
    EXPECT_FALSE(remoteExportRefusal(QStringLiteral("/etc/passwd") + QChar(0) + QStringLiteral(".pdf")).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("a\nb.pdf"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("a\x7f.pdf"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("a\u0085.pdf"))).isEmpty());
    // Existing documents may be replaced, in any letter case.
    EXPECT_TRUE(remoteExportRefusal(make(QStringLiteral("old.pdf"))).isEmpty());
    EXPECT_TRUE(remoteExportRefusal(make(QStringLiteral("old.SVG"))).isEmpty());
    EXPECT_TRUE(remoteExportRefusal(make(QStringLiteral("old.Png"))).isEmpty());
    // Anything else is refused.
    EXPECT_FALSE(remoteExportRefusal(make(QStringLiteral(".bashrc"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(make(QStringLiteral("notes.txt"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(make(QStringLiteral("noextension"))).isEmpty());
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.pdf")));
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("folder.pdf"))).isEmpty());
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("old.pdf")), folder.filePath(QStringLiteral("link.pdf"))));
    EXPECT_FALSE(remoteExportRefusal(folder.filePath(QStringLiteral("link.pdf"))).isEmpty());
    EXPECT_FALSE(remoteExportRefusal(QStringLiteral("/dev/null")).isEmpty());
}

}  // namespace
}  // namespace zelvane
