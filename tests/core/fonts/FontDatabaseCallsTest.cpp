#include "core/fonts/TestFonts.h"
#include "fonts/FontDatabaseCalls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace zelvane;
namespace test = zelvane::testing;

// Qt fills its font database in again after a font is registered, on
// whichever thread asks next: threads asking while another registers all
// get answers, and every one asking afterwards sees the new family with its
// face.
TEST(FontDatabaseCallsTest, AFamilyRegisteredWhileOthersAskIsSeenByEveryThreadAfterwards)
{
    ASSERT_TRUE(test::ensureGuiApplication());
    const QByteArray base = test::liberationSansRegular();
    if (base.isEmpty())
        GTEST_SKIP() << "Liberation Sans is not installed";
    const QString family = QStringLiteral("Zelvane Database Probe");
    test::TestFontOptions options;
    options.family = family;
    options.style = QStringLiteral("Bold");
    options.postScriptName = QStringLiteral("ZelvaneDatabaseProbe-Bold");
    const QByteArray font = test::makeTestFont(base, options);

    struct Seen {
        bool listed = false;
        QStringList styles;
        int weight = -1;
        bool italic = true;
    };
    std::atomic<bool> registered{false};
    std::vector<Seen> seen(4);
    std::vector<std::thread> askers;
    for (Seen& mine : seen) {
        askers.emplace_back([&] {
            for (bool after = false; !after;) {
                after = registered.load();
                const bool listed = fonts::fontDatabase::families().contains(family);
                if (after) {
                    mine.listed = listed;
                    mine.styles = fonts::fontDatabase::styles(family);
                    mine.weight = fonts::fontDatabase::weight(family, mine.styles.value(0));
                    mine.italic = fonts::fontDatabase::italic(family, mine.styles.value(0));
                }
            }
        });
    }
    const int id = fonts::fontDatabase::addApplicationFontFromData(font);
    registered = true;
    for (std::thread& asker : askers)
        asker.join();
    ASSERT_GE(id, 0);
    EXPECT_EQ(fonts::fontDatabase::applicationFontFamilies(id), QStringList{family});
    const QStringList styles = fonts::fontDatabase::styles(family);
    ASSERT_EQ(styles, QStringList{QStringLiteral("Bold")});
    for (const Seen& one : seen) {
        EXPECT_TRUE(one.listed);
        EXPECT_EQ(one.styles, styles);
        EXPECT_EQ(one.weight, fonts::fontDatabase::weight(family, styles.value(0)));
        EXPECT_FALSE(one.italic);
    }
}
