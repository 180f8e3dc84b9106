#include "osc/OSCAddresses.h"

#include <gtest/gtest.h>

#include <QDir>
#include <limits>

namespace zelvane {
namespace {

using OSCAddresses::Command;
using OSCCodec::Message;
using OSCCodec::Value;

Message withArgument(const Value& value)
{
    return Message{QStringLiteral("/zelvane/x"), {value}};
}

TEST(OSCAddressesTest, MatchesWholeAddressesIgnoringCase)
{
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/page")), Command::page);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/ZELVANE/PAGE/NEXT")), Command::pageNext);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/page/prev")), Command::pagePrevious);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/Zelvane/Sign")), Command::sign);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/stamp")), Command::stamp);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/open")), Command::open);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/export")), Command::exportFile);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/undo")), Command::undo);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/redo")), Command::redo);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/page/next/")), std::nullopt);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral("/zelvane/page/*")), std::nullopt);
    EXPECT_EQ(OSCAddresses::commandFor(QStringLiteral(" /zelvane/undo")), std::nullopt);
    EXPECT_EQ(OSCAddresses::address(Command::pagePrevious), QStringLiteral("/zelvane/page/prev"));
    EXPECT_EQ(OSCAddresses::helpLines().size(), 9);
}

TEST(OSCAddressesTest, PageNumbersAcceptAnyArgumentType)
{
    EXPECT_EQ(OSCAddresses::pageNumber(Message{QStringLiteral("/zelvane/page"), {}}), std::nullopt);
    EXPECT_EQ(OSCAddresses::pageNumber(withArgument(Value::int32(4))), 4);
    EXPECT_EQ(OSCAddresses::pageNumber(withArgument(Value::float32(2.7f))), 2);
    EXPECT_EQ(OSCAddresses::pageNumber(withArgument(Value::string(QStringLiteral("3")))), 3);
    EXPECT_EQ(OSCAddresses::pageNumber(withArgument(Value::string(QStringLiteral("3.5")))), std::nullopt);
    // Only the first argument counts.
    EXPECT_EQ(OSCAddresses::pageNumber(Message{QStringLiteral("/p"), {Value::string(QStringLiteral("x")), Value::int32(2)}}),
              std::nullopt);
}

TEST(OSCAddressesTest, PageIndexesAreClampedWithoutOverflow)
{
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(1, 5), 0);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(3, 5), 2);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(0, 5), 0);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(-4, 5), 0);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(6, 5), 4);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(std::numeric_limits<qint64>::min(), 5), 0);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(std::numeric_limits<qint64>::max(), 5), 4);
    EXPECT_EQ(OSCAddresses::pageIndexForNumber(qint64(1) << 40, 1), 0);
}

TEST(OSCAddressesTest, SignerNamesAndStampKinds)
{
    EXPECT_EQ(OSCAddresses::signerName(Message{QStringLiteral("/zelvane/sign"), {}}), std::nullopt);
    EXPECT_EQ(OSCAddresses::signerName(withArgument(Value::string(QString()))), std::nullopt);
    EXPECT_EQ(OSCAddresses::signerName(withArgument(Value::string(QStringLiteral("Ana")))), QStringLiteral("Ana"));
    EXPECT_EQ(OSCAddresses::signerName(withArgument(Value::int32(7))), QStringLiteral("7"));

    EXPECT_EQ(OSCAddresses::stampKind(Message{QStringLiteral("/zelvane/stamp"), {}}), VectorStampKind::approved);
    EXPECT_EQ(OSCAddresses::stampKind(withArgument(Value::string(QStringLiteral("confidential")))),
              VectorStampKind::confidential);
    EXPECT_EQ(OSCAddresses::stampKind(withArgument(Value::string(QStringLiteral("stagePlot")))), VectorStampKind::stagePlot);
    EXPECT_EQ(OSCAddresses::stampKind(withArgument(Value::string(QStringLiteral("Confidential")))),
              VectorStampKind::approved);
    EXPECT_EQ(OSCAddresses::stampKind(withArgument(Value::int32(3))), VectorStampKind::approved);
}

TEST(OSCAddressesTest, FilePathsExpandTheTilde)
{
    EXPECT_EQ(OSCAddresses::filePath(Message{QStringLiteral("/zelvane/open"), {}}), std::nullopt);
    EXPECT_EQ(OSCAddresses::filePath(withArgument(Value::string(QString()))), std::nullopt);
    EXPECT_EQ(OSCAddresses::filePath(withArgument(Value::string(QStringLiteral("/tmp/a.pdf")))),
              QStringLiteral("/tmp/a.pdf"));
    EXPECT_EQ(OSCAddresses::filePath(withArgument(Value::string(QStringLiteral("~/a.pdf")))),
              QDir::homePath() + QStringLiteral("/a.pdf"));
}

}  // namespace
}  // namespace zelvane
