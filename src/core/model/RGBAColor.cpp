#include "model/RGBAColor.h"

#include <array>
#include <cmath>

namespace zelvane {

namespace {

double clampUnit(double c)
{
    if (std::isnan(c) || c < 0) {
        return 0;
    }
    return c > 1 ? 1 : c;
}

struct NamedColor {
    const char* name;
    double r, g, b;
};

constexpr std::array<NamedColor, 14> kNamedColors{{
    {"black", 0, 0, 0},
    {"white", 1, 1, 1},
    {"red", 1.0, 0.36, 0.34},
    {"blue", 0.12, 0.25, 0.69},
    {"navy", 0.12, 0.25, 0.69},
    {"green", 0.16, 0.62, 0.36},
    {"amber", 1.0, 0.706, 0.329},
    {"orange", 1.0, 0.706, 0.329},
    {"gold", 1.0, 0.706, 0.329},
    {"cyan", 0.36, 0.88, 0.9},
    {"purple", 0.78, 0.57, 0.92},
    {"violet", 0.78, 0.57, 0.92},
    {"gray", 0.54, 0.57, 0.62},
    {"grey", 0.54, 0.57, 0.62},
}};

std::optional<RGBAColor> parseFunctional(const QString& text)
{
    if (!text.startsWith(QLatin1String("rgb(")) || !text.endsWith(QLatin1Char(')'))) {
        return std::nullopt;
    }
    const QString inner = text.mid(4, text.size() - 5);
    QList<double> numbers;
    for (const QString& piece : inner.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        // Trim spaces and tabs only, as the pieces come from one line.
        qsizetype start = 0, end = piece.size();
        while (start < end && (piece[start] == QLatin1Char(' ') || piece[start] == QLatin1Char('\t'))) {
            ++start;
        }
        while (end > start && (piece[end - 1] == QLatin1Char(' ') || piece[end - 1] == QLatin1Char('\t'))) {
            --end;
        }
        bool ok = false;
        const double value = piece.mid(start, end - start).toDouble(&ok);
        if (ok) {
            numbers.append(value);
        }
    }
    if (numbers.size() < 3) {
        return std::nullopt;
    }
    return RGBAColor(numbers[0] / 255.0, numbers[1] / 255.0, numbers[2] / 255.0, 1);
}

// The colour of six hexadecimal digits, or eight with alpha last, read as
// one number.
RGBAColor fromDigits(quint64 value, bool withAlpha)
{
    if (!withAlpha) {
        return RGBAColor(double((value >> 16) & 0xFF) / 255.0, double((value >> 8) & 0xFF) / 255.0,
                         double(value & 0xFF) / 255.0, 1);
    }
    return RGBAColor(double((value >> 24) & 0xFF) / 255.0, double((value >> 16) & 0xFF) / 255.0,
                     double((value >> 8) & 0xFF) / 255.0, double(value & 0xFF) / 255.0);
}

std::optional<RGBAColor> parseHexadecimal(QString text)
{
    if (text.startsWith(QLatin1Char('#'))) {
        text.remove(0, 1);
    }
    if (text.size() == 3) {
        QString doubled;
        for (QChar c : text) {
            doubled.append(c).append(c);
        }
        text = doubled;
    }
    if (text.size() != 6 && text.size() != 8) {
        return std::nullopt;
    }
    // A leading "+" is accepted by the number reader, as strtoull would.
    QString digits = text;
    if (digits.startsWith(QLatin1Char('+'))) {
        digits.remove(0, 1);
    }
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
        return std::nullopt;
    }
    for (QChar c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())) || c.unicode() > 0x7F) {
            return std::nullopt;
        }
    }
    bool ok = false;
    const quint64 value = digits.toULongLong(&ok, 16);
    if (!ok) {
        return std::nullopt;
    }
    return fromDigits(value, text.size() == 8);
}

int channelByte(double c)
{
    // Components outside 0...1 only arise from direct assignment or decoding;
    // they are clamped so that the text stays two digits per channel.
    return int(std::lround(clampUnit(c) * 255.0));
}

}  // namespace

RGBAColor::RGBAColor(double r_, double g_, double b_, double a_)
    : r(clampUnit(r_)), g(clampUnit(g_)), b(clampUnit(b_)), a(clampUnit(a_))
{
}

std::optional<RGBAColor> RGBAColor::fromHex(const std::optional<QString>& input)
{
    if (!input) {
        return std::nullopt;
    }
    // "#RRGGBB" and "#RRGGBBAA", as this program writes them, read at once:
    // masks and elements ask for their colour each time they are drawn.
    if (const qsizetype size = input->size(); (size == 7 || size == 9) && input->front() == QLatin1Char('#')) {
        quint32 value = 0;
        bool digits = true;
        for (qsizetype i = 1; i < size && digits; ++i) {
            const char16_t c = (*input)[i].unicode();
            const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                              : c >= u'a' && c <= u'f' ? c - u'a' + 10
                              : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                       : -1;
            digits = digit >= 0;
            value = (value << 4) | quint32(digit & 15);
        }
        if (digits) {
            return fromDigits(value, size == 9);
        }
    }
    const QString text = input->trimmed().toLower();
    if (text.isEmpty() || text == QLatin1String("none") || text == QLatin1String("transparent")) {
        return std::nullopt;
    }
    for (const NamedColor& named : kNamedColors) {
        if (text == QLatin1String(named.name)) {
            return RGBAColor(named.r, named.g, named.b, 1);
        }
    }
    if (auto functional = parseFunctional(text)) {
        return functional;
    }
    return parseHexadecimal(text);
}

QString RGBAColor::hexString() const
{
    // "#RRGGBB", capital digits, written directly: colours are written for
    // every imported line and exported element.
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    const int red = channelByte(r), green = channelByte(g), blue = channelByte(b);
    const char16_t text[7] = {u'#', digits[red >> 4], digits[red & 15], digits[green >> 4],
                              digits[green & 15], digits[blue >> 4], digits[blue & 15]};
    return QString(reinterpret_cast<const QChar*>(text), 7);
}

QColor RGBAColor::toQColor() const
{
    return QColor::fromRgbF(float(clampUnit(r)), float(clampUnit(g)), float(clampUnit(b)), float(clampUnit(a)));
}

}  // namespace zelvane
