#include "export/OverlayPart.h"
#include "QPDFPreparation.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <string>

#include <zlib.h>

namespace zelvane::PDFCodec {

namespace {

std::unique_ptr<QPDF> readPart(const QByteArray& pdf, std::vector<QPDFPageObjectHelper>& pages)
{
    auto read = std::make_unique<QPDF>();
    read->setSuppressWarnings(true);
    prepareQPDF();
    read->processMemoryFile("overlay", pdf.constData(), size_t(pdf.size()));
    pages = QPDFPageDocumentHelper(*read).getAllPages();
    return read;
}

// `data` deflated as zlib's compress2 and qpdf's writer do at the default
// level; empty when that fails.
std::string deflated(const Buffer& data)
{
    std::string compressed;
    uLongf size = compressBound(uLong(data.getSize()));
    compressed.resize(size);
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size, data.getBuffer(), uLong(data.getSize()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    compressed.resize(size);
    return compressed;
}

}  // namespace

void readOverlayPartAhead(OverlayPart& part) noexcept
{
    try {
        std::vector<QPDFPageObjectHelper> pages;
        std::unique_ptr<QPDF> read = readPart(part.pdf, pages);
        // What adding a page of another file does to that file first.
        read->pushInheritedAttributesToPage();
        for (QPDFObjectHandle object : read->getAllObjects()) {
            if (!object.isStream()) {
                object.getTypeCode();  // parses it
                continue;
            }
            QPDFObjectHandle dict = object.getDict();
            if (dict.hasKey("/Filter") || dict.getKey("/Type").isNameAndEquals("/Metadata")) {
                continue;
            }
            if (const std::string compressed = deflated(*object.getRawStreamData()); !compressed.empty()) {
                object.replaceStreamData(compressed, QPDFObjectHandle::newName("/FlateDecode"),
                                         QPDFObjectHandle::newNull());
            }
        }
        part.readPages = std::move(pages);
        part.read = std::move(read);
    } catch (...) {
        part.read.reset();
        part.readPages.clear();
    }
}

std::unique_ptr<QPDF> takeOverlayPartReading(OverlayPart& part, std::vector<QPDFPageObjectHelper>& pages)
{
    if (part.read) {
        pages = std::move(part.readPages);
        part.readPages.clear();
        return std::move(part.read);
    }
    pages.clear();
    return readPart(part.pdf, pages);
}

}  // namespace zelvane::PDFCodec
