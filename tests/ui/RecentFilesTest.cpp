#include "Settings.h"
#include "UiTestSupport.h"
#include "appmodel/AppModel.h"

#include <QDir>
#include <QFile>

using namespace zelvane;

namespace {

class RecentFilesTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(files.isValid());
    }

    QString touch(const QString& name) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    QStringList storedPaths() const
    {
        return openUserSettings()->value(QLatin1String(AppModel::kRecentPathsKey)).toStringList();
    }

    QTemporaryDir files;
};

QStringList paths(const QList<QUrl>& urls)
{
    QStringList result;
    for (const QUrl& url : urls)
        result.append(url.toLocalFile());
    return result;
}

}  // namespace

TEST_F(RecentFilesTest, RecordingKeepsOneEntryPerFileNewestFirstAndAtMostTwelve)
{
    AppModel model(false, true);
    QStringList recorded;
    for (int i = 0; i < 13; ++i) {
        recorded.prepend(touch(QStringLiteral("f%1.pdf").arg(i)));
        model.recordRecentURL(QUrl::fromLocalFile(recorded.first()));
    }
    EXPECT_EQ(paths(model.recentURLs()), recorded.mid(0, 12));
    EXPECT_EQ(storedPaths(), recorded.mid(0, 12));

    // The same file again, written with dot and dot-dot components.
    const QString again = files.path() + QStringLiteral("/sub/.././/f5.pdf");
    model.recordRecentURL(QUrl::fromLocalFile(again));
    EXPECT_EQ(model.recentURLs().first().toLocalFile(), files.filePath(QStringLiteral("f5.pdf")));
    EXPECT_EQ(paths(model.recentURLs()).count(files.filePath(QStringLiteral("f5.pdf"))), 1);
    EXPECT_EQ(model.recentURLs().size(), 12);
    EXPECT_EQ(storedPaths().first(), files.filePath(QStringLiteral("f5.pdf")));
}

TEST_F(RecentFilesTest, LoadingKeepsAbsoluteExistingPathsInStoredOrder)
{
    const QString a = touch(QStringLiteral("a.pdf"));
    const QString c = touch(QStringLiteral("c.svg"));
    const QString gone = files.filePath(QStringLiteral("b.pdf"));
    QDir::setCurrent(files.path());
    openUserSettings()->setValue(QLatin1String(AppModel::kRecentPathsKey),
                                 QStringList{a, gone, QStringLiteral("c.svg"), c, a, QString()});
    AppModel model(false, true);
    // Relative entries are dropped even when they name a file; duplicates
    // stored twice stay until the next record.
    EXPECT_EQ(paths(model.recentURLs()), (QStringList{a, c, a}));
    // Loading never writes.
    EXPECT_EQ(storedPaths().size(), 6);
}

TEST_F(RecentFilesTest, ASingleStoredPathAndAWrongTypeLoad)
{
    const QString a = touch(QStringLiteral("a.pdf"));
    openUserSettings()->setValue(QLatin1String(AppModel::kRecentPathsKey), QStringList{a});
    EXPECT_EQ(paths(AppModel(false, true).recentURLs()), QStringList{a});
    openUserSettings()->setValue(QLatin1String(AppModel::kRecentPathsKey), 42);
    EXPECT_TRUE(AppModel(false, true).recentURLs().isEmpty());
}

TEST_F(RecentFilesTest, ClearingRemovesTheKey)
{
    AppModel model(false, true);
    model.recordRecentURL(QUrl::fromLocalFile(touch(QStringLiteral("a.pdf"))));
    ASSERT_TRUE(openUserSettings()->contains(QLatin1String(AppModel::kRecentPathsKey)));
    model.clearRecentURLs();
    EXPECT_TRUE(model.recentURLs().isEmpty());
    EXPECT_FALSE(openUserSettings()->contains(QLatin1String(AppModel::kRecentPathsKey)));
}

TEST_F(RecentFilesTest, NonLocalURLsAreNotRecorded)
{
    AppModel model(false, true);
    model.recordRecentURL(QUrl(QStringLiteral("https://example.com/a.pdf")));
    EXPECT_TRUE(model.recentURLs().isEmpty());
    EXPECT_FALSE(openUserSettings()->contains(QLatin1String(AppModel::kRecentPathsKey)));
}
