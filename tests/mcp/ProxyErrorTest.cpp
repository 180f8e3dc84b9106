#include "ProxyError.h"

#include <gtest/gtest.h>

using zelvane::mcp::ProxyError;

TEST(ProxyErrorTest, UnreachableNamesTheBaseAndTheInstalledEditor)
{
    const ProxyError error = ProxyError::unreachable(QStringLiteral("http://127.0.0.1:17960"));
    EXPECT_EQ(error.kind(), ProxyError::Kind::unreachable);
    EXPECT_EQ(error.description(), QStringLiteral("Zelvane is not reachable at http://127.0.0.1:17960 \u2014 launch ")
                                       + QStringLiteral(ZELVANE_INSTALLED_EDITOR) + QStringLiteral(" and retry."));
    EXPECT_TRUE(QStringLiteral(ZELVANE_INSTALLED_EDITOR).endsWith(QStringLiteral("/bin/zelvane")));
    EXPECT_EQ(QString::fromUtf8(error.what()), error.description());
}

TEST(ProxyErrorTest, BadArgumentsIsItsMessage)
{
    const ProxyError error = ProxyError::badArguments(QStringLiteral("bad path /v1/x y"));
    EXPECT_EQ(error.kind(), ProxyError::Kind::badArguments);
    EXPECT_EQ(error.description(), QStringLiteral("bad path /v1/x y"));
    EXPECT_STREQ(error.what(), "bad path /v1/x y");
}
