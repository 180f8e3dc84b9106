#include "ReleaseFeed.h"
#include "UpdateAddress.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

namespace zelvane {
namespace {

const QString kBundle = QStringLiteral("net.tarnwick.zelvane");
const QString kApp = QStringLiteral("Zelvane");

UpdateResult<ReleaseInfo> parse(const char* json) { return ReleaseFeed::parseRelease(json, kBundle, kApp); }

TEST(ReleaseFeedTest, ReadsTheThreePlacesOfAManifest)
{
    const auto top = parse(R"({"version":"v2.0.0","url":"https://example.org/Zelvane-2.0.0.zip"})");
    ASSERT_TRUE(top.ok());
    EXPECT_EQ(top->version, "2.0.0");
    EXPECT_EQ(top->downloadURL, QUrl("https://example.org/Zelvane-2.0.0.zip"));
    EXPECT_FALSE(top->sha256);

    const auto underBundle = parse(R"({"net.tarnwick.zelvane":{"version":"3.1","download_url":"https://e.org/z.zip",
        "notes":"Both","sha256":"  ABCDEF \n"},"version":"1","url":"https://e.org/other.zip"})");
    ASSERT_TRUE(underBundle.ok());
    EXPECT_EQ(underBundle->version, "3.1");
    EXPECT_EQ(underBundle->notesFR, "Both");
    EXPECT_EQ(underBundle->notesEN, "Both");
    // Trimmed but not lower-cased here.
    EXPECT_EQ(underBundle->sha256, "ABCDEF");

    const auto underApp = parse(R"({"Zelvane":{"version":"V4","url":"https://e.org/z.zip","notes":"n",
        "notes_en":"english","html_url":"https://e.org/r"}})");
    ASSERT_TRUE(underApp.ok());
    EXPECT_EQ(underApp->version, "4");
    EXPECT_EQ(underApp->notesFR, "n");
    EXPECT_EQ(underApp->notesEN, "english");
    EXPECT_EQ(underApp->htmlURL, QUrl("https://e.org/r"));
}

TEST(ReleaseFeedTest, ReadsTheBuildOnlyFromWholeNumbers)
{
    const auto build = [](const char* value) {
        const QByteArray json = QByteArray(R"({"version":"1","url":"https://e.org/z.zip","build":)") + value + "}";
        return ReleaseFeed::parseRelease(json, kBundle, kApp)->build;
    };
    EXPECT_EQ(build("17"), 17);
    EXPECT_EQ(build("\"17\""), 17);
    EXPECT_EQ(build("\"-3\""), -3);
    EXPECT_EQ(build("\"17b\""), std::nullopt);
    EXPECT_EQ(build("17.5"), std::nullopt);
    EXPECT_EQ(build("true"), std::nullopt);
}

TEST(ReleaseFeedTest, RefusesIncompleteOrForeignAnswers)
{
    testing::ScopedLanguage english(AppLanguage::en);
    const auto code = [](const char* json) { return parse(json).ok() ? 0 : parse(json).error().code; };
    EXPECT_EQ(code(R"({"version":"1","url":42})"), 3);
    EXPECT_EQ(code(R"({"version":"1","url":""})"), 3);
    EXPECT_EQ(code(R"({"version":2,"url":"https://e.org/z.zip"})"), 3);
    EXPECT_EQ(code(R"([1,2])"), 1);
    EXPECT_EQ(code(R"({})"), 2);
    // What a rate-limited GitHub answers with status 403.
    EXPECT_EQ(code(R"({"message":"API rate limit exceeded"})"), 2);
    EXPECT_EQ(parse(R"({})").error().message, "No update .zip archive found.");
    EXPECT_EQ(parse(R"({"version":"1"})").error().code, 2);

    const auto notJSON = parse("<html>Forbidden</html>");
    ASSERT_FALSE(notJSON.ok());
    EXPECT_NE(notJSON.error().domain, "OsselUpdater");
    // Says what is wrong before the reader's own words.
    EXPECT_TRUE(notJSON.error().message.startsWith("The update feed is not JSON (")) << notJSON.error().message.toStdString();
    {
        testing::ScopedLanguage french(AppLanguage::fr);
        EXPECT_TRUE(parse("<html>").error().message.startsWith(QString::fromUtf8("Le flux de mise à jour n'est pas du JSON (")));
    }
}

TEST(ReleaseFeedTest, ReadsAGitHubReleaseAndPicksItsArchive)
{
    const auto release = parse(R"({"tag_name":"v2.0","body":"Notes\nsha256=)"
                               R"(ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789",
        "html_url":"https://github.com/tarnwick/Zelvane/releases/v2.0",
        "assets":[{"name":"Zelvane-2.0.dmg","browser_download_url":"https://e.org/a.dmg"},
                  {"name":"Other-2.0.zip","browser_download_url":"https://e.org/other.zip"},
                  {"browser_download_url":"https://e.org/nameless.zip"},
                  {"name":"zelvane-2.0.ZIP","browser_download_url":"https://e.org/zelvane.zip"}]})");
    ASSERT_TRUE(release.ok());
    EXPECT_EQ(release->version, "2.0");
    EXPECT_EQ(release->downloadURL, QUrl("https://e.org/zelvane.zip"));
    EXPECT_EQ(release->sha256, "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789");
    EXPECT_EQ(release->notesFR, release->notesEN);
    EXPECT_EQ(release->htmlURL, QUrl("https://github.com/tarnwick/Zelvane/releases/v2.0"));

    const auto other = parse(R"({"tag_name":"2.0","assets":[{"name":"Other-2.0.zip",
        "browser_download_url":"https://e.org/other.zip"}]})");
    EXPECT_EQ(other->downloadURL, QUrl("https://e.org/other.zip"));

    // The checksum label is "sha256", not "SHA-256".
    const auto hyphen = parse(R"({"tag_name":"2.0","body":"SHA-256: )"
                              R"(abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789",
        "assets":[{"name":"z.zip","browser_download_url":"https://e.org/z.zip"}]})");
    EXPECT_FALSE(hyphen->sha256);

    EXPECT_EQ(parse(R"({"tag_name":"2.0","assets":[{"name":"z.dmg","browser_download_url":"https://e.org/z"}]})")
                  .error()
                  .code,
              2);
    EXPECT_EQ(parse(R"({"tag_name":"2.0","assets":[{"name":"z.zip","browser_download_url":7}]})").error().code, 2);
    EXPECT_EQ(parse(R"({"tag_name":"2.0","assets":"none"})").error().code, 2);
}

TEST(ReleaseFeedTest, NormalisesVersions)
{
    EXPECT_EQ(ReleaseFeed::normalizeVersion(" v1.2.3 "), (QList<int>{1, 2, 3}));
    EXPECT_EQ(ReleaseFeed::normalizeVersion("V2.0.0-beta.1"), (QList<int>{2, 0, 0}));
    EXPECT_EQ(ReleaseFeed::normalizeVersion("1..x.+4"), (QList<int>{1, 0, 4}));
    EXPECT_EQ(ReleaseFeed::normalizeVersion("-"), QList<int>{0});
    EXPECT_EQ(ReleaseFeed::normalizeVersion(""), QList<int>{});
}

TEST(ReleaseFeedTest, ComparesVersionsThenBuilds)
{
    struct Case {
        const char* candidate;
        std::optional<int> candidateBuild;
        const char* current;
        std::optional<int> currentBuild;
        bool newer;
    };
    const Case cases[] = {
        {"1.10", {}, "1.9", {}, true},
        {"1.9", {}, "1.10", {}, false},
        {"1.2", {}, "1.2.0", {}, false},
        {"1.2.0", {}, "1.2", {}, false},
        {"1.2.1", {}, "1.2", {}, true},
        {"v2.0.0-beta.1", {}, "2.0.0", {}, false},
        {"2.0", 5, "2.0", 4, true},
        {"2.0", 4, "2.0", 4, false},
        {"2.0", {}, "2.0", 4, false},
        {"2.0", 5, "2.0", {}, false},
        {"", {}, "0", {}, false},
        {"0.2.3", {}, "0.2.2", 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReleaseFeed::isNewer(c.candidate, c.candidateBuild, c.current, c.currentBuild), c.newer)
            << c.candidate << " vs " << c.current;
    }
}

TEST(ReleaseFeedTest, ReleaseInfoRoundTripsAndLocalisesNotes)
{
    ReleaseInfo release;
    release.version = "2.0";
    release.build = 7;
    release.downloadURL = QUrl("https://e.org/z.zip");
    release.sha256 = "abc";
    release.notesFR = "fr";
    release.htmlURL = QUrl("https://e.org");
    EXPECT_EQ(ReleaseInfo::fromJson(release.toJson()), release);
    EXPECT_FALSE(release.toJson().contains("notesEN"));
    EXPECT_FALSE(ReleaseInfo::fromJson(QJsonObject{{"version", "1"}}));

    testing::ScopedLanguage english(AppLanguage::en);
    EXPECT_EQ(release.localizedNotes(), "fr");
    release.notesEN = "";
    EXPECT_EQ(release.localizedNotes(), "fr");
    release.notesEN = "en";
    EXPECT_EQ(release.localizedNotes(), "en");
    release.notesFR.reset();
    release.notesEN.reset();
    EXPECT_EQ(release.localizedNotes(), "Maintenance and feature update.");
    Localization::setCurrent(AppLanguage::fr);
    EXPECT_EQ(release.localizedNotes(), QString::fromUtf8("Mise à jour de maintenance et d'améliorations."));
}

TEST(UpdateAddressTest, TakesTheFirstUsableSource)
{
    const QString repo = QStringLiteral("tarnwick/Zelvane");
    EXPECT_EQ(UpdateAddress::feedURL("https://a.org/feed", "https://b.org", "https://c.org", repo),
              QUrl("https://a.org/feed"));
    EXPECT_EQ(UpdateAddress::feedURL(QString(""), "https://b.org", "https://c.org", repo), QUrl("https://b.org"));
    EXPECT_EQ(UpdateAddress::feedURL(std::nullopt, "http://exa mple.org", "https://c.org", repo),
              QUrl("https://c.org"));
    EXPECT_EQ(UpdateAddress::feedURL(std::nullopt, std::nullopt, QString(), repo),
              QUrl("https://api.github.com/repos/tarnwick/Zelvane/releases/latest"));
}

TEST(UpdateAddressTest, AllowsHttpsAndLoopbackHttpOnly)
{
    EXPECT_TRUE(UpdateAddress::isAllowed(QUrl("https://example.org/z.zip")));
    EXPECT_TRUE(UpdateAddress::isAllowed(QUrl("http://127.0.0.1:8080/feed")));
    EXPECT_TRUE(UpdateAddress::isAllowed(QUrl("http://[::1]/feed")));
    EXPECT_TRUE(UpdateAddress::isAllowed(QUrl("http://localhost/feed")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("http://example.org/z.zip")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("http://127.0.0.1.example.org/z.zip")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("file:///etc/passwd")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("data:application/zip;base64,AAAA")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("ftp://example.org/z.zip")));
    EXPECT_FALSE(UpdateAddress::isAllowed(QUrl("z.zip")));
}

}  // namespace
}  // namespace zelvane
