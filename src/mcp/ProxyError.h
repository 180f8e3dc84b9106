#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace zelvane::mcp {

// Why a tool call produced no reply of the editor.
class ProxyError : public std::exception {
public:
    enum class Kind { unreachable, badArguments };

    // No HTTP reply could be obtained from the editor at `base`.
    static ProxyError unreachable(const QString& base);
    // The request could not be built; the message is the whole description.
    static ProxyError badArguments(const QString& message);

    Kind kind() const { return m_kind; }
    // The base URL of an unreachable error, the message of a bad-arguments one.
    const QString& detail() const { return m_detail; }
    // The text shown to the client.
    QString description() const;
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    ProxyError(Kind kind, QString detail);

    Kind m_kind;
    QString m_detail;
    // The editor an unreachable error advises starting, found when it arose.
    QString m_editor;
    QByteArray m_utf8;
};

}  // namespace zelvane::mcp
