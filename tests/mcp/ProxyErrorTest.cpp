#include "ProxyError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using zelvane::mcp::ProxyError;

TEST(ProxyErrorTest, UnreachableNamesTheBaseAndAnEditorThatExists)
{
    // No editor beside this test program: the one on PATH, else the program name.
    const QByteArray savedPath = qgetenv("PATH");
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString editor = folder.filePath(QStringLiteral("zelvane"));
    QFile file(editor);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    const QString prefix = QStringLiteral("Zelvane is not reachable at http://127.0.0.1:17960 \u2014 launch ");

    qputenv("PATH", folder.path().toLocal8Bit());
    const ProxyError found = ProxyError::unreachable(QStringLiteral("http://127.0.0.1:17960"));
    qputenv("PATH", QByteArray());
    const ProxyError notFound = ProxyError::unreachable(QStringLiteral("http://127.0.0.1:17960"));
    qputenv("PATH", savedPath);

    EXPECT_EQ(found.kind(), ProxyError::Kind::unreachable);
    EXPECT_EQ(found.description(), prefix + editor + QStringLiteral(" and retry."));
    EXPECT_EQ(QString::fromUtf8(found.what()), found.description());
    EXPECT_EQ(notFound.description(), prefix + QStringLiteral("zelvane and retry."));
}

TEST(ProxyErrorTest, BadArgumentsIsItsMessage)
{
    const ProxyError error = ProxyError::badArguments(QStringLiteral("bad path /v1/x y"));
    EXPECT_EQ(error.kind(), ProxyError::Kind::badArguments);
    EXPECT_EQ(error.description(), QStringLiteral("bad path /v1/x y"));
    EXPECT_STREQ(error.what(), "bad path /v1/x y");
}
