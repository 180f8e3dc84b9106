#include "ApiBaseUrl.h"

#include <limits>
#include <optional>

namespace zelvane::mcp {
namespace {

constexpr qint64 defaultPort = 17960;

// An optional single sign, then one or more ASCII digits and nothing else;
// a value outside the 64-bit range is no number.
std::optional<qint64> parseSignedDecimal(const QString& text)
{
    qsizetype index = 0;
    bool negative = false;
    if (index < text.size() && (text[index] == u'+' || text[index] == u'-')) {
        negative = text[index] == u'-';
        ++index;
    }
    if (index == text.size())
        return std::nullopt;
    // Accumulated as a negative number so that the lowest value fits.
    qint64 value = 0;
    for (; index < text.size(); ++index) {
        const char16_t c = text[index].unicode();
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

}  // namespace

QString apiBaseURL(const QHash<QString, QString>& environment)
{
    qint64 port = defaultPort;
    const auto found = environment.constFind(QStringLiteral("ZELVANE_API_PORT"));
    if (found != environment.constEnd() && !found->isEmpty())
        port = parseSignedDecimal(*found).value_or(defaultPort);
    return QStringLiteral("http://127.0.0.1:") + QString::number(port);
}

}  // namespace zelvane::mcp
