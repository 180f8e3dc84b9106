#include "pdf/PDFDamagedContent.h"

#include "pdf/PDFInputLimits.h"

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <zlib.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace zelvane {

namespace {

// The one entry of a one-entry array, or the object itself.
QPDFObjectHandle single(QPDFObjectHandle object)
{
    return object.isArray() && object.getArrayNItems() == 1 ? object.getArrayItem(0) : object;
}

// What a Flate stream without predictor inflates to before its data ends or
// goes wrong; nothing for any other filter.
std::optional<std::string> inflatedBeforeDamage(QPDFObjectHandle stream)
{
    QPDFObjectHandle dictionary = stream.getDict();
    QPDFObjectHandle filter = single(dictionary.getKey("/Filter"));
    if (!filter.isNameAndEquals("/FlateDecode") && !filter.isNameAndEquals("/Fl")) {
        return std::nullopt;
    }
    QPDFObjectHandle parameters = single(dictionary.getKey("/DecodeParms"));
    if (parameters.isDictionary() && parameters.getKey("/Predictor").isInteger()
        && parameters.getKey("/Predictor").getIntValue() > 1) {
        return std::nullopt;
    }
    const std::shared_ptr<Buffer> raw = stream.getRawStreamData();
    z_stream inflater{};
    if (inflateInit(&inflater) != Z_OK) {
        return std::nullopt;
    }
    inflater.next_in = raw->getBuffer();
    inflater.avail_in = uInt(raw->getSize());
    std::string inflated;
    unsigned char chunk[16384];
    for (;;) {
        inflater.next_out = chunk;
        inflater.avail_out = sizeof(chunk);
        const int status = inflate(&inflater, Z_NO_FLUSH);
        inflated.append(reinterpret_cast<const char*>(chunk), sizeof(chunk) - inflater.avail_out);
        // Past the page limit the page is refused anyway.
        if (status != Z_OK || qint64(inflated.size()) > PDFWorkTally::kMaxContentBytesPerPage) {
            break;
        }
    }
    inflateEnd(&inflater);
    return inflated;
}

// The length of `content` up to the end of its last whole operation: what
// follows (operands without their operator, a string or an inline image
// broken off) draws nothing.
size_t wholeOperations(const std::string& content)
{
    auto input = std::make_shared<BufferInputSource>("content", content);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    size_t whole = 0;
    int nesting = 0;
    bool inInlineImage = false;
    for (;;) {
        const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
        switch (token.getType()) {
        case QPDFTokenizer::tt_array_open:
        case QPDFTokenizer::tt_dict_open:
            ++nesting;
            break;
        case QPDFTokenizer::tt_array_close:
        case QPDFTokenizer::tt_dict_close:
            if (--nesting < 0) {
                return whole;
            }
            break;
        case QPDFTokenizer::tt_word:
            if (nesting != 0) {
                return whole;
            }
            if (token.getValue() == "BI") {
                inInlineImage = true;
            } else if (inInlineImage && token.getValue() == "ID") {
                char after = 0;
                input->read(&after, 1);
                tokenizer.expectInlineImage(input);
                if (tokenizer.readToken(input, "content", true).getType() != QPDFTokenizer::tt_inline_image) {
                    return whole;
                }
            } else if (inInlineImage && token.getValue() != "EI") {
                break;
            } else {
                inInlineImage = false;
                whole = size_t(input->tell());
            }
            break;
        case QPDFTokenizer::tt_bad:
        case QPDFTokenizer::tt_eof:
            return whole;
        default:
            break;
        }
    }
}

}  // namespace

bool keepDecodableContent(QPDFPageObjectHelper& page)
{
    bool replaced = false;
    for (QPDFObjectHandle stream : page.getPageContents()) {
        // Damaged: the data does not decode, or decodes only with warnings
        // (it breaks off before its end).
        try {
            QPDF* owner = stream.getOwningQPDF();
            const size_t warnings = owner ? owner->numWarnings() : 0;
            stream.getStreamData(qpdf_dl_generalized);
            if (!owner || owner->numWarnings() == warnings) {
                continue;
            }
        } catch (const std::exception&) {
        }
        try {
            if (std::optional<std::string> decodable = inflatedBeforeDamage(stream)) {
                decodable->resize(wholeOperations(*decodable));
                stream.replaceStreamData(*decodable, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
                replaced = true;
            }
        } catch (const std::exception&) {
        }
    }
    return replaced;
}

}  // namespace zelvane
