#include "http/RequestArguments.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <limits>

namespace zelvane {
namespace {

namespace Args = RequestArguments;

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

TEST(RequestArgumentsTest, KeysOfAnotherTypeAreAbsent)
{
    const QJsonObject args = parse(R"({"s":"text","b":true,"n":2.5,"i":7,"z":null,"a":[1],"o":{}})");
    EXPECT_EQ(Args::string(args, QStringLiteral("s")), QStringLiteral("text"));
    EXPECT_EQ(Args::string(args, QStringLiteral("n")), std::nullopt);
    EXPECT_EQ(Args::string(args, QStringLiteral("missing")), std::nullopt);
    EXPECT_EQ(Args::boolean(args, QStringLiteral("b")), true);
    EXPECT_EQ(Args::boolean(args, QStringLiteral("s")), std::nullopt);
    EXPECT_EQ(Args::boolean(args, QStringLiteral("i")), std::nullopt);
    EXPECT_EQ(Args::number(args, QStringLiteral("n")), 2.5);
    EXPECT_EQ(Args::number(args, QStringLiteral("i")), 7.0);
    EXPECT_EQ(Args::number(args, QStringLiteral("s")), std::nullopt);
    EXPECT_EQ(Args::number(args, QStringLiteral("z")), std::nullopt);
    EXPECT_EQ(Args::number(args, QStringLiteral("a")), std::nullopt);
}

TEST(RequestArgumentsTest, IntegersMustBeWholeAndInRange)
{
    const QJsonObject args =
        parse(R"({"a":7,"b":2.5,"c":1e19,"d":-9007199254740993,"e":1e3,"f":-1e19,"g":9223372036854775807})");
    EXPECT_EQ(Args::integer(args, QStringLiteral("a")), 7);
    EXPECT_EQ(Args::integer(args, QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(Args::integer(args, QStringLiteral("c")), std::nullopt);
    EXPECT_EQ(Args::integer(args, QStringLiteral("d")), -9007199254740993);
    EXPECT_EQ(Args::integer(args, QStringLiteral("e")), 1000);
    EXPECT_EQ(Args::integer(args, QStringLiteral("f")), std::nullopt);
    EXPECT_EQ(Args::integer(args, QStringLiteral("g")), std::numeric_limits<qint64>::max());
}

TEST(RequestArgumentsTest, PagesAreCheckedBeforeTheyAreConverted)
{
    const auto page = [](const char* json, int current = 0, int count = 3) {
        return Args::pageIndex(parse(json), current, count);
    };
    EXPECT_EQ(page(R"({"page":1})"), 0);
    EXPECT_EQ(page(R"({"page":3})"), 2);
    EXPECT_EQ(page(R"({"page":3.0})"), 2);
    EXPECT_EQ(page(R"({"page":0})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":4})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":-1})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":1e19})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":-1e19})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":1e308})"), std::nullopt);
    EXPECT_EQ(page(R"({"page":4294967297})"), std::nullopt);
    // Not a whole number: the current page, which must itself exist.
    EXPECT_EQ(page(R"({"page":2.5})", 1), 1);
    EXPECT_EQ(page(R"({"page":"2"})", 2), 2);
    EXPECT_EQ(page(R"({})", 0), 0);
    EXPECT_EQ(page(R"({})", 3), std::nullopt);
    EXPECT_EQ(page(R"({})", -1), std::nullopt);
    // Values that cannot come from JSON are refused all the same.
    EXPECT_EQ(Args::pageIndex(QJsonObject{{QStringLiteral("page"), INFINITY}}, 0, 3), std::nullopt);
    EXPECT_EQ(Args::pageIndex(QJsonObject{{QStringLiteral("page"), -INFINITY}}, 0, 3), std::nullopt);
    EXPECT_EQ(QString::fromLatin1(Args::kInvalidPage), QStringLiteral("invalid page"));
}

TEST(RequestArgumentsTest, CoordinatesMustBeFiniteAndInRange)
{
    const QJsonObject args = parse(R"({"x":420,"y":-12.5,"big":1e308,"edge":1000000,"s":"12"})");
    const Args::Number x = Args::coordinate(args, QStringLiteral("x"));
    EXPECT_FALSE(x.refused());
    EXPECT_EQ(x.value, 420.0);
    EXPECT_EQ(Args::coordinate(args, QStringLiteral("y")).value, -12.5);
    EXPECT_EQ(Args::coordinate(args, QStringLiteral("edge")).value, 1e6);

    const Args::Number missing = Args::coordinate(args, QStringLiteral("missing"));
    EXPECT_FALSE(missing.refused());
    EXPECT_EQ(missing.valueOr(72), 72.0);
    EXPECT_EQ(Args::coordinate(args, QStringLiteral("s")).valueOr(5), 5.0);

    const Args::Number big = Args::coordinate(args, QStringLiteral("big"));
    ASSERT_TRUE(big.refused());
    EXPECT_EQ(big.refusal->error, QStringLiteral("invalid 'big'"));
    EXPECT_EQ(big.value, std::nullopt);

    for (const double bad : {double(NAN), double(INFINITY), -double(INFINITY)}) {
        EXPECT_TRUE(Args::coordinate(QJsonObject{{QStringLiteral("x"), bad}}, QStringLiteral("x")).refused());
    }
    const Args::Number size = Args::checkedNumber(parse(R"({"fontSize":0})"), QStringLiteral("fontSize"), 1, 1000);
    EXPECT_TRUE(size.refused());
    EXPECT_EQ(size.refusal->error, QStringLiteral("invalid 'fontSize'"));
}

}  // namespace
}  // namespace zelvane
