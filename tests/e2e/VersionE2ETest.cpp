#include <gtest/gtest.h>
#include <QProcess>

namespace {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProcessResult runZelvane(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(ZELVANE_BINARY), arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

}  // namespace

TEST(VersionE2ETest, VersionFlagsPrintTheVersionAndExitZero)
{
    for (const QString& flag : {QStringLiteral("--version"), QStringLiteral("-v")}) {
        const ProcessResult run = runZelvane({flag});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, QByteArray("Zelvane 0.2.2\n"));
        EXPECT_TRUE(run.err.isEmpty());
    }
    // The flag counts wherever it stands after the program path.
    EXPECT_EQ(runZelvane({QStringLiteral("some.pdf"), QStringLiteral("-v")}).out, QByteArray("Zelvane 0.2.2\n"));
}

TEST(VersionE2ETest, WindowWithoutADisplayFailsWithOneErrorLine)
{
    // Not a version flag: the window is wanted, and there is nothing to show
    // it on.
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("XDG_SESSION_TYPE"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZELVANE_BINARY), {QStringLiteral("--Version")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    const QByteArray err = process.readAllStandardError();
    EXPECT_TRUE(err.startsWith("error: ")) << err.constData();
    EXPECT_EQ(err.count('\n'), 1);
}
