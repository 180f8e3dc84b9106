#include "ProxyError.h"

#include <utility>

namespace zelvane::mcp {

ProxyError::ProxyError(Kind kind, QString detail)
    : m_kind(kind), m_detail(std::move(detail))
{
    m_utf8 = description().toUtf8();
}

ProxyError ProxyError::unreachable(const QString& base)
{
    return ProxyError(Kind::unreachable, base);
}

ProxyError ProxyError::badArguments(const QString& message)
{
    return ProxyError(Kind::badArguments, message);
}

QString ProxyError::description() const
{
    switch (m_kind) {
    case Kind::unreachable:
        return QStringLiteral("Zelvane is not reachable at ") + m_detail + QStringLiteral(" \u2014 launch ")
            + QStringLiteral(ZELVANE_INSTALLED_EDITOR) + QStringLiteral(" and retry.");
    case Kind::badArguments:
        return m_detail;
    }
    return m_detail;
}

}  // namespace zelvane::mcp
