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

TEST(VersionE2ETest, OtherRunsPrintANoticeAndExitZero)
{
    const ProcessResult run = runZelvane({QStringLiteral("--Version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.out.startsWith("Zelvane 0.2.2"));
    EXPECT_EQ(run.out.count('\n'), 1);
}
