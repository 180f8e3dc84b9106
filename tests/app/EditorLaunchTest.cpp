#include "DisplayCheck.h"
#include "LaunchFiles.h"
#include "QuitSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using namespace zelvane;

namespace {

// Sets environment variables for one test and puts them back afterwards.
class ScopedEnvironment {
public:
    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name.constData(), *value);
            else
                qunsetenv(name.constData());
        }
    }

private:
    void remember(const char* name)
    {
        m_saved.emplace_back(QByteArray(name),
                             qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

QString touch(const QTemporaryDir& dir, const QString& name)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return file.fileName();
}

}  // namespace

TEST(LaunchFilesTest, TheFirstExistingPathAfterSkippingOptionPairs)
{
    QTemporaryDir dir;
    const QString a = touch(dir, QStringLiteral("a.pdf"));
    const QString b = touch(dir, QStringLiteral("b.pdf"));
    const QString missing = dir.filePath(QStringLiteral("missing.pdf"));
    using LaunchFiles::firstExistingFile;

    EXPECT_EQ(firstExistingFile({}), std::nullopt);
    EXPECT_EQ(firstExistingFile({missing, b, a}), QUrl::fromLocalFile(b));
    // An option takes the argument after it along, whatever it is.
    EXPECT_EQ(firstExistingFile({QStringLiteral("--unknown"), a}), std::nullopt);
    EXPECT_EQ(firstExistingFile({QStringLiteral("--lang"), QStringLiteral("en"), a}), QUrl::fromLocalFile(a));
    EXPECT_EQ(firstExistingFile({QStringLiteral("-x"), missing, QStringLiteral("-y")}), std::nullopt);
    // A folder exists too: it is handed to the open, which reports it.
    EXPECT_EQ(firstExistingFile({dir.path()}), QUrl::fromLocalFile(dir.path()));
}

TEST(LaunchFilesTest, ALeadingTildeIsTheHomeFolder)
{
    QTemporaryDir home;
    ScopedEnvironment environment;
    environment.set("HOME", home.path().toLocal8Bit());
    const QString plan = touch(home, QStringLiteral("plan.pdf"));
    EXPECT_EQ(LaunchFiles::firstExistingFile({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("~/plan.pdf")}),
              QUrl::fromLocalFile(plan));
    EXPECT_EQ(LaunchFiles::firstExistingFile({QStringLiteral("~other/plan.pdf")}), std::nullopt);
}

TEST(DisplayCheckTest, OffscreenNeedsNoDisplay)
{
    ScopedEnvironment environment;
    environment.unset("DISPLAY");
    environment.set("QT_QPA_PLATFORM", "offscreen");
    EXPECT_EQ(DisplayCheck::problem({QStringLiteral("zelvane")}), std::nullopt);
}

TEST(DisplayCheckTest, NoDisplayIsReportedInsteadOfAborting)
{
    ScopedEnvironment environment;
    environment.unset("DISPLAY");
    environment.unset("QT_QPA_PLATFORM");
    environment.unset("XDG_SESSION_TYPE");
    const std::optional<QString> problem = DisplayCheck::problem({QStringLiteral("zelvane")});
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->contains(QStringLiteral("DISPLAY"))) << problem->toStdString();

    // A display that nothing serves.
    environment.set("DISPLAY", ":97");
    EXPECT_TRUE(DisplayCheck::problem({QStringLiteral("zelvane")}));

    // The command line's platform wins over the environment's.
    EXPECT_EQ(DisplayCheck::problem({QStringLiteral("zelvane"), QStringLiteral("-platform"),
                                     QStringLiteral("offscreen")}),
              std::nullopt);
    environment.set("QT_QPA_PLATFORM", "nosuchplatform");
    EXPECT_TRUE(DisplayCheck::problem({QStringLiteral("zelvane")}));
    // A list is usable when one of its platforms is.
    environment.set("QT_QPA_PLATFORM", "xcb;offscreen");
    EXPECT_EQ(DisplayCheck::problem({QStringLiteral("zelvane")}), std::nullopt);
}

TEST(QuitSignalsTest, SIGTERMAndSIGINTQuitOnTheMainThread)
{
    int argc = 1;
    char name[] = "quit_signals_test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.isInstalled());
    QSignalSpy quits(&quitSignals, &QuitSignals::quitRequested);
    for (int number : {SIGTERM, SIGINT}) {
        std::raise(number);
        ASSERT_TRUE(quits.wait(5000));
        EXPECT_EQ(quits.takeFirst().at(0).toInt(), number);
    }
}
