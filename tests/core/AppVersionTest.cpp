#include "AppVersion.h"

#include <gtest/gtest.h>

using namespace zelvane;

TEST(AppVersionTest, ReadsTrimmedValuesAndIgnoresPlaceholders)
{
    EXPECT_EQ(AppVersion::fromInfoDictionary(std::nullopt).version, QStringLiteral("0.2.2"));
    EXPECT_FALSE(AppVersion::fromInfoDictionary(std::nullopt).build.has_value());

    const AppVersion trimmed = AppVersion::fromInfoDictionary(QVariantMap{
        {"CFBundleShortVersionString", " 1.4.0\n"}, {"CFBundleVersion", "  "}});
    EXPECT_EQ(trimmed.version, QStringLiteral("1.4.0"));
    EXPECT_FALSE(trimmed.build.has_value());

    const AppVersion placeholder = AppVersion::fromInfoDictionary(QVariantMap{
        {"CFBundleShortVersionString", "@VERSION@"}, {"CFBundleVersion", "@BUILD@"}});
    EXPECT_EQ(placeholder.version, QStringLiteral("0.2.2"));
    EXPECT_FALSE(placeholder.build.has_value());

    const AppVersion numbered = AppVersion::fromInfoDictionary(QVariantMap{
        {"CFBundleShortVersionString", "0.2.2"}, {"CFBundleVersion", "57"}});
    EXPECT_EQ(numbered.versionLine(), QStringLiteral("Zelvane 0.2.2 (57)"));
    const AppVersion notText = AppVersion::fromInfoDictionary(QVariantMap{{"CFBundleShortVersionString", 3}});
    EXPECT_EQ(notText.version, QStringLiteral("0.2.2"));
}

TEST(AppVersionTest, OnlyExactFlagsAfterTheProgramPathAskForTheVersion)
{
    EXPECT_TRUE(AppVersion::isRequested({"zelvane", "--version"}));
    EXPECT_TRUE(AppVersion::isRequested({"zelvane", "file.pdf", "-v"}));
    EXPECT_FALSE(AppVersion::isRequested({"-v"}));
    EXPECT_FALSE(AppVersion::isRequested({"zelvane", "--Version"}));
    EXPECT_FALSE(AppVersion::isRequested({}));
    EXPECT_EQ(AppVersion::current().version, QStringLiteral("0.2.2"));
}
