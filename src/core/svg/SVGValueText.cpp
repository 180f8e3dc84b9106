#include "svg/SVGValueText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <locale.h>

namespace zelvane::SVGCodec {

namespace {

// The largest magnitude below which a whole number fits a signed 64-bit integer.
constexpr double kIntegerLimit = 9.2e18;

// A value at least 0.005 from every whole number, to two decimals, as
// QString::number(value, 'f', 2) writes it: the exact binary value rounded,
// a tie going away from zero. Its length, or 0 when the value is too large
// to take this road.
int twoDecimals(char* buffer, int capacity, double value)
{
    // Below this every count of hundredths is a whole double.
    if (!(std::fabs(value) < 1e12)) {
        return 0;
    }
    // A tie sits exactly halfway between two hundredths: the value is an odd
    // number of eighths. Anything else rounds the same to the nearest.
    const double eighths = value * 8;
    if (eighths == std::trunc(eighths) && std::fmod(eighths, 2) != 0) {
        const qint64 hundredths = qint64(std::fabs(eighths) * 12.5 + 0.5);
        char* p = buffer;
        if (value < 0) {
            *p++ = '-';
        }
        p = std::to_chars(p, buffer + capacity, hundredths / 100).ptr;
        *p++ = '.';
        *p++ = char('0' + hundredths % 100 / 10);
        *p++ = char('0' + hundredths % 10);
        return int(p - buffer);
    }
    const std::to_chars_result result = std::to_chars(buffer, buffer + capacity, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc()) {
        return 0;
    }
    return int(result.ptr - buffer);
}

// formatNum into `buffer` (64 bytes); its length, or 0 for a value only
// QString::number can write.
int numChars(char* buffer, double value)
{
    if (!std::isfinite(value)) {
        buffer[0] = '0';
        return 1;
    }
    const double rounded = std::round(value);
    if (std::fabs(rounded - value) < 0.005 && std::fabs(rounded) < kIntegerLimit) {
        return int(std::to_chars(buffer, buffer + 64, static_cast<qint64>(rounded)).ptr - buffer);
    }
    return twoDecimals(buffer, 64, value);
}

// formatExact into `buffer` (64 bytes); its length.
int exactChars(char* buffer, double value)
{
    if (!std::isfinite(value) || value == 0) {
        buffer[0] = '0';
        return 1;
    }
    const double magnitude = std::fabs(value);
    const std::chars_format format =
        magnitude >= 1e-5 && magnitude < 1e15 ? std::chars_format::fixed : std::chars_format::general;
    const std::to_chars_result result = std::to_chars(buffer, buffer + 64, value, format);
    if (result.ec != std::errc()) {
        buffer[0] = '0';
        return 1;
    }
    return int(result.ptr - buffer);
}

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Writes `text` as UTF-8 at `p`, escaped for character data or an attribute
// value as escapeXML and escapeAttribute do; room for 6 bytes a code unit
// must be there. Returns the end of what was written.
char* writeEscapedUtf8(char* p, QStringView text, bool escape, bool attribute)
{
    const char16_t* s = reinterpret_cast<const char16_t*>(text.data());
    const char16_t* const end = s + text.size();
    const auto put = [&p](const char* entity, int length) {
        std::memcpy(p, entity, size_t(length));
        p += length;
    };
    while (s < end) {
        const char16_t c = *s++;
        if (c < 0x80) {
            if (!escape || (c >= 0x20 && c != u'&' && c != u'<' && c != u'>' && c != u'"')) {
                *p++ = char(c);
                continue;
            }
            switch (c) {
            case u'&': put("&amp;", 5); break;
            case u'<': put("&lt;", 4); break;
            case u'>': put("&gt;", 4); break;
            case u'"': put("&quot;", 6); break;
            case u'\r': put("&#13;", 5); break;
            case u'\n':
                if (attribute) {
                    put("&#10;", 5);
                } else {
                    *p++ = '\n';
                }
                break;
            case u'\t':
                if (attribute) {
                    put("&#9;", 4);
                } else {
                    *p++ = '\t';
                }
                break;
            default: break;  // a control character XML does not allow is dropped
            }
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && s < end && QChar::isLowSurrogate(*s)) {
            code = QChar::surrogateToUcs4(c, *s++);
        } else if (QChar::isSurrogate(c) || (escape && (c == 0xFFFE || c == 0xFFFF))) {
            code = QChar::ReplacementCharacter;
        }
        if (code < 0x800) {
            *p++ = char(0xC0 | (code >> 6));
            *p++ = char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *p++ = char(0xE0 | (code >> 12));
            *p++ = char(0x80 | ((code >> 6) & 0x3F));
            *p++ = char(0x80 | (code & 0x3F));
        } else {
            *p++ = char(0xF0 | (code >> 18));
            *p++ = char(0x80 | ((code >> 12) & 0x3F));
            *p++ = char(0x80 | ((code >> 6) & 0x3F));
            *p++ = char(0x80 | (code & 0x3F));
        }
    }
    return p;
}

void appendUtf8(QByteArray& out, QStringView text, bool escape, bool attribute)
{
    const qsizetype start = out.size();
    out.resize(start + 6 * text.size());
    char* const begin = out.data() + start;
    out.truncate(start + (writeEscapedUtf8(begin, text, escape, attribute) - begin));
}

}  // namespace

void appendNum(QByteArray& out, double value)
{
    char buffer[64];
    if (const int length = numChars(buffer, value)) {
        out.append(buffer, length);
    } else {
        out.append(QByteArray::number(value, 'f', 2));
    }
}

bool numReadsBackExactly(double value)
{
    char buffer[65];
    const int length = numChars(buffer, value);
    if (length == 0 || !std::isfinite(value)) {
        return false;
    }
    buffer[length] = '\0';
    char* end = nullptr;
    return strtod_l(buffer, &end, cLocale()) == value && end == buffer + length;
}

QString formatNum(double value)
{
    QByteArray out;
    appendNum(out, value);
    return QString::fromLatin1(out);
}

void appendExact(QByteArray& out, double value)
{
    char buffer[64];
    out.append(buffer, exactChars(buffer, value));
}

QString formatExact(double value)
{
    QByteArray out;
    appendExact(out, value);
    return QString::fromLatin1(out);
}

void appendEscapedXML(QByteArray& out, QStringView text)
{
    appendUtf8(out, text, true, false);
}

void appendEscapedAttribute(QByteArray& out, QStringView text)
{
    appendUtf8(out, text, true, true);
}

void appendUtf8(QByteArray& out, QStringView text)
{
    appendUtf8(out, text, false, false);
}

QString escapeXML(const QString& text)
{
    QByteArray out;
    appendEscapedXML(out, text);
    return QString::fromUtf8(out);
}

QString escapeAttribute(const QString& text)
{
    QByteArray out;
    appendEscapedAttribute(out, text);
    return QString::fromUtf8(out);
}

std::optional<double> readNumber(QStringView text)
{
    const qsizetype n = text.size();
    if (n == 0) {
        return std::nullopt;
    }
    const char16_t first = text[0].unicode();
    if (first == u' ' || first == u'\t' || first == u'\n' || first == u'\v' || first == u'\f' || first == u'\r' ||
        first == 0) {
        return std::nullopt;
    }
    // Only ASCII can belong to a number; anything else fails the whole text.
    // The everyday form, an optional minus and decimal digits with an
    // optional fraction, up to 15 digits with at most 22 after the point,
    // is read here: the digits as a whole number and the power of ten are
    // exact doubles, so one division rounds exactly as strtod would.
    {
        const char16_t* p = reinterpret_cast<const char16_t*>(text.data());
        const char16_t* const end = p + n;
        const bool negative = *p == u'-';
        p += negative ? 1 : 0;
        std::uint64_t mantissa = 0;
        int significant = 0;
        int decimals = 0;
        bool digits = false;
        bool point = false;
        bool plain = true;
        for (; p < end; ++p) {
            const char16_t c = *p;
            if (c >= u'0' && c <= u'9') {
                digits = true;
                significant += significant > 0 || c != u'0' ? 1 : 0;
                if (significant > 15) {
                    plain = false;
                    break;
                }
                mantissa = mantissa * 10 + std::uint64_t(c - u'0');
                decimals += point ? 1 : 0;
            } else if (c == u'.' && !point) {
                point = true;
            } else {
                plain = false;
                break;
            }
        }
        if (plain && digits && decimals <= 22) {
            static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
            const double magnitude = double(mantissa) / kPowers[decimals];
            return negative ? -magnitude : magnitude;
        }
    }
    char small[64];
    QByteArray large;
    char* bytes = small;
    if (n >= qsizetype(sizeof small)) {
        large.resize(n + 1);
        bytes = large.data();
    }
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0 || c > 0x7F) {
            return std::nullopt;
        }
        bytes[i] = static_cast<char>(c);
    }
    bytes[n] = '\0';
    char* end = nullptr;
    const double value = strtod_l(bytes, &end, cLocale());
    if (end != bytes + n) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> readFiniteNumber(QStringView text)
{
    const std::optional<double> value = readNumber(text);
    if (value && std::isfinite(*value)) {
        return value;
    }
    return std::nullopt;
}

QList<double> readNumberList(QStringView text)
{
    QList<double> numbers;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || text[i] == u' ' || text[i] == u',') {
            if (i > start) {
                if (const std::optional<double> value = readFiniteNumber(text.mid(start, i - start))) {
                    numbers.append(*value);
                }
            }
            start = i + 1;
        }
    }
    return numbers;
}

}  // namespace zelvane::SVGCodec
