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

bool isForbiddenControl(char16_t c)
{
    return c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
}

QString escapeText(const QString& text, bool attribute)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
                out.append(text[i]).append(text[i + 1]);
                ++i;
            } else {
                out.append(QChar(QChar::ReplacementCharacter));
            }
            continue;
        }
        if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            out.append(QChar(QChar::ReplacementCharacter));
            continue;
        }
        if (isForbiddenControl(c)) {
            continue;
        }
        switch (c) {
        case u'&': out.append(QLatin1String("&amp;")); break;
        case u'<': out.append(QLatin1String("&lt;")); break;
        case u'>': out.append(QLatin1String("&gt;")); break;
        case u'"': out.append(QLatin1String("&quot;")); break;
        case u'\r': out.append(QLatin1String("&#13;")); break;
        case u'\n': out.append(attribute ? QLatin1String("&#10;") : QLatin1String("\n")); break;
        case u'\t': out.append(attribute ? QLatin1String("&#9;") : QLatin1String("\t")); break;
        default: out.append(QChar(c)); break;
        }
    }
    return out;
}

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

QString formatNum(double value)
{
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    const double rounded = std::round(value);
    if (std::fabs(rounded - value) < 0.005 && std::fabs(rounded) < kIntegerLimit) {
        return QString::number(static_cast<qint64>(rounded));
    }
    return QString::number(value, 'f', 2);
}

QString formatExact(double value)
{
    if (!std::isfinite(value) || value == 0) {
        return QStringLiteral("0");
    }
    const double magnitude = std::fabs(value);
    const std::chars_format format =
        magnitude >= 1e-5 && magnitude < 1e15 ? std::chars_format::fixed : std::chars_format::general;
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    if (result.ec != std::errc()) {
        return QStringLiteral("0");
    }
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString escapeXML(const QString& text)
{
    return escapeText(text, false);
}

QString escapeAttribute(const QString& text)
{
    return escapeText(text, true);
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
