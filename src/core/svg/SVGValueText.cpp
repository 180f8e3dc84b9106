#include "svg/SVGValueText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace zelvane::SVGCodec {

namespace {

// The largest magnitude below which a whole number fits a signed 64-bit integer.
constexpr double kIntegerLimit = 9.2e18;

bool needsEscape(char16_t c)
{
    return c < 0x20 || c == u'&' || c == u'<' || c == u'>' || c == u'"' || (c >= 0xD800 && c <= 0xDFFF) ||
           c == 0xFFFE || c == 0xFFFF;
}

void appendEscaped(QString& out, QStringView text, bool attribute)
{
    const qsizetype n = text.size();
    qsizetype run = 0;  // the start of the characters that pass unchanged
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (!needsEscape(c) || ((c == u'\n' || c == u'\t') && !attribute)) {
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        out.append(text.sliced(run, i - run));
        run = i + 1;
        if (QChar::isSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            out.append(QChar(QChar::ReplacementCharacter));
            continue;
        }
        switch (c) {
        case u'&': out.append(QLatin1String("&amp;")); break;
        case u'<': out.append(QLatin1String("&lt;")); break;
        case u'>': out.append(QLatin1String("&gt;")); break;
        case u'"': out.append(QLatin1String("&quot;")); break;
        case u'\r': out.append(QLatin1String("&#13;")); break;
        case u'\n': out.append(QLatin1String("&#10;")); break;
        case u'\t': out.append(QLatin1String("&#9;")); break;
        default: break;  // a control character XML does not allow is dropped
        }
    }
    out.append(text.sliced(run));
}

// Appends the Latin-1 characters of `text` to `out`.
void appendAscii(QString& out, const char* text, qsizetype length)
{
    out.append(QLatin1StringView(text, length));
}

// A value at least 0.005 from every whole number, to two decimals, as
// QString::number(value, 'f', 2) writes it: the exact binary value rounded,
// a tie going away from zero. Nothing when the value is too large to take
// this road.
bool appendTwoDecimals(QString& out, double value)
{
    // Below this every count of hundredths is a whole double.
    if (!(std::fabs(value) < 1e12)) {
        return false;
    }
    char buffer[64];
    // A tie sits exactly halfway between two hundredths: the value is an odd
    // number of eighths. Anything else rounds the same to the nearest.
    const double eighths = value * 8;
    if (eighths == std::trunc(eighths) && std::fmod(eighths, 2) != 0) {
        const qint64 hundredths = qint64(std::fabs(eighths) * 12.5 + 0.5);
        char* p = buffer;
        if (value < 0) {
            *p++ = '-';
        }
        p = std::to_chars(p, buffer + sizeof buffer, hundredths / 100).ptr;
        *p++ = '.';
        *p++ = char('0' + hundredths % 100 / 10);
        *p++ = char('0' + hundredths % 10);
        appendAscii(out, buffer, p - buffer);
        return true;
    }
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc()) {
        return false;
    }
    appendAscii(out, buffer, result.ptr - buffer);
    return true;
}

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

void appendNum(QString& out, double value)
{
    if (!std::isfinite(value)) {
        out.append(u'0');
        return;
    }
    const double rounded = std::round(value);
    if (std::fabs(rounded - value) < 0.005 && std::fabs(rounded) < kIntegerLimit) {
        char buffer[24];
        const std::to_chars_result result =
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<qint64>(rounded));
        appendAscii(out, buffer, result.ptr - buffer);
        return;
    }
    if (!appendTwoDecimals(out, value)) {
        out.append(QString::number(value, 'f', 2));
    }
}

QString formatNum(double value)
{
    QString out;
    appendNum(out, value);
    return out;
}

void appendExact(QString& out, double value)
{
    if (!std::isfinite(value) || value == 0) {
        out.append(u'0');
        return;
    }
    const double magnitude = std::fabs(value);
    const std::chars_format format =
        magnitude >= 1e-5 && magnitude < 1e15 ? std::chars_format::fixed : std::chars_format::general;
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    if (result.ec != std::errc()) {
        out.append(u'0');
        return;
    }
    appendAscii(out, buffer, result.ptr - buffer);
}

QString formatExact(double value)
{
    QString out;
    appendExact(out, value);
    return out;
}

void appendEscapedXML(QString& out, QStringView text)
{
    appendEscaped(out, text, false);
}

void appendEscapedAttribute(QString& out, QStringView text)
{
    appendEscaped(out, text, true);
}

QString escapeXML(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text, false);
    return out;
}

QString escapeAttribute(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text, true);
    return out;
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
