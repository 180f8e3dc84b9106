#include "fonts/PDFFontCollector.h"
#include "QPDFPreparation.h"

#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/PDFFontWalk.h"

#include <QStringDecoder>

// Use std::shared_ptr throughout qpdf (no PointerHolder).
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <stdexcept>
#include <vector>

namespace zelvane::fonts {

namespace {

// Collects a stream's decoded bytes and gives up past a size limit.
class LimitedBuffer : public Pipeline {
public:
    explicit LimitedBuffer(qsizetype limit) : Pipeline("limited buffer", nullptr), m_limit(limit) {}

    void write(unsigned char const* data, size_t length) override
    {
        if (length > size_t(m_limit - m_bytes.size()))
            throw std::length_error("stream too large");
        m_bytes.append(reinterpret_cast<const char*>(data), qsizetype(length));
    }
    void finish() override {}

    const QByteArray& bytes() const { return m_bytes; }

private:
    qsizetype m_limit;
    QByteArray m_bytes;
};

// The decoded bytes of a stream, or nothing when it cannot be decoded
// (unknown filter, damaged data, encryption that cannot be undone) or is
// larger than `limit`.
std::optional<QByteArray> streamBytes(QPDFObjectHandle stream, qsizetype limit)
{
    try {
        if (!stream.isStream())
            return std::nullopt;
        LimitedBuffer buffer(limit);
        if (!stream.pipeStreamData(&buffer, 0, qpdf_dl_specialized, true, false))
            return std::nullopt;
        return buffer.bytes();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString nameText(QPDFObjectHandle object)
{
    if (!object.isName())
        return {};
    const std::string name = object.getName();
    // Names start with "/".
    return QString::fromUtf8(name.data() + 1, qsizetype(name.size()) - 1);
}

QString decodeCMapText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

void extractFontEntry(QPDFObjectHandle font, ExtractedPDFFonts& entries)
{
    const QString name = PDFEmbeddedFontRegistry::stripSubsetPrefix(nameText(font.getKey("/BaseFont")));
    if (name.isEmpty())
        return;
    const QString subtype = nameText(font.getKey("/Subtype"));

    std::optional<QString> toUnicode;
    if (const auto bytes = streamBytes(font.getKey("/ToUnicode"), kMaxToUnicodeBytes))
        toUnicode = decodeCMapText(*bytes);

    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary()) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        descriptor = QPDFObjectHandle::newNull();
        if (descendants.isArray() && descendants.getArrayNItems() > 0) {
            QPDFObjectHandle first = descendants.getArrayItem(0);
            if (first.isDictionary())
                descriptor = first.getKey("/FontDescriptor");
        }
    }

    std::optional<QByteArray> program;
    QString extension = QStringLiteral("ttf");
    if (descriptor.isDictionary()) {
        static const std::pair<const char*, const char*> kinds[] = {
            {"/FontFile2", "ttf"}, {"/FontFile3", "otf"}, {"/FontFile", "pfb"}};
        for (const auto& [key, ext] : kinds) {
            program = streamBytes(descriptor.getKey(key), PDFEmbeddedFontRegistry::kMaxFontProgramBytes);
            if (program) {
                extension = QString::fromLatin1(ext);
                break;
            }
        }
    }

    auto found = entries.find(name);
    ExtractedPDFFontEntry entry = found != entries.end()
                                      ? found->second
                                      : ExtractedPDFFontEntry{name, subtype, std::nullopt, extension, {}};
    if (program && !program->isEmpty()
        && (!entry.fontStreamData || entry.fontStreamData->size() < program->size())) {
        entry.fontStreamData = program;
        entry.fontStreamExt = extension;
    }
    if (toUnicode && !toUnicode->isEmpty())
        entry.toUnicodeStrings.append(*toUnicode);
    entries[name] = entry;
}

}  // namespace

ExtractedPDFFonts collectEmbeddedFonts(const QByteArray& pdfData)
{
    ExtractedPDFFonts entries;
    if (pdfData.isEmpty())
        return entries;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(true);
        prepareQPDF();
        pdf.processMemoryFile("font registry input", pdfData.constData(), size_t(pdfData.size()));
        const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        // A font dictionary named again is not decoded again.
        PDFFontWalk walk;
        for (QPDFPageObjectHelper page : pages) {
            // One damaged page does not keep the others' fonts out.
            try {
                walk.walk(page.getAttribute("/Resources", false), [&entries](QPDFObjectHandle font) {
                    // A broken font dictionary is passed over; the others are still read.
                    try {
                        extractFontEntry(font, entries);
                    } catch (const std::exception&) {
                    }
                });
            } catch (const std::exception&) {
            }
        }
    } catch (const std::exception&) {
        // Not a PDF that can be read: what was found so far stands.
    }
    return entries;
}

}  // namespace zelvane::fonts
