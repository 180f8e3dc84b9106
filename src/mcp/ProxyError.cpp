#include "ProxyError.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace zelvane::mcp {

namespace {

// The editor to start: the one installed beside the relay, else the one the
// shell finds on PATH, else just its program name, so the advice never names
// a file that is not there (a build tree has neither).
QString editorToLaunch()
{
    const QString editorName = QStringLiteral("zelvane");
    const QFileInfo relay(QStringLiteral("/proc/self/exe"));
    const QFileInfo beside(QFileInfo(relay.canonicalFilePath()).absoluteDir().filePath(editorName));
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    const QString onPath = QStandardPaths::findExecutable(editorName);
    return onPath.isEmpty() ? editorName : onPath;
}

}  // namespace

ProxyError::ProxyError(Kind kind, QString detail)
    : m_kind(kind), m_detail(std::move(detail))
{
    if (m_kind == Kind::unreachable)
        m_editor = editorToLaunch();
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
            + m_editor + QStringLiteral(" and retry.");
    case Kind::badArguments:
        return m_detail;
    }
    return m_detail;
}

}  // namespace zelvane::mcp
