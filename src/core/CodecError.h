#pragma once

#include <QString>
#include <stdexcept>

namespace zelvane {

// A failure of a codec or of the editor: a domain ("PDFCodec", "SVGCodec",
// "OsselUpdater", "Zelvane"), a code, and a message already written in the
// language that was current when it was thrown.
class CodecError : public std::runtime_error {
public:
    CodecError(QString domain, int code, QString message)
        : std::runtime_error(message.toStdString()),
          m_domain(std::move(domain)),
          m_code(code),
          m_message(std::move(message))
    {
    }

    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString& message() const { return m_message; }

private:
    QString m_domain;
    int m_code;
    QString m_message;
};

}  // namespace zelvane
