#include "Localization.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

using namespace zelvane;
using zelvane::testing::FakeLanguageSources;

namespace {

// Installs fake sources for one test and removes them afterwards.
class LocalizationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sources = std::make_shared<FakeLanguageSources>();
        Localization::installSources(sources);
    }
    void TearDown() override { Localization::installSources(std::make_shared<FakeLanguageSources>()); }

    void restart() { Localization::installSources(sources); }

    std::shared_ptr<FakeLanguageSources> sources;
};

}  // namespace

TEST_F(LocalizationTest, SystemChoiceAsksEnvironmentThenCommandLineThenPreferredLanguages)
{
    sources->preferred = {QStringLiteral("en-US")};
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("en"));

    sources->osselLang = QStringLiteral("FR_ca");
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("fr"));
    sources->osselLang = QStringLiteral("EN_us");
    sources->preferred = {QStringLiteral("fr-FR")};
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("en"));

    // An environment value that is neither language, or empty, decides nothing.
    for (const QString& undecided : {QStringLiteral("de"), QString()}) {
        sources->osselLang = undecided;
        sources->commandLine = {QStringLiteral("zelvane"), QStringLiteral("--lang"), QStringLiteral("english")};
        EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("en"));
        sources->commandLine = {QStringLiteral("zelvane"), QStringLiteral("--lang"), QStringLiteral("Fr-CA")};
        sources->preferred = {QStringLiteral("en-GB")};
        EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("fr"));
    }

    // "--lang" as the last argument leaves it to the preferred languages.
    sources->osselLang.reset();
    sources->commandLine = {QStringLiteral("zelvane"), QStringLiteral("--lang")};
    sources->preferred = {QStringLiteral("en-GB")};
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("en"));
    sources->preferred = {QStringLiteral("de-DE"), QStringLiteral("en-US")};
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("fr"));
    sources->preferred = {};
    EXPECT_EQ(resolvedCode(AppLanguage::system), QStringLiteral("fr"));

    EXPECT_EQ(resolvedCode(AppLanguage::fr), QStringLiteral("fr"));
    sources->osselLang = QStringLiteral("fr");
    EXPECT_EQ(resolvedCode(AppLanguage::en), QStringLiteral("en"));
}

TEST_F(LocalizationTest, InitialValueComesFromTheCommandLineThenTheStoredChoice)
{
    sources->stored = QStringLiteral("fr");
    sources->commandLine = {QStringLiteral("zelvane"), QStringLiteral("--lang"), QStringLiteral("en")};
    restart();
    EXPECT_EQ(Localization::current(), AppLanguage::en);

    sources->commandLine = {QStringLiteral("zelvane"), QStringLiteral("--lang"), QStringLiteral("de")};
    sources->stored = QStringLiteral("en");
    sources->preferred = {QStringLiteral("fr-FR")};
    restart();
    EXPECT_EQ(Localization::current(), AppLanguage::en);

    // Stored texts match exactly: "EN" is not English.
    sources->commandLine = {QStringLiteral("zelvane")};
    sources->stored = QStringLiteral("EN");
    restart();
    EXPECT_EQ(Localization::current(), AppLanguage::system);

    // The environment only acts through the system choice.
    sources->stored.reset();
    sources->osselLang = QStringLiteral("en");
    restart();
    EXPECT_EQ(Localization::current(), AppLanguage::system);
    EXPECT_TRUE(Localization::isEnglish());
}

TEST_F(LocalizationTest, SettingStoresTheChoiceAndLPicksTheText)
{
    Localization::setCurrent(AppLanguage::en);
    EXPECT_EQ(L("Oui", "Yes"), QStringLiteral("Yes"));
    Localization::setCurrent(AppLanguage::fr);
    EXPECT_EQ(L("Oui", "Yes"), QStringLiteral("Oui"));
    Localization::setCurrent(AppLanguage::fr);
    Localization::setCurrent(AppLanguage::system);
    EXPECT_EQ(sources->writes, (QStringList{"en", "fr", "fr", "system"}));
    sources->osselLang = QStringLiteral("en-GB");
    EXPECT_EQ(L("Oui", "Yes"), QStringLiteral("Yes"));
    sources->osselLang = QStringLiteral("it");
    sources->preferred = {QStringLiteral("it-IT")};
    EXPECT_EQ(L("Oui", "Yes"), QStringLiteral("Oui"));
    EXPECT_EQ(locale(AppLanguage::en).language(), QLocale::English);
    EXPECT_EQ(fromRawValue<AppLanguage>(u"System"), std::nullopt);
    EXPECT_EQ(fromRawValue<AppLanguage>(u"en"), AppLanguage::en);
}

TEST_F(LocalizationTest, ConcurrentReadersAndWritersSeeWholeValues)
{
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop) {
                const QString text = L("Bonjour", "Hello");
                if (text != QLatin1String("Bonjour") && text != QLatin1String("Hello")) {
                    ++badReads;
                }
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        Localization::setCurrent(i % 2 ? AppLanguage::en : AppLanguage::fr);
    }
    stop = true;
    for (auto& t : readers) {
        t.join();
    }
    EXPECT_EQ(badReads, 0);
}
