#include "svg/SVGInputLimits.h"

#include "CodecError.h"
#include "Localization.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zelvane::SVGCodec {

namespace {

[[noreturn]] void refuse(const QString& french, const QString& english)
{
    throw CodecError(QStringLiteral("SVGCodec"), 2, L(french, english));
}

[[noreturn]] void refuseSize()
{
    const QString megabytes = QString::number(kMaxSVGBytes / (1024 * 1024));
    refuse(QStringLiteral("Ce fichier SVG est trop volumineux pour être ouvert : %1 Mo au plus.").arg(megabytes),
           QStringLiteral("This SVG file is too large to open: at most %1 MB.").arg(megabytes));
}

// Walks the markup once: comments, processing instructions, CDATA sections,
// declarations and end tags are stepped over; in a start tag every "="
// outside a quoted value counts as one attribute.
template <typename Char>
void checkMarkup(std::basic_string_view<Char> text)
{
    const auto startsAt = [&](size_t at, const char* ascii) {
        const size_t length = std::strlen(ascii);
        if (at + length > text.size())
            return false;
        for (size_t k = 0; k < length; ++k) {
            if (text[at + k] != Char(ascii[k]))
                return false;
        }
        return true;
    };
    const auto skipPast = [&](size_t from, const char* ascii) {
        std::basic_string<Char> pattern;
        for (const char* c = ascii; *c; ++c)
            pattern.push_back(Char(*c));
        const size_t found = text.find(pattern, from);
        return found == std::basic_string_view<Char>::npos ? text.size() : found + pattern.size();
    };

    size_t i = 0;
    while ((i = text.find(Char('<'), i)) != std::basic_string_view<Char>::npos) {
        if (startsAt(i, "<!--")) {
            i = skipPast(i + 4, "-->");
        } else if (startsAt(i, "<![CDATA[")) {
            i = skipPast(i + 9, "]]>");
        } else if (startsAt(i, "<?")) {
            i = skipPast(i + 2, "?>");
        } else if (startsAt(i, "<!") || startsAt(i, "</")) {
            i = skipPast(i + 2, ">");
        } else {
            qsizetype attributes = 0;
            size_t j = i + 1;
            for (; j < text.size(); ++j) {
                const Char c = text[j];
                if (c == Char('"') || c == Char('\'')) {
                    // A quoted value is stepped over whole, whatever it holds.
                    j = std::min(text.find(c, j + 1), text.size() - 1);
                } else if (c == Char('=')) {
                    if (++attributes > kMaxAttributesPerElement) {
                        const QString limit = QString::number(kMaxAttributesPerElement);
                        refuse(QStringLiteral("Ce fichier SVG est trop volumineux pour être ouvert : un élément a "
                                              "plus de %1 attributs.")
                                   .arg(limit),
                               QStringLiteral("This SVG file is too large to open: an element has more than %1 "
                                              "attributes.")
                                   .arg(limit));
                    }
                } else if (c == Char('>') || c == Char('<')) {
                    break;
                }
            }
            i = j;
        }
    }
}

bool startsWith(const QByteArray& data, const char* prefix, qsizetype length)
{
    return data.size() >= length && std::memcmp(data.constData(), prefix, size_t(length)) == 0;
}

}  // namespace

void checkInputLimits(const QByteArray& data)
{
    if (data.size() > kMaxSVGBytes)
        refuseSize();
    // Wide encodings are read as the text they hold; every other one keeps
    // "<", "=", quotes and ">" as the ASCII bytes that are looked for.
    std::optional<QStringDecoder::Encoding> wide;
    if (startsWith(data, "\xFF\xFE\0\0", 4))
        wide = QStringDecoder::Utf32LE;
    else if (startsWith(data, "\0\0\xFE\xFF", 4))
        wide = QStringDecoder::Utf32BE;
    else if (startsWith(data, "\xFF\xFE", 2) || startsWith(data, "<\0", 2))
        wide = QStringDecoder::Utf16LE;
    else if (startsWith(data, "\xFE\xFF", 2) || startsWith(data, "\0<", 2))
        wide = QStringDecoder::Utf16BE;
    if (wide) {
        QStringDecoder decoder(*wide);
        checkInputLimits(QString(decoder.decode(data)));
        return;
    }
    checkMarkup(std::string_view(data.constData(), size_t(data.size())));
}

void checkInputLimits(const QString& text)
{
    if (text.size() > kMaxSVGBytes)
        refuseSize();
    checkMarkup(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
}

}  // namespace zelvane::SVGCodec
