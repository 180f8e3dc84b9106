#include "remote/ServicePorts.h"

#include <QString>
#include <QtGlobal>

namespace zelvane {

std::optional<quint16> parsePortText(QStringView text)
{
    qsizetype index = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        index = 1;
    }
    if (index == text.size())
        return std::nullopt;
    quint32 value = 0;
    for (; index < text.size(); ++index) {
        const char16_t c = text[index].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + quint32(c - u'0');
        if (value > 65535)
            return std::nullopt;
    }
    if (negative && value != 0)
        return std::nullopt;
    return quint16(value);
}

quint16 choosePort(std::optional<quint16> explicitPort, const char* environmentVariable, quint16 fallback)
{
    if (explicitPort)
        return *explicitPort;
    const QString text = qEnvironmentVariable(environmentVariable);
    if (text.isEmpty())
        return fallback;
    return parsePortText(text).value_or(fallback);
}

quint16 chooseOSCInPort(std::optional<quint16> explicitPort)
{
    return choosePort(explicitPort, kOSCInPortVariable, kZelvaneDefaultOSCInPort);
}

quint16 chooseHTTPPort(std::optional<quint16> explicitPort)
{
    return choosePort(explicitPort, kAPIPortVariable, kZelvaneDefaultHTTPPort);
}

}  // namespace zelvane
