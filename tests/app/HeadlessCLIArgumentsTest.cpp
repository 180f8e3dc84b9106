#include "HeadlessCLI.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace zelvane;

TEST(HeadlessCLIArgumentsTest, ValueIsTheArgumentAfterTheFirstFlag)
{
    const QStringList arguments{QStringLiteral("a.pdf"), QStringLiteral("--format"), QStringLiteral("csv"),
                                QStringLiteral("--format"), QStringLiteral("json")};
    EXPECT_EQ(HeadlessCLI::value(QStringLiteral("--format"), arguments), QStringLiteral("csv"));
    EXPECT_EQ(HeadlessCLI::value(QStringLiteral("--output"), arguments), std::nullopt);
    // The flag last: no value. A value beginning with "-" still counts.
    EXPECT_EQ(HeadlessCLI::value(QStringLiteral("--format"), {QStringLiteral("a.pdf"), QStringLiteral("--format")}),
              std::nullopt);
    EXPECT_EQ(HeadlessCLI::value(QStringLiteral("--sign"), {QStringLiteral("--sign"), QStringLiteral("-x")}),
              QStringLiteral("-x"));
    // Exact comparison.
    EXPECT_EQ(HeadlessCLI::value(QStringLiteral("--sign"), {QStringLiteral("--SIGN"), QStringLiteral("x")}),
              std::nullopt);
}

TEST(HeadlessCLIArgumentsTest, InputIsTheFirstArgumentNotBeginningWithADash)
{
    EXPECT_EQ(HeadlessCLI::firstInput({}), std::nullopt);
    EXPECT_EQ(HeadlessCLI::firstInput({QStringLiteral("--format"), QStringLiteral("-x")}), std::nullopt);
    EXPECT_EQ(HeadlessCLI::firstInput({QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("a.pdf")}),
              QStringLiteral("csv"));
}

TEST(HeadlessCLIArgumentsTest, PathsAreExpandedMadeAbsoluteAndCleaned)
{
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("~")), QDir::homePath());
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("~/a/b.pdf")), QDir::homePath() + QStringLiteral("/a/b.pdf"));
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("x/../out.svg")), QDir::currentPath() + QStringLiteral("/out.svg"));
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("/tmp//a.png")), QStringLiteral("/tmp/a.png"));
    // A tilde that is not leading, or names no user, is left as written.
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("/x/~nobody-here/a")), QStringLiteral("/x/~nobody-here/a"));
    EXPECT_EQ(HeadlessCLI::resolvedPath(QStringLiteral("~nobody-here-zelvane/a")),
              QDir::currentPath() + QStringLiteral("/~nobody-here-zelvane/a"));
}
