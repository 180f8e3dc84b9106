#include "core/support/ProgramOutput.h"

#include <gtest/gtest.h>

using zelvane::testing::programOutput;

TEST(ProgramOutputTest, GivesWhatAFinishedProgramPrintsAndNothingOtherwise)
{
    // Standard output only, whole, however long.
    EXPECT_EQ(programOutput(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("printf 'a b'; echo oops >&2")}, 60000),
              QByteArray("a b"));
    const QByteArray many(200000, 'x');
    EXPECT_EQ(programOutput(QStringLiteral("head"), {QStringLiteral("-c"), QString::number(many.size()), QStringLiteral("/dev/zero")},
                            60000)
                  .size(),
              many.size());
    // A program that is not there, and one still running at the limit.
    EXPECT_TRUE(programOutput(QStringLiteral("zelvane-no-such-program"), {}, 60000).isEmpty());
    EXPECT_TRUE(programOutput(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo early; exec sleep 600")}, 200)
                    .isEmpty());
}
