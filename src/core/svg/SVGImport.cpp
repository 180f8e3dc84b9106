#include "CodecError.h"
#include "Localization.h"
#include "svg/SVGCodec.h"
#include "svg/SVGInputLimits.h"
#include "svg/SVGXMLParserDelegate.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace zelvane::SVGCodec {

namespace {

// Elements nested deeper than this are skipped with all they hold, which
// bounds the group stack whatever the file.
constexpr int kMaxNestingDepth = 256;

// How the bytes of a file reach the XML reader.
enum class ByteRoute {
    asIs,            // the reader honours the byte-order mark or the declaration itself
    utf16BigEndian,  // UTF-16 without byte-order mark, high byte first
    utf8OrLatin1,    // an 8-bit file that declares no encoding or declares UTF-8
    mislabelled,     // an 8-bit file that declares UTF-16 or UTF-32
    unsupported,     // the declaration names an encoding that cannot be decoded
};

bool startsWith(const QByteArray& data, const char* prefix, qsizetype length)
{
    return data.size() >= length && std::memcmp(data.constData(), prefix, size_t(length)) == 0;
}

std::optional<QByteArray> declaredEncoding(const QByteArray& data)
{
    if (!data.startsWith("<?xml")) {
        return std::nullopt;
    }
    const qsizetype end = data.indexOf("?>");
    if (end < 0) {
        return std::nullopt;
    }
    const QByteArray declaration = data.left(end);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0) {
        return std::nullopt;
    }
    qsizetype i = key + 8;
    auto skipBlanks = [&] {
        while (i < declaration.size() && std::isspace(static_cast<unsigned char>(declaration[i]))) {
            ++i;
        }
    };
    skipBlanks();
    if (i >= declaration.size() || declaration[i] != '=') {
        return std::nullopt;
    }
    ++i;
    skipBlanks();
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
        return std::nullopt;
    }
    const char quote = declaration[i];
    const qsizetype close = declaration.indexOf(quote, i + 1);
    if (close < 0) {
        return std::nullopt;
    }
    return declaration.mid(i + 1, close - i - 1).trimmed();
}

bool isUnicodeName(const QByteArray& name, const char* family)
{
    QByteArray plain = name.toLower();
    plain.replace("-", "").replace("_", "");
    return plain.startsWith(family);
}

ByteRoute routeFor(const QByteArray& data)
{
    if (startsWith(data, "\xEF\xBB\xBF", 3) || startsWith(data, "\xFF\xFE", 2) || startsWith(data, "\xFE\xFF", 2) ||
        startsWith(data, "<\0", 2)) {
        return ByteRoute::asIs;
    }
    if (startsWith(data, "\0<", 2)) {
        return ByteRoute::utf16BigEndian;
    }
    const std::optional<QByteArray> declared = declaredEncoding(data);
    if (!declared || declared->isEmpty() || isUnicodeName(*declared, "utf8")) {
        return ByteRoute::utf8OrLatin1;
    }
    // Its first bytes are plain ASCII, so it cannot be UTF-16 or UTF-32.
    if (isUnicodeName(*declared, "utf") || isUnicodeName(*declared, "ucs")) {
        return ByteRoute::mislabelled;
    }
    return QStringDecoder(declared->constData()).isValid() ? ByteRoute::asIs : ByteRoute::unsupported;
}

// Decodes a piece at a time into one small buffer instead of making a copy
// of the whole text. Each piece ends before an ASCII or a lead byte, so no
// character is cut in two and every piece is judged as the whole would be.
bool isValidUtf8(const QByteArray& data)
{
    constexpr qsizetype kPiece = 64 * 1024;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    std::vector<QChar> buffer(size_t(decoder.requiredSpace(kPiece)));
    const auto isContinuation = [&](qsizetype at) { return (uchar(data[at]) & 0xC0) == 0x80; };
    for (qsizetype at = 0; at < data.size();) {
        qsizetype end = std::min(at + kPiece, data.size());
        // A character is at most four bytes: four continuation bytes in a
        // row are an error wherever the cut falls.
        for (int back = 0; back < 3 && end < data.size() && end - 1 > at && isContinuation(end); ++back) {
            --end;
        }
        decoder.appendToBuffer(buffer.data(), QByteArrayView(data.constData() + at, end - at));
        if (decoder.hasError()) {
            return false;
        }
        at = end;
    }
    return true;
}

// The element name as the delegate takes it, the names met in every file
// shared instead of made anew for each element.
QString elementName(QStringView name)
{
    static const QString known[] = {
        QStringLiteral("svg"),     QStringLiteral("g"),        QStringLiteral("rect"),    QStringLiteral("circle"),
        QStringLiteral("ellipse"), QStringLiteral("line"),     QStringLiteral("polyline"), QStringLiteral("polygon"),
        QStringLiteral("path"),    QStringLiteral("text"),     QStringLiteral("tspan"),   QStringLiteral("title"),
        QStringLiteral("image"),
    };
    for (const QString& candidate : known) {
        if (candidate == name) {
            return candidate;
        }
    }
    return name.toString();
}

VectorDocument read(QXmlStreamReader&& reader, const QString& title, const std::optional<QUrl>& fileURL)
{
    reader.setNamespaceProcessing(false);
    SVGXMLParserDelegate delegate(title);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth >= kMaxNestingDepth) {
                reader.skipCurrentElement();
                break;
            }
            ++depth;
            delegate.startElement(elementName(reader.qualifiedName()), SVGAttributeTable(reader.attributes()));
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            delegate.endElement(elementName(reader.qualifiedName()));
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA()) {
                delegate.characters(reader.text());
            }
            break;
        default: break;
        }
    }
    // A parse error ends the reading; what was read until then is kept.
    if (!delegate.sawSVGElement()) {
        throw CodecError(QStringLiteral("SVGCodec"), 1,
                         L("Ce fichier ne contient aucun élément SVG.", "This file holds no SVG element."));
    }
    return VectorDocument::make(QUuid::createUuid(), title,
                                DocumentSourceFormat::svg, fileURL, delegate.buildPages(), 1);
}

// The reader takes the bytes through a device, which it decodes a few
// kilobytes at a time instead of into one copy of the whole text.
VectorDocument readBytes(const QByteArray& bytes, const QString& title, const std::optional<QUrl>& fileURL)
{
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    return read(QXmlStreamReader(&device), title, fileURL);
}

}  // namespace

VectorDocument importSVG(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL)
{
    checkInputLimits(data);
    switch (routeFor(data)) {
    case ByteRoute::unsupported:
        throw CodecError(QStringLiteral("SVGCodec"), 1, L("Encodage SVG non reconnu.", "Unrecognized SVG encoding."));
    case ByteRoute::utf16BigEndian: return readBytes(QByteArray("\xFE\xFF", 2) + data, title, fileURL);
    case ByteRoute::utf8OrLatin1:
        if (!isValidUtf8(data)) {
            return importSVG(QString::fromLatin1(data), title, fileURL);
        }
        break;
    case ByteRoute::mislabelled:
        return importSVG(isValidUtf8(data) ? QString::fromUtf8(data) : QString::fromLatin1(data), title, fileURL);
    case ByteRoute::asIs: break;
    }
    return readBytes(data, title, fileURL);
}

VectorDocument importSVG(const QString& text, const QString& title, const std::optional<QUrl>& fileURL)
{
    checkInputLimits(text);
    return read(QXmlStreamReader(text), title, fileURL);
}

}  // namespace zelvane::SVGCodec
