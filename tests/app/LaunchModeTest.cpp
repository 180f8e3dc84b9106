#include "LaunchMode.h"

#include <gtest/gtest.h>

using namespace zelvane;
using Kind = LaunchMode::Kind;

namespace {

QStringList args(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* item : list)
        result.append(QString::fromUtf8(item));
    return result;
}

}  // namespace

TEST(LaunchModeTest, NoHeadlessFlagMeansAnInteractiveRun)
{
    EXPECT_EQ(LaunchMode::decide({}).kind, Kind::interactive);
    EXPECT_FALSE(LaunchMode::decide(args({"--lang", "en", "file.pdf"})).isHeadless());
    // Matching is case-sensitive.
    EXPECT_EQ(LaunchMode::decide(args({"-H"})).kind, Kind::interactive);
    EXPECT_EQ(LaunchMode::decide(args({"--HELP"})).kind, Kind::interactive);
    EXPECT_EQ(LaunchMode::decide(args({"--Info", "a.pdf"})).kind, Kind::interactive);
}

TEST(LaunchModeTest, FixedOrderWhateverThePlaces)
{
    EXPECT_EQ(LaunchMode::decide(args({"--info", "a.pdf", "--help"})).kind, Kind::help);
    EXPECT_EQ(LaunchMode::decide(args({"-h"})).kind, Kind::help);
    EXPECT_EQ(LaunchMode::decide(args({"--help", "-v"})).kind, Kind::version);
    EXPECT_EQ(LaunchMode::decide(args({"--info", "a.pdf", "--self-test"})).kind, Kind::selfTest);
    EXPECT_EQ(LaunchMode::decide(args({"--convert", "a.pdf", "--info", "b.pdf"})).kind, Kind::info);
    EXPECT_EQ(LaunchMode::decide(args({"--snapshot", "--convert", "demo"})).kind, Kind::convert);
    EXPECT_EQ(LaunchMode::decide(args({"--snapshot"})).kind, Kind::snapshot);
}

TEST(LaunchModeTest, InfoAndConvertTakeTheArgumentsAfterTheirFirstFlag)
{
    const LaunchMode info = LaunchMode::decide(args({"x", "--info", "a.pdf", "--format", "csv", "--info"}));
    EXPECT_EQ(info.modeArguments, args({"a.pdf", "--format", "csv", "--info"}));
    EXPECT_TRUE(LaunchMode::decide(args({"--info"})).modeArguments.isEmpty());
    const LaunchMode convert = LaunchMode::decide(args({"--lang", "en", "--convert", "demo", "--output", "o.pdf"}));
    EXPECT_EQ(convert.kind, Kind::convert);
    EXPECT_EQ(convert.modeArguments, args({"demo", "--output", "o.pdf"}));
}

TEST(LaunchModeTest, SnapshotPathAndView)
{
    LaunchMode mode = LaunchMode::decide(args({"--snapshot"}));
    EXPECT_EQ(mode.snapshotOutputPath, QStringLiteral("/tmp/zelvane.png"));
    EXPECT_EQ(mode.snapshotView, QStringLiteral("single"));

    mode = LaunchMode::decide(args({"--snapshot", "--view", "grid"}));
    EXPECT_EQ(mode.snapshotOutputPath, QStringLiteral("/tmp/zelvane.png"));
    EXPECT_EQ(mode.snapshotView, QStringLiteral("grid"));

    mode = LaunchMode::decide(args({"--snapshot", "shot.png", "--view"}));
    EXPECT_EQ(mode.snapshotOutputPath, QStringLiteral("shot.png"));
    EXPECT_EQ(mode.snapshotView, QStringLiteral("single"));

    mode = LaunchMode::decide(args({"--view", "-odd", "--snapshot", "shot.png"}));
    EXPECT_EQ(mode.snapshotOutputPath, QStringLiteral("shot.png"));
    EXPECT_EQ(mode.snapshotView, QStringLiteral("-odd"));
}
