#pragma once

// Open Sound Control 1.0 datagrams: one message or a bundle in, the list of
// messages out; one message in, one datagram out. Only the argument types the
// editor's addresses use are read (int32, float32, string, true and false);
// anything else in a packet is skipped, never reported.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

namespace zelvane::OSCCodec {

// One argument of a message, tagged i, f, s, T or F on the wire.
class Value {
public:
    // In the order of the cases.
    enum class Type { int32, float32, string, boolean };
    using Payload = std::variant<qint32, float, QString, bool>;

    static Value int32(qint32 value) { return Value(Payload(std::in_place_index<0>, value)); }
    static Value float32(float value) { return Value(Payload(std::in_place_index<1>, value)); }
    static Value string(QString value) { return Value(Payload(std::in_place_index<2>, std::move(value))); }
    static Value boolean(bool value) { return Value(Payload(std::in_place_index<3>, value)); }

    Type type() const { return Type(m_payload.index()); }
    const Payload& payload() const { return m_payload; }

    // Readings of the argument in whatever type the sender chose.
    //
    // boolValue: an int or float is true when not zero (NaN is true); a
    // string, lower-cased and trimmed of whitespace and newlines, is true for
    // "1", "true", "on", "yes", "oui" and false for "0", "false", "off", "no",
    // "non", none otherwise.
    std::optional<bool> boolValue() const;
    // intValue: a float truncated toward zero (none when not finite or out of
    // the 64-bit range); a string trimmed of spaces and tabs (not newlines)
    // holding an optional sign and decimal digits only, none otherwise or on
    // overflow; a bool is 1 or 0.
    std::optional<qint64> intValue() const;
    // doubleValue: a string trimmed of spaces and tabs (not newlines) and read
    // whole as a C-locale floating-point literal (exponents, inf, nan and
    // hexadecimal forms included); a bool is 1.0 or 0.0.
    std::optional<double> doubleValue() const;
    // stringValue: decimal text for an int; for a float the shortest text
    // that reads back to the same value, always with a fraction or an
    // exponent ("2.0", "1.5", "1e-05"); the text of a string; "1" or "0".
    QString stringValue() const;

    friend bool operator==(const Value&, const Value&) = default;

private:
    explicit Value(Payload payload) : m_payload(std::move(payload)) {}
    Payload m_payload;
};

struct Message {
    // The address pattern as received, e.g. "/zelvane/page"; no matching here.
    QString address;
    QList<Value> arguments;

    friend bool operator==(const Message&, const Message&) = default;
};

// The messages of one datagram, bundles flattened in packet order (their time
// tags ignored); empty when nothing valid is found. Never fails: strings are
// read as UTF-8 with invalid sequences replaced, short or unknown data is
// skipped as OSC readers do.
QList<Message> decode(QByteArrayView datagram);

// One message as a datagram (never a bundle); its length is a multiple of 4.
QByteArray encode(const Message& message);

}  // namespace zelvane::OSCCodec
