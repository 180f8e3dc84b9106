#include "ApiBaseUrl.h"

#include <gtest/gtest.h>

using zelvane::mcp::apiBaseURL;

namespace {

QString baseFor(const QString& port)
{
    return apiBaseURL({{QStringLiteral("ZELVANE_API_PORT"), port}});
}

}  // namespace

TEST(ApiBaseUrlTest, DefaultsTo17960)
{
    EXPECT_EQ(apiBaseURL({}), QStringLiteral("http://127.0.0.1:17960"));
    EXPECT_EQ(apiBaseURL({{QStringLiteral("OTHER"), QStringLiteral("18000")}}), QStringLiteral("http://127.0.0.1:17960"));
    EXPECT_EQ(baseFor(QString()), QStringLiteral("http://127.0.0.1:17960"));
}

TEST(ApiBaseUrlTest, ReadsASignedDecimalPort)
{
    EXPECT_EQ(baseFor(QStringLiteral("18000")), QStringLiteral("http://127.0.0.1:18000"));
    EXPECT_EQ(baseFor(QStringLiteral("+18000")), QStringLiteral("http://127.0.0.1:18000"));
    EXPECT_EQ(baseFor(QStringLiteral("018000")), QStringLiteral("http://127.0.0.1:18000"));
}

TEST(ApiBaseUrlTest, AnythingElseFallsBackToTheDefault)
{
    for (const char* text : {"abc", " 18000", "18000 ", "18000\n", "+", "-", "++1", "+-1", "1_000", "1e4", "0x10",
                             "18000.0", "\xd9\xa1\xd9\xa2"}) {
        EXPECT_EQ(baseFor(QString::fromUtf8(text)), QStringLiteral("http://127.0.0.1:17960")) << text;
    }
}

TEST(ApiBaseUrlTest, KeepsNumbersOutsideThePortRangeUnchanged)
{
    EXPECT_EQ(baseFor(QStringLiteral("0")), QStringLiteral("http://127.0.0.1:0"));
    EXPECT_EQ(baseFor(QStringLiteral("-1")), QStringLiteral("http://127.0.0.1:-1"));
    EXPECT_EQ(baseFor(QStringLiteral("83496")), QStringLiteral("http://127.0.0.1:83496"));
    EXPECT_EQ(baseFor(QStringLiteral("9223372036854775807")), QStringLiteral("http://127.0.0.1:9223372036854775807"));
    EXPECT_EQ(baseFor(QStringLiteral("-9223372036854775808")),
              QStringLiteral("http://127.0.0.1:-9223372036854775808"));
}

TEST(ApiBaseUrlTest, OverflowFallsBackToTheDefault)
{
    EXPECT_EQ(baseFor(QStringLiteral("9223372036854775808")), QStringLiteral("http://127.0.0.1:17960"));
    EXPECT_EQ(baseFor(QStringLiteral("-9223372036854775809")), QStringLiteral("http://127.0.0.1:17960"));
    EXPECT_EQ(baseFor(QStringLiteral("99999999999999999999999")), QStringLiteral("http://127.0.0.1:17960"));
}
