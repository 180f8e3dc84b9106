#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace zelvane {

// Numbers and texts as they are written into and read out of SVG files.
namespace SVGCodec {

// A coordinate or length as written in the program's SVG: a whole number when
// within 0.005 of one ("12", never "-0"), otherwise two decimals ("12.30").
// A value that is not finite is written as "0".
QString formatNum(double value);

// Whether the text formatNum writes reads back as exactly `value`.
bool numReadsBackExactly(double value);

// The value in the fewest digits that read back as exactly the same double,
// in plain decimal notation for everyday magnitudes ("0.1", "595.28",
// "100000") and in exponent notation otherwise. Not finite gives "0".
QString formatExact(double value);

// Text for character data: "&", "<", ">" and the double quote as entities
// (ampersand first), the carriage return as "&#13;" so that it reads back as
// itself, characters that XML 1.0 does not allow dropped (C0 controls) or
// replaced by U+FFFD (lone surrogates, U+FFFE, U+FFFF). Everything else,
// apostrophe and line feed included, passes unchanged.
QString escapeXML(const QString& text);

// escapeXML for a double-quoted attribute value; tab and line feed are also
// written as character references, which survive attribute normalisation.
QString escapeAttribute(const QString& text);

// formatNum, formatExact, escapeXML and escapeAttribute written at the end
// of `out` as UTF-8 bytes, straight from the text: no copy of it in between.
void appendNum(QByteArray& out, double value);
void appendExact(QByteArray& out, double value);
void appendEscapedXML(QByteArray& out, QStringView text);
void appendEscapedAttribute(QByteArray& out, QStringView text);
// The text as UTF-8, unchanged (lone surrogates become U+FFFD).
void appendUtf8(QByteArray& out, QStringView text);

// The whole text read as a C-locale floating-point number (optional sign,
// digits with fraction and exponent, infinity, NaN and hexadecimal forms).
// Fails on an empty text, on leading white space or NUL, and on anything
// left over after the number.
std::optional<double> readNumber(QStringView text);

// readNumber, refusing values that are not finite.
std::optional<double> readFiniteNumber(QStringView text);

// Splits at spaces and commas (runs count as one separator) and keeps the
// pieces that read as finite numbers.
QList<double> readNumberList(QStringView text);

}  // namespace SVGCodec

}  // namespace zelvane
