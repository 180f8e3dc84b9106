#include "export/OverlayPart.h"
#include "QPDFPreparation.h"
#include "export/StreamDeflate.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <string>

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

std::string deflatedStream(QPDFObjectHandle stream)
{
    const std::shared_ptr<Buffer> raw = stream.getRawStreamData();
    return deflated(raw->getBuffer(), raw->getSize());
}

}  // namespace

void readOverlayPartAhead(OverlayPart& part, const OverlayPartCompletion& complete) noexcept
{
    try {
        std::vector<QPDFPageObjectHelper> pages;
        std::unique_ptr<QPDF> read = readPart(part.pdf, pages);
        complete(*read, pages, part);
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
            if (const std::string compressed = deflatedStream(object); !compressed.empty()) {
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

std::unique_ptr<QPDF> takeOverlayPartReading(OverlayPart& part, std::vector<QPDFPageObjectHelper>& pages,
                                             const OverlayPartCompletion& complete)
{
    if (part.read) {
        pages = std::move(part.readPages);
        part.readPages.clear();
        return std::move(part.read);
    }
    pages.clear();
    std::unique_ptr<QPDF> read = readPart(part.pdf, pages);
    complete(*read, pages, part);
    return read;
}

}  // namespace zelvane::PDFCodec
