#include "osc/OSCCodec.h"

#include <gtest/gtest.h>

#include <QtEndian>
#include <cmath>
#include <limits>

namespace zelvane {
namespace {

using OSCCodec::Message;
using OSCCodec::Value;

QByteArray padded(const QByteArray& text)
{
    QByteArray out = text;
    out.append(4 - text.size() % 4, '\0');
    return out;
}

QByteArray int32Bytes(qint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray bundle(const QList<QByteArray>& elements)
{
    QByteArray out("#bundle\0", 8);
    out += QByteArray(8, '\x01');  // a time tag, ignored
    for (const QByteArray& element : elements)
        out += int32Bytes(qint32(element.size())) + element;
    return out;
}

Message message(const QString& address, QList<Value> arguments = {})
{
    return Message{address, std::move(arguments)};
}

TEST(OSCCodecTest, EmptyOrNulDatagramsGiveNothing)
{
    EXPECT_TRUE(OSCCodec::decode(QByteArray()).isEmpty());
    EXPECT_TRUE(OSCCodec::decode(QByteArray(16, '\0')).isEmpty());
    EXPECT_TRUE(OSCCodec::decode(QByteArray("zelvane/page\0\0\0\0", 16)).isEmpty());
}

TEST(OSCCodecTest, AddressWithoutTypeTagsIsAMessageWithoutArguments)
{
    const QList<Message> messages = OSCCodec::decode(padded("/zelvane/undo"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], message(QStringLiteral("/zelvane/undo")));
    // A type-tag string that does not begin with "," means no arguments too.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + padded("i") + int32Bytes(4)),
              QList<Message>{message(QStringLiteral("/a"))});
}

TEST(OSCCodecTest, ReadsEachSupportedType)
{
    const float half = 0.5f;
    const QByteArray packet = padded("/x") + padded(",ifsTF") + int32Bytes(-7) +
                              int32Bytes(qint32(std::bit_cast<quint32>(half))) + padded("hé");
    const QList<Message> messages = OSCCodec::decode(packet);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].arguments,
              (QList<Value>{Value::int32(-7), Value::float32(0.5f), Value::string(QStringLiteral("hé")),
                            Value::boolean(true), Value::boolean(false)}));
}

TEST(OSCCodecTest, TruncatedArgumentsAreSkipped)
{
    // Only two data bytes for an int: no arguments.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + padded(",i") + QByteArray("\0\1", 2)),
              QList<Message>{message(QStringLiteral("/a"))});
    // A string without its terminator takes the text to the end.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + padded(",s") + QByteArray("abc")),
              QList<Message>{message(QStringLiteral("/a"), {Value::string(QStringLiteral("abc"))})});
    // A type-tag string cut short still reads what is there.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + QByteArray(",T")),
              QList<Message>{message(QStringLiteral("/a"), {Value::boolean(true)})});
    // An address cut short.
    EXPECT_EQ(OSCCodec::decode(QByteArray("/zel")), QList<Message>{message(QStringLiteral("/zel"))});
}

TEST(OSCCodecTest, BadPaddingShiftsWhatFollowsButNeverFails)
{
    // The address is padded to 6 bytes instead of 8: the tag string is read
    // from inside the padding and is no tag string.
    const QByteArray packet = QByteArray("/abc\0\0", 6) + padded(",i") + int32Bytes(5);
    const QList<Message> messages = OSCCodec::decode(packet);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].address, QStringLiteral("/abc"));
}

TEST(OSCCodecTest, UnknownTypeTagsConsumeNothing)
{
    // "b" is skipped, the integer is read where the blob would have been.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + padded(",bi") + int32Bytes(42)),
              QList<Message>{message(QStringLiteral("/a"), {Value::int32(42)})});
    // "h" skipped: the integer reads the high half of the 64-bit value.
    const QByteArray packet = padded("/a") + padded(",hi") + int32Bytes(3) + int32Bytes(4) + int32Bytes(5);
    EXPECT_EQ(OSCCodec::decode(packet), QList<Message>{message(QStringLiteral("/a"), {Value::int32(3)})});
    // Tags are case-sensitive: "I" and "t" are unknown.
    EXPECT_EQ(OSCCodec::decode(padded("/a") + padded(",ItN")), QList<Message>{message(QStringLiteral("/a"))});
}

TEST(OSCCodecTest, InvalidUTF8IsRepaired)
{
    const QList<Message> messages = OSCCodec::decode(padded("/a\xff") + padded(",s") + padded("x\xc3"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].address, QStringLiteral("/a\uFFFD"));
    EXPECT_EQ(messages[0].arguments, QList<Value>{Value::string(QStringLiteral("x\uFFFD"))});
}

TEST(OSCCodecTest, BundlesAreFlattenedInOrder)
{
    const QByteArray next = OSCCodec::encode(message(QStringLiteral("/zelvane/page/next")));
    const QByteArray page = OSCCodec::encode(message(QStringLiteral("/zelvane/page"), {Value::int32(3)}));
    const QList<Message> messages = OSCCodec::decode(bundle({next, bundle({page, next}), page}));
    ASSERT_EQ(messages.size(), 4);
    EXPECT_EQ(messages[0].address, QStringLiteral("/zelvane/page/next"));
    EXPECT_EQ(messages[1].address, QStringLiteral("/zelvane/page"));
    EXPECT_EQ(messages[2].address, QStringLiteral("/zelvane/page/next"));
    EXPECT_EQ(messages[3].arguments, QList<Value>{Value::int32(3)});
}

TEST(OSCCodecTest, ABundleStopsAtABadElementSizeAndKeepsWhatCameBefore)
{
    const QByteArray first = OSCCodec::encode(message(QStringLiteral("/one")));
    const QByteArray second = OSCCodec::encode(message(QStringLiteral("/two")));

    QByteArray zeroSize = bundle({first});
    zeroSize += int32Bytes(0) + second;
    EXPECT_EQ(OSCCodec::decode(zeroSize), QList<Message>{message(QStringLiteral("/one"))});

    QByteArray overrun = bundle({first});
    overrun += int32Bytes(qint32(second.size() + 1)) + second;
    EXPECT_EQ(OSCCodec::decode(overrun), QList<Message>{message(QStringLiteral("/one"))});

    QByteArray huge = bundle({first});
    huge += QByteArray("\xff\xff\xff\xff", 4) + second;
    EXPECT_EQ(OSCCodec::decode(huge), QList<Message>{message(QStringLiteral("/one"))});

    // A stop inside an inner bundle ends only that bundle.
    QByteArray inner = bundle({first});
    inner += int32Bytes(0);
    EXPECT_EQ(OSCCodec::decode(bundle({inner, second})),
              (QList<Message>{message(QStringLiteral("/one")), message(QStringLiteral("/two"))}));
}

TEST(OSCCodecTest, ShortBundlesYieldNothing)
{
    EXPECT_TRUE(OSCCodec::decode(bundle({})).isEmpty());
    EXPECT_TRUE(OSCCodec::decode(bundle({}) + QByteArray("\0\0", 2)).isEmpty());
    // Fewer than 16 bytes is no bundle but a message whose address lacks "/".
    EXPECT_TRUE(OSCCodec::decode(QByteArray("#bundle\0", 8)).isEmpty());
    // Only the first seven bytes are compared.
    QByteArray other = bundle({OSCCodec::encode(message(QStringLiteral("/x")))});
    other[7] = 'Z';
    EXPECT_EQ(OSCCodec::decode(other).size(), 1);
}

TEST(OSCCodecTest, DeeplyNestedBundlesDoNotExhaustTheStack)
{
    // 20000 bundles, each the only element of the one around it.
    const QByteArray inner = OSCCodec::encode(message(QStringLiteral("/deep")));
    constexpr int kLevels = 20000;
    QByteArray packet;
    for (int level = 0; level < kLevels; ++level) {
        packet += QByteArray("#bundle\0", 8) + QByteArray(8, '\0');
        packet += int32Bytes(qint32(inner.size() + 20 * (kLevels - 1 - level)));
    }
    packet += inner;
    EXPECT_EQ(OSCCodec::decode(packet), QList<Message>{message(QStringLiteral("/deep"))});
}

TEST(OSCCodecTest, EncodesTheWireFormat)
{
    EXPECT_EQ(OSCCodec::encode(message(QStringLiteral("/a"))), QByteArray("/a\0\0,\0\0\0", 8));
    EXPECT_EQ(OSCCodec::encode(message(QStringLiteral("/a"), {Value::boolean(true)})), QByteArray("/a\0\0,T\0\0", 8));
    EXPECT_EQ(OSCCodec::encode(message(QStringLiteral("/abc"), {Value::int32(1), Value::string(QStringLiteral("xyz"))})),
              padded("/abc") + padded(",is") + int32Bytes(1) + padded("xyz"));
    // The address is written as it stands.
    EXPECT_EQ(OSCCodec::encode(message(QStringLiteral("nope"))), padded("nope") + padded(","));
    EXPECT_EQ(OSCCodec::encode(message(QStringLiteral("/float"), {Value::float32(1.0f)})).right(4),
              QByteArray("\x3f\x80\x00\x00", 4));
}

TEST(OSCCodecTest, RoundTrips)
{
    const QList<Message> samples{
        message(QStringLiteral("/a")),
        message(QStringLiteral("/zelvane/sign"), {Value::string(QStringLiteral("Élodie Dupont"))}),
        message(QStringLiteral("/m"),
                {Value::int32(std::numeric_limits<qint32>::min()), Value::float32(-0.0f),
                 Value::float32(std::numeric_limits<float>::infinity()), Value::string(QString()),
                 Value::boolean(false), Value::string(QStringLiteral("four")), Value::int32(7)}),
    };
    for (const Message& sample : samples) {
        const QByteArray bytes = OSCCodec::encode(sample);
        EXPECT_EQ(bytes.size() % 4, 0);
        EXPECT_EQ(OSCCodec::decode(bytes), QList<Message>{sample});
    }
}

TEST(OSCCodecTest, BoolCoercions)
{
    EXPECT_EQ(Value::int32(0).boolValue(), false);
    EXPECT_EQ(Value::int32(-3).boolValue(), true);
    EXPECT_EQ(Value::float32(-0.0f).boolValue(), false);
    EXPECT_EQ(Value::float32(0.1f).boolValue(), true);
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::quiet_NaN()).boolValue(), true);
    EXPECT_EQ(Value::string(QStringLiteral(" YES\n")).boolValue(), true);
    EXPECT_EQ(Value::string(QStringLiteral("Oui")).boolValue(), true);
    EXPECT_EQ(Value::string(QStringLiteral("\tnon ")).boolValue(), false);
    EXPECT_EQ(Value::string(QStringLiteral("OFF")).boolValue(), false);
    EXPECT_EQ(Value::string(QStringLiteral("2")).boolValue(), std::nullopt);
    EXPECT_EQ(Value::string(QString()).boolValue(), std::nullopt);
    EXPECT_EQ(Value::boolean(true).boolValue(), true);
}

TEST(OSCCodecTest, IntCoercions)
{
    EXPECT_EQ(Value::int32(-5).intValue(), -5);
    EXPECT_EQ(Value::float32(2.9f).intValue(), 2);
    EXPECT_EQ(Value::float32(-7.9f).intValue(), -7);
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::quiet_NaN()).intValue(), std::nullopt);
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::infinity()).intValue(), std::nullopt);
    EXPECT_EQ(Value::float32(1e19f).intValue(), std::nullopt);
    EXPECT_EQ(Value::float32(-9223372036854775808.0f).intValue(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(Value::string(QStringLiteral(" 42 ")).intValue(), 42);
    EXPECT_EQ(Value::string(QStringLiteral("\t+42")).intValue(), 42);
    EXPECT_EQ(Value::string(QStringLiteral("\u00a0-42\u2003")).intValue(), -42);
    EXPECT_EQ(Value::string(QStringLiteral("42\n")).intValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("12.5")).intValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("+")).intValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("   ")).intValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("٣")).intValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("-9223372036854775808")).intValue(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(Value::string(QStringLiteral("9223372036854775807")).intValue(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Value::string(QStringLiteral("9223372036854775808")).intValue(), std::nullopt);
    EXPECT_EQ(Value::boolean(true).intValue(), 1);
    EXPECT_EQ(Value::boolean(false).intValue(), 0);
}

TEST(OSCCodecTest, DoubleCoercions)
{
    EXPECT_EQ(Value::int32(3).doubleValue(), 3.0);
    EXPECT_EQ(Value::float32(0.1f).doubleValue(), double(0.1f));
    EXPECT_EQ(Value::string(QStringLiteral(" 2.5 ")).doubleValue(), 2.5);
    EXPECT_EQ(Value::string(QStringLiteral("1e3")).doubleValue(), 1000.0);
    EXPECT_EQ(Value::string(QStringLiteral("0x1p3")).doubleValue(), 8.0);
    EXPECT_EQ(Value::string(QStringLiteral("-inf")).doubleValue(), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(*Value::string(QStringLiteral("nan")).doubleValue()));
    EXPECT_EQ(Value::string(QStringLiteral("2.5\n")).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("\n2.5")).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("2,5")).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("")).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::string(QStringLiteral("1x")).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::string(QString::fromUtf16(u"1\0", 2)).doubleValue(), std::nullopt);
    EXPECT_EQ(Value::boolean(true).doubleValue(), 1.0);
}

TEST(OSCCodecTest, StringCoercions)
{
    EXPECT_EQ(Value::int32(-12).stringValue(), QStringLiteral("-12"));
    EXPECT_EQ(Value::boolean(false).stringValue(), QStringLiteral("0"));
    EXPECT_EQ(Value::boolean(true).stringValue(), QStringLiteral("1"));
    EXPECT_EQ(Value::string(QStringLiteral("x")).stringValue(), QStringLiteral("x"));
    EXPECT_EQ(Value::float32(2.0f).stringValue(), QStringLiteral("2.0"));
    EXPECT_EQ(Value::float32(1.5f).stringValue(), QStringLiteral("1.5"));
    EXPECT_EQ(Value::float32(0.1f).stringValue(), QStringLiteral("0.1"));
    EXPECT_EQ(Value::float32(-2.7f).stringValue(), QStringLiteral("-2.7"));
    EXPECT_EQ(Value::float32(100.0f).stringValue(), QStringLiteral("100.0"));
    EXPECT_EQ(Value::float32(0.0001f).stringValue(), QStringLiteral("0.0001"));
    EXPECT_EQ(Value::float32(0.00001f).stringValue(), QStringLiteral("1e-05"));
    EXPECT_EQ(Value::float32(16777216.0f).stringValue(), QStringLiteral("16777216.0"));
    EXPECT_EQ(Value::float32(33554432.0f).stringValue(), QStringLiteral("3.3554432e+07"));
    EXPECT_EQ(Value::float32(1e16f).stringValue(), QStringLiteral("1e+16"));
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::max()).stringValue(), QStringLiteral("3.4028235e+38"));
    EXPECT_EQ(Value::float32(-0.0f).stringValue(), QStringLiteral("-0.0"));
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::infinity()).stringValue(), QStringLiteral("inf"));
    EXPECT_EQ(Value::float32(std::numeric_limits<float>::quiet_NaN()).stringValue(), QStringLiteral("nan"));
    // The shortest text reads back to the same 32-bit value.
    for (const float sample : {3.14159274f, 1.0f / 3.0f, 123456.789f, 7e-10f}) {
        EXPECT_EQ(Value::float32(sample).stringValue().toFloat(), sample);
    }
}

TEST(OSCCodecTest, EqualityNeedsTheSameCase)
{
    EXPECT_NE(Value::int32(1), Value::boolean(true));
    EXPECT_NE(Value::int32(1), Value::float32(1.0f));
    EXPECT_EQ(Value::string(QStringLiteral("a")), Value::string(QStringLiteral("a")));
    EXPECT_EQ(Value::int32(1).type(), Value::Type::int32);
    EXPECT_EQ(Value::boolean(false).type(), Value::Type::boolean);
}

}  // namespace
}  // namespace zelvane
