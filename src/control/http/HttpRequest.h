#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <utility>

namespace zelvane {

// One request of the local HTTP API as the server read it.
struct HttpRequest {
    // The first word of the request line in upper case ("get" is served as
    // GET).
    QString method;
    // The second word, and its parts before and after the first "?" (the
    // query is empty without one). Nothing is percent-decoded.
    QString target;
    QString path;
    QString query;
    // The third word ("HTTP/1.1"), empty when there is none.
    QString version;
    // Header fields in the order they came, names in lower case, values
    // trimmed of spaces and tabs.
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Exactly Content-Length bytes (none without that header).
    QByteArray body;
    // The body when it is a JSON object, else empty: routes read their keys
    // here, and a key of another JSON type than expected counts as absent.
    QJsonObject args;

    // The first value of a header, by its lower-case name; null when absent.
    QByteArray header(QByteArrayView lowerName) const
    {
        for (const auto& [name, value] : headers) {
            if (name == lowerName)
                return value;
        }
        return {};
    }
    qsizetype headerCount(QByteArrayView lowerName) const
    {
        qsizetype count = 0;
        for (const auto& field : headers)
            count += field.first == lowerName ? 1 : 0;
        return count;
    }
};

}  // namespace zelvane
