#include "HeadlessCLI.h"

#include <gtest/gtest.h>

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
