#include "osc/OSCCodec.h"

#include <QtEndian>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <string>

namespace zelvane::OSCCodec {
namespace {

// ---- Coercions -------------------------------------------------------------

bool isSpaceOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isSpaceTabOrNewline(QChar c)
{
    const char16_t u = c.unicode();
    return isSpaceOrTab(c) || (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

template <typename Predicate>
QStringView trimmed(QStringView text, Predicate isBlank)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

std::optional<bool> boolFromText(const QString& text)
{
    const QString lowered = text.toLower();
    const QStringView word = trimmed(lowered, isSpaceTabOrNewline);
    for (const char16_t* yes : {u"1", u"true", u"on", u"yes", u"oui"}) {
        if (word == QStringView(yes))
            return true;
    }
    for (const char16_t* no : {u"0", u"false", u"off", u"no", u"non"}) {
        if (word == QStringView(no))
            return false;
    }
    return std::nullopt;
}

std::optional<qint64> intFromText(const QString& text)
{
    const QStringView digits = trimmed(text, isSpaceOrTab);
    qsizetype index = 0;
    bool negative = false;
    if (!digits.isEmpty() && (digits[0] == u'+' || digits[0] == u'-')) {
        negative = digits[0] == u'-';
        index = 1;
    }
    if (index == digits.size())
        return std::nullopt;
    // Accumulated as a negative number so that the lowest value fits.
    qint64 value = 0;
    for (; index < digits.size(); ++index) {
        const char16_t c = digits[index].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return -value;
}

locale_t cLocale()
{
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

std::optional<double> doubleFromText(const QString& text)
{
    const QStringView number = trimmed(text, isSpaceOrTab);
    if (number.isEmpty())
        return std::nullopt;
    // strtod would skip leading newlines; a number must start at once.
    const char16_t first = number[0].unicode();
    if (first == u'\n' || first == u'\r' || first == u'\v' || first == u'\f')
        return std::nullopt;
    const std::string bytes = number.toUtf8().toStdString();
    char* end = nullptr;
    const double value = ::strtod_l(bytes.c_str(), &end, cLocale());
    if (end != bytes.c_str() + bytes.size())
        return std::nullopt;
    return value;
}

// The shortest round-trip digits, written in fixed notation from 1e-4 up to
// 2^24 and in exponential notation outside ("1e-05", "3.3554432e+07").
QString floatText(float value)
{
    if (std::isnan(value))
        return std::signbit(value) ? QStringLiteral("-nan") : QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    if (value == 0)
        return std::signbit(value) ? QStringLiteral("-0.0") : QStringLiteral("0.0");

    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    const std::string_view scientific(buffer, size_t(written.ptr - buffer));
    const size_t e = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+' ? 1 : 0),
                    scientific.data() + scientific.size(), exponent);

    std::string out = value < 0 ? "-" : "";
    // The value is 0.DIGITS times ten to the power `decimalPoint`.
    const int decimalPoint = exponent + 1;
    if (decimalPoint < -3 || std::fabs(value) > 16777216.0f) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += exponent < 0 ? "e-" : "e+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            out += '0';
        out += std::to_string(magnitude);
    } else if (decimalPoint <= 0) {
        out += "0.";
        out += std::string(size_t(-decimalPoint), '0');
        out += digits;
    } else if (size_t(decimalPoint) < digits.size()) {
        out += digits.substr(0, size_t(decimalPoint));
        out += '.';
        out += digits.substr(size_t(decimalPoint));
    } else {
        out += digits;
        out += std::string(size_t(decimalPoint) - digits.size(), '0');
        out += ".0";
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

// ---- Wire format -----------------------------------------------------------

// A byte range of the datagram being read.
struct Reader {
    const char* bytes;
    qsizetype end;
    qsizetype position;

    qsizetype remaining() const { return end - position; }

    // A NUL-terminated string padded to four bytes; a missing terminator takes
    // the text to the end. Never moves past the end.
    std::optional<QByteArrayView> paddedString()
    {
        if (position >= end)
            return std::nullopt;
        const void* nul = std::memchr(bytes + position, 0, size_t(end - position));
        const qsizetype length = nul ? static_cast<const char*>(nul) - (bytes + position) : end - position;
        const QByteArrayView text(bytes + position, length);
        position = std::min(position + ((length + 4) & ~qsizetype(3)), end);
        return text;
    }

    quint32 bigEndian32()
    {
        const quint32 value = qFromBigEndian<quint32>(bytes + position);
        position += 4;
        return value;
    }
};

bool isBundle(const char* bytes, qsizetype size)
{
    return size >= 16 && std::memcmp(bytes, "#bundle", 7) == 0;
}

void decodeMessage(const char* bytes, qsizetype size, QList<Message>& out)
{
    Reader reader{bytes, size, 0};
    const std::optional<QByteArrayView> address = reader.paddedString();
    if (!address || !address->startsWith('/'))
        return;
    Message message;
    message.address = QString::fromUtf8(*address);
    const std::optional<QByteArrayView> tags = reader.paddedString();
    if (tags && tags->startsWith(',')) {
        for (const char tag : tags->sliced(1)) {
            switch (tag) {
            case 'i':
                if (reader.remaining() >= 4)
                    message.arguments.append(Value::int32(qint32(reader.bigEndian32())));
                break;
            case 'f':
                if (reader.remaining() >= 4)
                    message.arguments.append(Value::float32(std::bit_cast<float>(reader.bigEndian32())));
                break;
            case 's':
                if (const std::optional<QByteArrayView> text = reader.paddedString())
                    message.arguments.append(Value::string(QString::fromUtf8(*text)));
                break;
            case 'T':
                message.arguments.append(Value::boolean(true));
                break;
            case 'F':
                message.arguments.append(Value::boolean(false));
                break;
            default:
                // Blobs, 64-bit numbers and the rest: skipped, no bytes read.
                break;
            }
        }
    }
    out.append(std::move(message));
}

void appendPadded(QByteArray& out, QByteArrayView text)
{
    out.append(text);
    out.append(4 - text.size() % 4, '\0');
}

void appendBigEndian32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

}  // namespace

std::optional<bool> Value::boolValue() const
{
    switch (type()) {
    case Type::int32:
        return std::get<qint32>(m_payload) != 0;
    case Type::float32:
        // NaN compares unequal to zero, so it reads as true.
        return std::get<float>(m_payload) != 0.0f;
    case Type::string:
        return boolFromText(std::get<QString>(m_payload));
    case Type::boolean:
        return std::get<bool>(m_payload);
    }
    return std::nullopt;
}

std::optional<qint64> Value::intValue() const
{
    switch (type()) {
    case Type::int32:
        return std::get<qint32>(m_payload);
    case Type::float32: {
        const float value = std::get<float>(m_payload);
        // 2^63 is exactly representable; anything from there on overflows.
        if (!std::isfinite(value) || value >= 9223372036854775808.0f || value < -9223372036854775808.0f)
            return std::nullopt;
        return qint64(value);
    }
    case Type::string:
        return intFromText(std::get<QString>(m_payload));
    case Type::boolean:
        return std::get<bool>(m_payload) ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<double> Value::doubleValue() const
{
    switch (type()) {
    case Type::int32:
        return double(std::get<qint32>(m_payload));
    case Type::float32:
        return double(std::get<float>(m_payload));
    case Type::string:
        return doubleFromText(std::get<QString>(m_payload));
    case Type::boolean:
        return std::get<bool>(m_payload) ? 1.0 : 0.0;
    }
    return std::nullopt;
}

QString Value::stringValue() const
{
    switch (type()) {
    case Type::int32:
        return QString::number(std::get<qint32>(m_payload));
    case Type::float32:
        return floatText(std::get<float>(m_payload));
    case Type::string:
        return std::get<QString>(m_payload);
    case Type::boolean:
        return std::get<bool>(m_payload) ? QStringLiteral("1") : QStringLiteral("0");
    }
    return {};
}

QList<Message> decode(QByteArrayView datagram)
{
    QList<Message> messages;
    const char* bytes = datagram.data();
    if (!isBundle(bytes, datagram.size())) {
        decodeMessage(bytes, datagram.size(), messages);
        return messages;
    }
    // Bundles inside bundles are walked with a stack of their read positions
    // rather than by recursion, so the depth is bounded by the packet alone.
    QList<Reader> bundles{Reader{bytes, datagram.size(), 16}};
    while (!bundles.isEmpty()) {
        Reader& bundle = bundles.last();
        if (bundle.remaining() < 4) {
            bundles.removeLast();
            continue;
        }
        const quint32 size = bundle.bigEndian32();
        if (size == 0 || size > quint64(bundle.remaining())) {
            bundles.removeLast();
            continue;
        }
        const char* element = bytes + bundle.position;
        bundle.position += qsizetype(size);
        const qsizetype offset = element - bytes;
        if (isBundle(element, qsizetype(size)))
            bundles.append(Reader{bytes, offset + qsizetype(size), offset + 16});
        else
            decodeMessage(element, qsizetype(size), messages);
    }
    return messages;
}

QByteArray encode(const Message& message)
{
    QByteArray out;
    appendPadded(out, message.address.toUtf8());
    QByteArray tags(",");
    for (const Value& argument : message.arguments) {
        switch (argument.type()) {
        case Value::Type::int32:
            tags += 'i';
            break;
        case Value::Type::float32:
            tags += 'f';
            break;
        case Value::Type::string:
            tags += 's';
            break;
        case Value::Type::boolean:
            tags += std::get<bool>(argument.payload()) ? 'T' : 'F';
            break;
        }
    }
    appendPadded(out, tags);
    for (const Value& argument : message.arguments) {
        switch (argument.type()) {
        case Value::Type::int32:
            appendBigEndian32(out, quint32(std::get<qint32>(argument.payload())));
            break;
        case Value::Type::float32:
            appendBigEndian32(out, std::bit_cast<quint32>(std::get<float>(argument.payload())));
            break;
        case Value::Type::string:
            appendPadded(out, std::get<QString>(argument.payload()).toUtf8());
            break;
        case Value::Type::boolean:
            break;
        }
    }
    return out;
}

}  // namespace zelvane::OSCCodec
