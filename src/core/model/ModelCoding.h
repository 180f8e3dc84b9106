#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <stdexcept>

namespace zelvane {

// Reading a model value from its JSON form failed. The message says what was
// wrong and where ("pages[0].elements[2].frame.width").
class DecodingError : public std::runtime_error {
public:
    enum class Kind { keyNotFound, valueNotFound, typeMismatch, dataCorrupted };

    DecodingError(Kind kind, QString codingPath, QString description);

    Kind kind() const { return m_kind; }
    const QString& codingPath() const { return m_codingPath; }
    const QString& description() const { return m_description; }

private:
    Kind m_kind;
    QString m_codingPath;
    QString m_description;
};

// Writing a model value failed: it holds a number that is not finite.
class EncodingError : public std::runtime_error {
public:
    EncodingError(QString codingPath, QString description);
    const QString& codingPath() const { return m_codingPath; }

private:
    QString m_codingPath;
};

// The coded form of the model: objects whose keys are the field names, absent
// optional fields left out, enumerations as their raw texts, identifiers as
// upper-case UUID texts, bytes as Base64 and file locations as URL texts.
// Defined for every value type of the document model and the presets.
template <class T>
QJsonValue encodeToJson(const T& value);

// Reads a value whole or throws DecodingError; initialiser limits are not applied.
template <class T>
T decodeFromJson(const QJsonValue& json);

// Compact JSON bytes of a value, and the reverse; text that is not JSON
// throws DecodingError too.
template <class T>
QByteArray encodeToJsonData(const T& value);
template <class T>
T decodeFromJsonData(const QByteArray& data);

}  // namespace zelvane
