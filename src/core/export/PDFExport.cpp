#include "export/PDFExport.h"
#include "QPDFPreparation.h"
#include "export/OverlayPart.h"
#include "export/PageDrawingThreads.h"
#include "export/StreamDeflate.h"

#include "CodecError.h"
#include "Localization.h"
#include "fonts/FontMemo.h"
#include "fonts/PDFTextOverlay.h"
#include "model/RGBAColor.h"
#include "export/BackdropMasking.h"
#include "pdf/PDFContentFilter.h"
#include "pdf/PDFDamagedContent.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFInputLimits.h"
#include "pdf/PDFOptionalContent.h"
#include "pdf/PDFPageAnnotations.h"
#include "pdf/PDFResourcePruning.h"
#include "render/PageRenderer.h"

#include <QBuffer>
#include <QDebug>
#include <QImage>
#include <QStringList>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QHash>
#include <QSet>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <future>
#include <map>
#include <memory>
#include <array>
#include <set>
#include <vector>

// How a page is written: Qt's PDF writer draws the masks and elements as
// vectors; qpdf then puts underneath, on each page, the background colour
// and the original PDF page as a form XObject, and sets the exact media box.

namespace zelvane::PDFCodec {

namespace {

[[noreturn]] void failConsumer()
{
    throw CodecError(QStringLiteral("PDFCodec"), 2,
                     L("Impossible d'initialiser le flux PDF.", "Failed to initialize PDF consumer."));
}

[[noreturn]] void failContext()
{
    throw CodecError(QStringLiteral("PDFCodec"), 3,
                     L("Impossible de créer le contexte graphique PDF.", "Failed to create PDF graphics context."));
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 6);
}

QByteArray matrix(const QTransform& t)
{
    return number(t.m11()) + ' ' + number(t.m12()) + ' ' + number(t.m21()) + ' ' + number(t.m22()) + ' ' +
           number(t.dx()) + ' ' + number(t.dy()) + " cm";
}

// Draws `first`, then every page `next` hands out until it hands out none
// (an index past the last page). A part is made even when `first` is past
// the last page: Qt then writes one empty page.
OverlayPart drawOverlay(const VectorDocument& document, qsizetype first, const std::function<qsizetype()>& next)
{
    const fonts::FontMemo fonts;
    OverlayPart part;
    QBuffer buffer(&part.pdf);
    if (!buffer.open(QIODevice::WriteOnly)) {
        failConsumer();
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setTitle(document.title);
    writer.setCreator(pdfCreator());
    const auto layoutFor = [](const VectorPage& page) {
        return QPageLayout(QPageSize(QSizeF(page.width, page.height), QPageSize::Point, QString(),
                                     QPageSize::ExactMatch),
                           QPageLayout::Portrait, QMarginsF());
    };
    const qsizetype count = document.pages.size();
    if (first < count) {
        writer.setPageLayout(layoutFor(document.pages[first]));
    }
    QPainter painter;
    if (!painter.begin(&writer)) {
        failContext();
    }
    const PDFTextOverlay::Scope holdingLines(part.text);
    for (qsizetype i = first; i < count; i = next()) {
        const VectorPage& page = document.pages[i];
        if (!part.pages.empty()) {
            writer.setPageLayout(layoutFor(page));
            if (!writer.newPage()) {
                failContext();
            }
        }
        part.text.startPage(qsizetype(part.pages.size()));
        renderPage(page, painter, BackdropDrawing::leaveOut);
        part.pages.push_back(i);
    }
    part.text.finish();
    painter.end();
    buffer.close();
    return part;
}

// The page's resources of `category` (/Font, /XObject), made where the page
// has none.
QPDFObjectHandle pageResources(QPDFPageObjectHelper& page, const std::string& category)
{
    QPDFObjectHandle resources = page.getAttribute("/Resources", true);
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
    }
    if (!resources.getKey(category).isDictionary()) {
        resources.replaceKey(category, QPDFObjectHandle::newDictionary());
    }
    return resources.getKey(category);
}

// Writes the lines the part holds as PDF text over the part's pages, as
// `pdf` holds them (the k-th of `pages` drawn as the part's k-th page).
void addHeldText(QPDF& pdf, const std::vector<QPDFPageObjectHelper>& pages, const OverlayPart& part)
{
    const PDFTextOverlay& text = part.text;
    if (text.pages().empty()) {
        return;
    }
    std::vector<QPDFObjectHandle> fonts;
    for (const PDFTextOverlay::Font& font : text.fonts()) {
        QPDFObjectHandle program = QPDFObjectHandle::newStream(&pdf, font.program.toStdString());
        program.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1C"));
        QPDFObjectHandle descriptor = QPDFObjectHandle::parse(font.descriptor.toStdString());
        descriptor.replaceKey("/FontFile3", program);
        QPDFObjectHandle dictionary = QPDFObjectHandle::parse(font.dictionary.toStdString());
        dictionary.replaceKey("/FontDescriptor", pdf.makeIndirectObject(descriptor));
        dictionary.replaceKey("/ToUnicode", QPDFObjectHandle::newStream(&pdf, font.toUnicode.toStdString()));
        fonts.push_back(pdf.makeIndirectObject(dictionary));
    }
    for (const auto& [index, held] : text.pages()) {
        if (index < 0 || size_t(index) >= pages.size() || held.content.isEmpty()) {
            continue;
        }
        QPDFPageObjectHelper page = pages[size_t(index)];
        QPDFObjectHandle named = pageResources(page, "/Font");
        for (const size_t font : held.fonts) {
            named.replaceKey(text.fonts()[font].name.toStdString(), fonts[font]);
        }
        // Over Qt's drawing, in Qt's page space: y down from the top of the
        // page as Qt wrote it.
        const QPDFObjectHandle::Rectangle box = page.getMediaBox(false).getArrayAsRectangle();
        const QByteArray over = "Q\nq 1 0 0 -1 0 " + number(std::abs(box.ury - box.lly)) + " cm\n" + held.content + "Q\n";
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, std::string("q\n")), true);
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, over.toStdString()), false);
    }
}

// What drawing a page's overlay costs, roughly: the elements drawn over it.
qsizetype overlayWork(const VectorPage& page)
{
    qsizetype drawn = 0;
    for (const VectorElement& element : page.elements) {
        if (element.visible && !(page.pdfPageData && element.isPDFText() && !element.hasModifiedPDFText())) {
            ++drawn;
        }
    }
    return drawn;
}

// Below this many drawn elements a part is not worth a writer of its own
// (each part embeds its own subsets of the fonts it uses).
constexpr qsizetype kElementsPerOverlayPart = 250;
// The most fonts (each at one size) the drawing threads are readied for.
constexpr qsizetype kMostSampledFonts = 24;

// The overlay of every page, as one or more PDFs. With few drawn elements
// the calling thread draws every page into one part at once. With many,
// helper threads draw the pages, each into a part of its own, taking the next
// page not yet taken whenever it is done with one, while the calling thread
// goes on with the backdrops; once it needs the pages it takes pages too, so
// no thread waits while pages are left to draw.
class OverlayDrawing {
public:
    explicit OverlayDrawing(const VectorDocument& document)
        : m_document(document)
    {
        const qsizetype count = document.pages.size();
        qsizetype total = 0;
        for (const VectorPage& page : document.pages) {
            total += overlayWork(page) + 1;
        }
        PageDrawingThreads* const helpers =
            total >= 2 * kElementsPerOverlayPart ? PageDrawingThreads::shared() : nullptr;
        const qsizetype threads = std::min<qsizetype>(helpers ? helpers->count() + 1 : 1, count);
        const qsizetype parts = std::min(total / kElementsPerOverlayPart, threads);
        if (parts < 2) {
            m_atOnce = true;
            m_parts.resize(1);
            m_failures.resize(1);
            m_next = count;
            try {
                qsizetype next = 1;
                m_parts.front() = drawOverlay(document, 0, [&] { return next++; });
            } catch (...) {
                m_failures.front() = std::current_exception();
            }
            return;
        }
        m_backdrops.emplace(document.pages);
        // A part per helper and one for the calling thread.
        m_parts.resize(size_t(parts));
        m_failures.resize(m_parts.size());
        for (size_t k = 0; k + 1 < m_parts.size(); ++k) {
            try {
                m_helpers.push_back(helpers->run([this, k] {
                    drawShared(k);
                    forgetThreadBackdrop();
                }));
            } catch (const std::exception&) {
                break;  // the calling thread draws what is left
            }
        }
    }

    ~OverlayDrawing()
    {
        m_next = m_document.pages.size();  // leave the pages not yet taken
        join();
    }

    OverlayDrawing(const OverlayDrawing&) = delete;
    OverlayDrawing& operator=(const OverlayDrawing&) = delete;

    // Every page drawn already, in one part, by the calling thread alone.
    bool drawnAtOnce() const { return m_atOnce; }

    // Every part, once all pages are drawn; rethrows what stopped drawing
    // one. Parts that drew no page are empty; the others are read ahead
    // (see readOverlayPartAhead) unless every page was drawn at once.
    std::vector<OverlayPart>& all()
    {
        if (!m_atOnce) {
            drawShared(m_parts.size() - 1);
        }
        join();
        for (const std::exception_ptr& failure : m_failures) {
            if (failure) {
                std::rethrow_exception(failure);
            }
        }
        return m_parts;
    }

    // Hands `copy` every part that drew pages, the calling thread's own
    // first, then each other one soon after it is done (see eachAsDone), so
    // that parts are copied while the last ones are still being drawn. Then
    // rethrows, as all() does, what stopped drawing a part, or else what
    // `copy` threw (after which it is handed no more parts).
    void eachDrawnPart(const std::function<void(OverlayPart&)>& copy)
    {
        std::exception_ptr copyFailure;
        const auto hand = [&](size_t k) {
            if (copyFailure || m_failures[k] || m_parts[k].pages.empty()) {
                return;
            }
            try {
                copy(m_parts[k]);
            } catch (...) {
                copyFailure = std::current_exception();
            }
        };
        if (!m_atOnce) {
            drawShared(m_parts.size() - 1);
        }
        hand(m_parts.size() - 1);
        eachAsDone(m_helpers, hand);
        for (const std::exception_ptr& failure : m_failures) {
            if (failure) {
                std::rethrow_exception(failure);
            }
        }
        if (copyFailure) {
            std::rethrow_exception(copyFailure);
        }
    }

private:
    qsizetype take() { return m_next.fetch_add(1); }

    // Part k: pages taken until none is left.
    void drawShared(size_t k)
    {
        try {
            if (const qsizetype first = take(); first < m_document.pages.size()) {
                m_parts[k] = drawOverlay(m_document, first, [this] { return take(); });
                readOverlayPartAhead(m_parts[k], addHeldText);
            }
        } catch (...) {
            m_failures[k] = std::current_exception();
        }
    }

    void join()
    {
        for (std::future<void>& helper : m_helpers) {
            if (helper.valid()) {
                helper.wait();
            }
        }
    }

    const VectorDocument& m_document;
    bool m_atOnce = false;
    // Opened before the helpers start, which open theirs from it.
    std::optional<BackdropsKeptOpen> m_backdrops;
    std::atomic<qsizetype> m_next{0};
    std::vector<OverlayPart> m_parts;
    std::vector<std::exception_ptr> m_failures;
    std::vector<std::future<void>> m_helpers;
};

}  // namespace

std::optional<VectorDocument> exportFontSamples(const VectorDocument& document)
{
    qsizetype lines = 0;
    // By font and size: the characters its samples hold, and where its
    // samples of the characters other lines add are (Latin letters apart
    // from the rest, whose shaping may leave a whole line to Qt's writer);
    // how many lines are set in it, and the order it was first met in.
    struct Samples {
        QSet<char16_t> characters;
        std::array<qsizetype, 2> more{-1, -1};
        qsizetype lines = 0;
        qsizetype order = 0;
    };
    QHash<QString, Samples> seen;
    // The font and size of each sample element.
    QStringList sampleKeys;
    VectorPage sample;
    sample.width = 612;
    sample.height = 792;
    sample.backgroundColorHex = QStringLiteral("#FFFFFF");
    for (const VectorPage& page : document.pages) {
        ++lines;
        for (const VectorElement& element : page.elements) {
            const TextPayload* text = element.text();
            if (!element.visible || !text) {
                continue;
            }
            ++lines;
            const auto trait = [](const std::optional<bool>& value) {
                return value ? QLatin1Char(*value ? '1' : '0') : QLatin1Char('-');
            };
            QString key = text->postScriptFontName.value_or(QString()) + QChar(0x1f) + text->fontFamily + QChar(0x1f) +
                          QString::number(text->fontSize, 'g', 17) + QChar(0x1f);
            key += trait(text->isBold);
            key += trait(text->isItalic);
            key += trait(text->originalIsBold);
            key += trait(text->originalIsItalic);
            if (text->text.trimmed().isEmpty()) {
                continue;
            }
            auto found = seen.find(key);
            if (found == seen.end()) {
                found = seen.insert(key, {});
                found->order = seen.size() - 1;
                found->lines = 1;
                sampleKeys.append(key);
                sample.elements.append(element);
                for (const QChar c : text->text) {
                    found->characters.insert(c.unicode());
                }
                continue;
            }
            ++found->lines;
            for (const QChar c : text->text) {
                if (c.isSurrogate() || c == QLatin1Char('\n') || found->characters.contains(c.unicode())) {
                    continue;
                }
                found->characters.insert(c.unicode());
                qsizetype& more = found->more[c.unicode() < 0x0300 ? 0 : 1];
                if (more < 0) {
                    more = sample.elements.size();
                    VectorElement added = element;
                    added.text()->text.clear();
                    sampleKeys.append(key);
                    sample.elements.append(added);
                }
                sample.elements[more].text()->text += c;
            }
        }
    }
    // An export of this many edited lines shares its pages out among the threads.
    if (lines < 2 * kElementsPerOverlayPart || sample.elements.isEmpty()) {
        return std::nullopt;
    }
    // Every thread loads each sampled font at each size, which costs more
    // than an export draws of a document set in many of them: only the
    // fonts and sizes most of its lines are set in are sampled.
    if (seen.size() > kMostSampledFonts) {
        QList<const Samples*> ranked;
        for (const Samples& samples : std::as_const(seen)) {
            ranked.append(&samples);
        }
        std::sort(ranked.begin(), ranked.end(), [](const Samples* a, const Samples* b) {
            return a->lines != b->lines ? a->lines > b->lines : a->order < b->order;
        });
        ranked.resize(kMostSampledFonts);
        const QSet<const Samples*> sampled(ranked.cbegin(), ranked.cend());
        QList<VectorElement> kept;
        for (qsizetype i = 0; i < sample.elements.size(); ++i) {
            if (sampled.contains(&*std::as_const(seen).find(sampleKeys[i]))) {
                kept.append(sample.elements[i]);
            }
        }
        sample.elements = std::move(kept);
    }
    VectorDocument samples;
    samples.title = document.title;
    samples.pages.append(std::move(sample));
    return samples;
}

namespace {

struct SourcePDF {
    // What qpdf reads (it reads from these bytes without copying them).
    QByteArray bytes;
    std::unique_ptr<QPDF> pdf;
    std::vector<QPDFPageObjectHelper> pages;
    PDFWorkTally work;
    PDFMeasuredFonts fonts;
    // The editor shows pages no qpdf reading gives: each is written as a
    // picture of what the editor shows.
    bool shownByPopplerAlone = false;
    int shownPages = 0;
};

// A page that shows in the editor but whose objects cannot be copied.
struct DamagedBackdrop : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Gives the form of `page` (a copy of its content) the bytes of the page's
// one content stream as they are compressed in the source, so that the
// writer copies them rather than inflating and deflating them again. Only
// for content known to be read whole: a stream that does not inflate is
// left to the writer, which then fails on it.
void keepCompressedContent(QPDFPageObjectHelper& page, QPDFObjectHandle pageForm)
{
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isArray() && contents.getArrayNItems() == 1) {
        contents = contents.getArrayItem(0);
    }
    if (!contents.isStream()) {
        return;
    }
    QPDFObjectHandle filter = contents.getDict().getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) {
        filter = filter.getArrayItem(0);
    }
    if (!filter.isNameAndEquals("/FlateDecode") && !filter.isNameAndEquals("/Fl")) {
        return;
    }
    pageForm.replaceStreamData(contents.getRawStreamData(), contents.getDict().getKey("/Filter"),
                               contents.getDict().getKey("/DecodeParms"));
}

// Maps the backdrop's user space onto the output page (PDF space, y up).
QTransform backdropMatrix(const VectorPage& page, const QRectF& mediaBox)
{
    const bool sideways = normalizedQuarterTurn(page.pdfRotation) % 180 != 0;
    const double unturnedWidth = sideways ? page.height : page.width;
    const double unturnedHeight = sideways ? page.width : page.height;
    const double sx = unturnedWidth / std::max(mediaBox.width(), 1.0);
    const double sy = unturnedHeight / std::max(mediaBox.height(), 1.0);
    // User space (y up) -> unturned page space (y down) -> page space -> PDF.
    const QTransform toUnturned(sx, 0, 0, -sy, -mediaBox.x() * sx, unturnedHeight + mediaBox.y() * sy);
    const QTransform toPDF(1, 0, 0, -1, 0, page.height);
    return toUnturned * page.backdropTransform() * toPDF;
}

// The page's masks and lines in the backdrop's user space, where its content draws.
BackdropMasking backdropMasks(const VectorPage& page, const QRectF& mediaBox)
{
    const QTransform toPDF(1, 0, 0, -1, 0, page.height);
    return backdropMasking(page, toPDF * backdropMatrix(page, mediaBox).inverted());
}

// The original PDF page as a form XObject of the output, with the
// annotations it shows drawn into it and, with `removeMasked`, without what
// lies under the page's masks, or nothing when its bytes cannot be read as a
// PDF or have no such page (the editor shows no backdrop then either).
// `unfilterable` says why what lies under the masks could not be removed
// (the page is then copied as it is). With `careful`, a page content that
// decodes only in part is taken as far as it decodes. Throws DamagedBackdrop
// when the page is there but its objects cannot be read or copied.
std::optional<QPDFObjectHandle> backdropForm(QPDF& output, std::map<const char*, SourcePDF>& sources,
                                             const VectorPage& page, bool removeMasked, bool careful,
                                             QRectF* mediaBox, std::optional<QString>* unfilterable)
{
    const QByteArray& data = *page.pdfPageData;
    auto found = sources.find(data.constData());
    if (found == sources.end()) {
        SourcePDF source;
        // The pages as the editor shows them: the bytes its PDF reading
        // reads (a file with locked attachments or one qpdf had to mend
        // gives qpdf's copy of it), or none of qpdf's when only poppler
        // reads the file. A file the editor cannot open is read as it is.
        source.bytes = data;
        std::shared_ptr<PDFDocument> shown;
        try {
            shown = openedBackdrop(data);
        } catch (const std::exception&) {
        }
        if (shown) {
            source.bytes = shown->readableBytes();
            source.shownByPopplerAlone = shown->readByPopplerAlone();
            source.shownPages = shown->pageCount();
            // Pages whose objects qpdf cannot copy are copied from their
            // drawing, as vectors and text.
            if (source.shownByPopplerAlone) {
                if (const QByteArray drawn = shown->drawnCopy(); !drawn.isEmpty()) {
                    source.bytes = drawn;
                    source.shownByPopplerAlone = false;
                }
            }
        }
        if (!source.shownByPopplerAlone) {
            try {
                source.pdf = std::make_unique<QPDF>();
                source.pdf->setSuppressWarnings(true);
                prepareQPDF();
                source.pdf->processMemoryFile("backdrop", source.bytes.constData(), size_t(source.bytes.size()));
                source.pages = QPDFPageDocumentHelper(*source.pdf).getAllPages();
            } catch (const std::exception&) {
                source.pages.clear();
            }
        }
        found = sources.emplace(data.constData(), std::move(source)).first;
    }
    SourcePDF& source = found->second;
    const qint64 index = std::max<qint64>(page.pdfPageIndex, 0);
    if (source.shownByPopplerAlone) {
        if (index >= source.shownPages) {
            return std::nullopt;
        }
        throw DamagedBackdrop("only poppler reads the page");
    }
    if (index >= qint64(source.pages.size())) {
        return std::nullopt;
    }
    try {
        source.work.checkPage(source.pages[size_t(index)]);
    } catch (const PDFWorkTally::Exceeded& exceeded) {
        throw CodecError(QStringLiteral("PDFCodec"), 4, exceeded.message());
    } catch (const std::exception& error) {
        throw DamagedBackdrop(error.what());
    }
    QPDFPageObjectHelper& sourcePage = source.pages[size_t(index)];
    // The page's own form, before the annotations are drawn around it.
    QPDFObjectHandle ownForm;
    const auto pageForm = [&] {
        try {
            const QPDFObjectHandle::Rectangle box = sourcePage.getMediaBox(false).getArrayAsRectangle();
            *mediaBox = QRectF(std::min(box.llx, box.urx), std::min(box.lly, box.ury), std::abs(box.urx - box.llx),
                               std::abs(box.ury - box.lly));
            // The unrotated page, clipped to its media box.
            QPDFObjectHandle made = sourcePage.getFormXObjectForPage(false);
            made.replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                                         mediaBox->left(), mediaBox->top(), mediaBox->right(), mediaBox->bottom())));
            made.removeKey("/Matrix");
            ownForm = made;
            return formWithAnnotations(*source.pdf, sourcePage, made);
        } catch (const std::exception& error) {
            throw DamagedBackdrop(error.what());
        }
    };
    if (careful) {
        keepDecodableContent(sourcePage);
    }
    QPDFObjectHandle form = pageForm();
    // The removal is done in the source, before the copy, so that the copy
    // takes only what is left: a form it changed comes with its resources
    // trimmed to what it draws.
    QPDFObjectHandle drawn = form;
    if (const BackdropMasking masking = removeMasked ? backdropMasks(page, *mediaBox) : BackdropMasking();
        !masking.masks.isEmpty()) {
        try {
            drawn = removeContentUnderMasks(*source.pdf, form, masking.masks, masking.keptLines, &source.fonts);
        } catch (const PDFUnfilterableContent& error) {
            *unfilterable = QString::fromUtf8(error.what());
        }
        // A page content cut short is filtered as far as it reads.
        if (*unfilterable && keepDecodableContent(sourcePage)) {
            form = pageForm();
            drawn = form;
            try {
                drawn = removeContentUnderMasks(*source.pdf, form, masking.masks, masking.keptLines, &source.fonts);
                unfilterable->reset();
            } catch (const PDFUnfilterableContent&) {
            }
        }
    }
    try {
        if (drawn.isSameObjectAs(form)) {
            // Only what the page draws: resources shared with other pages
            // keep theirs out of the file.
            if (dropUnnamedResources(form)) {
                keepCompressedContent(sourcePage, ownForm);
            }
        }
        return output.copyForeignObject(drawn);
    } catch (const std::exception& error) {
        throw DamagedBackdrop(error.what());
    }
}

// Whether every stream `object` draws from can be read as the writer copies
// it: its raw bytes (what is not a stream or not reachable is not looked at;
// the page tree is not followed).
bool streamsReadable(QPDFObjectHandle object, std::set<QPDFObjGen>& seen, int depth = 0)
{
    if (depth > 64) {
        return true;
    }
    if (object.isIndirect()) {
        if (!seen.insert(object.getObjGen()).second) {
            return true;
        }
    }
    try {
        if (object.isStream()) {
            object.getRawStreamData();
            return streamsReadable(object.getDict(), seen, depth + 1);
        }
        if (object.isArray()) {
            for (QPDFObjectHandle item : object.aitems()) {
                if (!streamsReadable(item, seen, depth + 1)) {
                    return false;
                }
            }
        } else if (object.isDictionary()) {
            for (auto [key, value] : object.ditems()) {
                if (key != "/Parent" && key != "/P" && !streamsReadable(value, seen, depth + 1)) {
                    return false;
                }
            }
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Replaces everything the output page draws by a picture of the page as
// shown: background, backdrop, masks and elements. False when the
// backdrop's drawing was given up at its bound.
bool writePageAsPicture(QPDF& output, QPDFPageObjectHelper& out, const VectorPage& page)
{
    double scale = kRasterizedPageDPI / 72.0;
    const double pixels = page.width * page.height * scale * scale;
    if (pixels > double(kMaxPageImagePixels)) {
        scale *= std::sqrt(double(kMaxPageImagePixels) / pixels);
    }
    QImage image(std::max(1, int(std::ceil(page.width * scale))), std::max(1, int(std::ceil(page.height * scale))),
                 QImage::Format_RGB888);
    if (image.isNull()) {
        failContext();
    }
    image.fill(Qt::white);
    bool whole = true;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(image.width() / page.width, image.height() / page.height);
        whole = renderPage(page, painter);
    }
    std::string samples;
    samples.reserve(size_t(image.width()) * 3 * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        samples.append(reinterpret_cast<const char*>(image.constScanLine(y)), size_t(image.width()) * 3);
    }
    QPDFObjectHandle picture = QPDFObjectHandle::newStream(&output, samples);
    QPDFObjectHandle dict = picture.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(image.width()));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(image.height()));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    QPDFObjectHandle objects = QPDFObjectHandle::newDictionary();
    objects.replaceKey("/ZelvanePage", picture);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", objects);
    out.getObjectHandle().replaceKey("/Resources", resources);
    const QByteArray content = "q " + number(page.width) + " 0 0 " + number(page.height) + " 0 0 cm /ZelvanePage Do Q\n";
    out.getObjectHandle().replaceKey("/Contents", QPDFObjectHandle::newStream(&output, content.toStdString()));
    return whole;
}

// The page contents the export made (backdrops taken out from under their
// masks) compressed by the drawing threads once they have drawn their pages,
// rather than one after the other by the writer at the end. Only the
// streams' bytes go to the threads; the objects stay with the calling
// thread, which puts the compressed bytes back in `finish`.
class ContentCompression {
public:
    void add(QPDFObjectHandle stream, PageDrawingThreads& threads)
    {
        if (!stream.isStream() || stream.getDict().hasKey("/Filter") || !m_seen.insert(stream.getObjGen()).second) {
            return;
        }
        std::shared_ptr<Buffer> raw;
        try {
            raw = stream.getRawStreamData();
        } catch (const std::exception&) {
            return;  // left to the writer
        }
        auto compressed = std::make_shared<std::string>();
        try {
            m_streams.push_back({stream, compressed, threads.run([raw, compressed] {
                                     *compressed = deflated(raw->getBuffer(), raw->getSize());
                                 })});
        } catch (const std::exception&) {
            m_seen.erase(stream.getObjGen());  // left to the writer
        }
    }

    ~ContentCompression()
    {
        for (Compressed& stream : m_streams) {
            stream.done.wait();
        }
    }

    void finish()
    {
        for (Compressed& stream : m_streams) {
            stream.done.get();
            if (!stream.compressed->empty()) {
                stream.stream.replaceStreamData(*stream.compressed, QPDFObjectHandle::newName("/FlateDecode"),
                                                QPDFObjectHandle::newNull());
            }
        }
        m_streams.clear();
    }

private:
    struct Compressed {
        QPDFObjectHandle stream;
        std::shared_ptr<std::string> compressed;
        std::future<void> done;
    };
    std::set<QPDFObjGen> m_seen;
    std::vector<Compressed> m_streams;
};

// The writer's output gathered in one byte array as it comes (rather than
// in a buffer of the writer's own, copied out at the end).
class WrittenBytes : public Pipeline {
public:
    explicit WrittenBytes(QByteArray& bytes)
        : Pipeline("written bytes", nullptr)
        , m_bytes(bytes)
    {
    }

    void write(const unsigned char* data, size_t size) override
    {
        m_bytes.append(reinterpret_cast<const char*>(data), qsizetype(size));
    }

    void finish() override {}

private:
    QByteArray& m_bytes;
};

QByteArray underlay(const VectorPage& page, const QString& backdropName, const std::optional<QRectF>& mediaBox)
{
    const RGBAColor background = RGBAColor::fromHex(page.backgroundColorHex).value_or(RGBAColor(1, 1, 1, 1));
    QByteArray content = "q " + number(background.r) + ' ' + number(background.g) + ' ' + number(background.b) +
                         " rg 0 0 " + number(page.width) + ' ' + number(page.height) + " re f Q\n";
    if (mediaBox) {
        content += "q " + matrix(backdropMatrix(page, *mediaBox)) + ' ' + backdropName.toLatin1() + " Do Q\n";
    }
    return content;
}

}  // namespace

ExportDrawingWarmUp::ExportDrawingWarmUp(std::shared_ptr<Drawing> drawing, std::shared_future<void> done,
                                         std::shared_future<void> opened)
    : m_drawing(std::move(drawing))
    , m_done(std::move(done))
    , m_opened(std::move(opened))
{
}

ExportDrawingWarmUp::~ExportDrawingWarmUp()
{
    std::unique_lock<std::mutex> lock(m_drawing->mutex);
    m_drawing->leftOff = true;
    m_drawing->ended.wait(lock, [this] { return m_drawing->drawing == 0; });
}

void ExportDrawingWarmUp::wait() const
{
    m_done.wait();
    if (m_opened.valid()) {
        m_opened.wait();
    }
}

namespace {

// Whether exportFontSamples would give samples: enough lines for an export
// that shares its pages out, and one line that shows text. Looks at no more
// lines than it needs to tell.
bool hasFontSamples(const VectorDocument& document)
{
    qsizetype lines = 0;
    bool shown = false;
    for (const VectorPage& page : document.pages) {
        ++lines;
        for (const VectorElement& element : page.elements) {
            const TextPayload* text = element.text();
            if (!element.visible || !text) {
                continue;
            }
            ++lines;
            shown = shown || std::any_of(text->text.cbegin(), text->text.cend(), [](QChar c) { return !c.isSpace(); });
            if (shown && lines >= 2 * kElementsPerOverlayPart) {
                return true;
            }
        }
    }
    return false;
}

// The samples of a document, worked out once by whichever drawing thread
// first needs them: gathering them reads every line of the document.
class LateFontSamples {
public:
    explicit LateFontSamples(VectorDocument document) : m_document(std::move(document)) {}

    const VectorDocument* get()
    {
        std::call_once(m_once, [this] {
            try {
                m_samples = exportFontSamples(m_document);
            } catch (...) {
            }
            m_document = VectorDocument();
        });
        return m_samples ? &*m_samples : nullptr;
    }

private:
    std::once_flag m_once;
    VectorDocument m_document;
    std::optional<VectorDocument> m_samples;
};

}  // namespace

std::unique_ptr<ExportDrawingWarmUp> warmUpExportDrawing(const VectorDocument& document)
{
    // Only what tells whether to ready the threads runs here, on the
    // caller's thread (the window's, as a document lands): the samples are
    // gathered on a drawing thread.
    PageDrawingThreads* const threads = hasFontSamples(document) ? PageDrawingThreads::shared() : nullptr;
    if (!threads) {
        return nullptr;
    }
    auto drawing = std::make_shared<ExportDrawingWarmUp::Drawing>();
    std::shared_future<void> done =
        threads->runOnEach([drawing, late = std::make_shared<LateFontSamples>(document)] {
            {
                const std::lock_guard<std::mutex> lock(drawing->mutex);
                if (drawing->leftOff) {
                    return;
                }
            }
            // Not counted as drawing: a warm-up dropped meanwhile does not
            // wait for it.
            const VectorDocument* samples = late->get();
            {
                const std::lock_guard<std::mutex> lock(drawing->mutex);
                if (drawing->leftOff || !samples) {
                    return;
                }
                ++drawing->drawing;
            }
            try {
                drawOverlay(*samples, 0, [] { return qsizetype(1); });
            } catch (...) {
            }
            const std::lock_guard<std::mutex> lock(drawing->mutex);
            --drawing->drawing;
            drawing->ended.notify_all();
        });
    // Meanwhile one thread opens the PDF the pages are drawn over, which
    // the calling thread of the first export would otherwise read and check
    // before any thread could draw.
    std::shared_future<void> opened;
    if (std::any_of(document.pages.begin(), document.pages.end(),
                    [](const VectorPage& page) { return page.pdfPageData.has_value(); })) {
        try {
            opened = threads->run([drawing, pages = document.pages] {
                         {
                             const std::lock_guard<std::mutex> lock(drawing->mutex);
                             if (drawing->leftOff) {
                                 return;
                             }
                             ++drawing->drawing;
                         }
                         std::shared_ptr<BackdropsKeptOpen> backdrops;
                         try {
                             backdrops = std::make_shared<BackdropsKeptOpen>(pages);
                         } catch (...) {
                         }
                         // Kept by the warm-up alone.
                         forgetThreadBackdrop();
                         const std::lock_guard<std::mutex> lock(drawing->mutex);
                         drawing->backdrops = std::move(backdrops);
                         --drawing->drawing;
                         drawing->ended.notify_all();
                     }).share();
        } catch (const std::exception&) {
        }
    }
    return std::make_unique<ExportDrawingWarmUp>(std::move(drawing), std::move(done), std::move(opened));
}

QString pdfCreator()
{
    return QStringLiteral("Zelvane \u2014 Tarnwick");
}

QString rasterizedPagesNote(const PDFExportReport& report)
{
    if (report.rasterizedPages.isEmpty()) {
        return {};
    }
    QStringList numbers;
    for (const RasterizedPage& page : report.rasterizedPages) {
        numbers.append(QString::number(page.pageIndex + 1));
    }
    const QString list = numbers.join(QStringLiteral(", "));
    QString note = numbers.size() == 1
                       ? L(QStringLiteral("page ") + list
                               + QStringLiteral(" écrite en image : son texte masqué n'a pas pu être retiré"),
                           QStringLiteral("page ") + list
                               + QStringLiteral(" written as a picture: its masked text could not be removed"))
                       : L(QStringLiteral("pages ") + list
                               + QStringLiteral(" écrites en images : leur texte masqué n'a pas pu être retiré"),
                           QStringLiteral("pages ") + list
                               + QStringLiteral(" written as pictures: their masked text could not be removed"));
    if (!report.cutShortPages.isEmpty()) {
        note += QStringLiteral("; ") + pagesCutShortNote(report.cutShortPages, CutShortUse::written);
    }
    return note;
}

namespace {

// The whole output, once the overlays are drawn. `careful` looks at every
// stream each backdrop draws from before writing, and writes the pages whose
// streams cannot be read as pictures: the second try after a first one
// failed on a damaged file.
QByteArray writeDocument(const VectorDocument& document, OverlayDrawing& overlays, PDFExportReport* report,
                         const PDFExportOptions& options, bool careful)
{
    {
        QPDF output;
        output.setSuppressWarnings(true);
        if (overlays.drawnAtOnce()) {
            const OverlayPart& only = overlays.all().front();
            prepareQPDF();
            output.processMemoryFile("overlay", only.pdf.constData(), size_t(only.pdf.size()));
            addHeldText(output, QPDFPageDocumentHelper(output).getAllPages(), only);
        } else {
            output.emptyPDF();
        }

        // The backdrops, taken out from under their masks, while the
        // overlays are still being drawn.
        struct Backdrop {
            std::optional<QPDFObjectHandle> form;
            QRectF mediaBox;
            std::optional<QString> unfilterable;
        };
        std::vector<Backdrop> backdrops(size_t(document.pages.size()));
        std::map<const char*, SourcePDF> sources;
        for (qsizetype i = 0; i < document.pages.size(); ++i) {
            const VectorPage& page = document.pages[i];
            Backdrop& backdrop = backdrops[size_t(i)];
            if (!page.pdfPageData) {
                continue;
            }
            try {
                backdrop.form = backdropForm(output, sources, page, options.removeMaskedContent, careful,
                                             &backdrop.mediaBox, &backdrop.unfilterable);
            } catch (const DamagedBackdrop& error) {
                backdrop.unfilterable = QStringLiteral("damaged page: ") + QString::fromUtf8(error.what());
                continue;
            }
            if (!backdrop.form) {
                continue;
            }
            if (std::set<QPDFObjGen> seen; careful && !backdrop.unfilterable && !streamsReadable(*backdrop.form, seen)) {
                backdrop.unfilterable = QStringLiteral("damaged page: a stream cannot be read");
            }
        }
        std::vector<QPDF*> sourceFiles;
        for (auto& [data, source] : sources) {
            if (source.pdf && !source.pages.empty()) {
                sourceFiles.push_back(source.pdf.get());
            }
        }
        copyOptionalContent(output, sourceFiles);
        ContentCompression compression;
        if (PageDrawingThreads* const threads = overlays.drawnAtOnce() ? nullptr : PageDrawingThreads::shared()) {
            for (const Backdrop& backdrop : backdrops) {
                if (backdrop.form && !backdrop.unfilterable) {
                    compression.add(*backdrop.form, *threads);
                }
            }
        }
        QPDFPageDocumentHelper pageTree(output);
        std::vector<std::unique_ptr<QPDF>> parts;
        if (!overlays.drawnAtOnce()) {
            // The pages of every part, copied with what they use as soon as
            // the part is drawn, then put in page order; the parts stay open
            // until the output is written.
            std::vector<std::optional<QPDFPageObjectHelper>> drawnPages(size_t(document.pages.size()));
            overlays.eachDrawnPart([&](OverlayPart& drawnPart) {
                std::vector<QPDFPageObjectHelper> partPages;
                std::unique_ptr<QPDF> part = takeOverlayPartReading(drawnPart, partPages, addHeldText);
                if (partPages.size() != drawnPart.pages.size()) {
                    failContext();
                }
                // What adding a page of another file does to that file first.
                part->pushInheritedAttributesToPage();
                for (size_t j = 0; j < partPages.size(); ++j) {
                    drawnPages[size_t(drawnPart.pages[j])] =
                        QPDFPageObjectHelper(output.copyForeignObject(partPages[j].getObjectHandle()));
                }
                if (drawnPart.pages.front() == 0) {
                    // The document's information (title, creator) as the writer gave it.
                    if (QPDFObjectHandle info = part->getTrailer().getKey("/Info"); info.isDictionary()) {
                        output.getTrailer().replaceKey(
                            "/Info", output.copyForeignObject(info.isIndirect() ? info : part->makeIndirectObject(info)));
                    }
                }
                parts.push_back(std::move(part));
            });
            for (const std::optional<QPDFPageObjectHelper>& page : drawnPages) {
                if (!page) {
                    failContext();
                }
                pageTree.addPage(*page, false);
            }
        }
        std::vector<QPDFPageObjectHelper> pages = pageTree.getAllPages();
        if (document.pages.isEmpty()) {
            // Qt always writes a page; a document without pages has none.
            for (QPDFPageObjectHelper& page : pages) {
                pageTree.removePage(page);
            }
            pages.clear();
        }
        if (pages.size() != size_t(document.pages.size())) {
            failContext();
        }
        // What closes every page's drawing, compressed once for all pages
        // rather than once a page by the writer.
        const std::string closingContent = deflated(std::string("\nQ\n"));
        for (size_t i = 0; i < pages.size(); ++i) {
            const VectorPage& page = document.pages[qsizetype(i)];
            QPDFPageObjectHelper& out = pages[i];
            const Backdrop& backdrop = backdrops[i];

            // Qt writes whole-point page sizes and flips its drawing about
            // that height: shift it onto the exact page.
            const QPDFObjectHandle::Rectangle written = out.getMediaBox(false).getArrayAsRectangle();
            const double shift = page.height - std::abs(written.ury - written.lly);
            out.getObjectHandle().replaceKey(
                "/MediaBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, page.width, page.height)));
            out.getObjectHandle().removeKey("/CropBox");

            if (backdrop.unfilterable) {
                // Never the masked text in the file: the page as a picture.
                qDebug().noquote() << "PDF export: page" << i + 1 << "written as a picture:" << *backdrop.unfilterable;
                const bool whole = writePageAsPicture(output, out, page);
                if (report) {
                    report->rasterizedPages.append({qsizetype(i), *backdrop.unfilterable});
                    if (!whole) {
                        report->cutShortPages.append(qsizetype(i));
                    }
                }
                continue;
            }
            std::optional<QRectF> mediaBox;
            QString name;
            if (backdrop.form) {
                name = QStringLiteral("/ZelvaneBackdrop");
                pageResources(out, "/XObject").replaceKey(name.toStdString(), *backdrop.form);
                mediaBox = backdrop.mediaBox;
            }
            const QByteArray before = underlay(page, name, mediaBox) + "q 1 0 0 1 0 " + number(shift) + " cm\n";
            // Compressed here, as the writer would, without its setting up
            // a compressor of its own for every page.
            QPDFObjectHandle opening = QPDFObjectHandle::newStream(&output, before.toStdString());
            if (const std::string compressed = deflated(before); !compressed.empty()) {
                opening.replaceStreamData(compressed, QPDFObjectHandle::newName("/FlateDecode"),
                                          QPDFObjectHandle::newNull());
            }
            out.addPageContents(opening, true);
            QPDFObjectHandle closing = QPDFObjectHandle::newStream(&output);
            if (closingContent.empty()) {
                closing.replaceStreamData("\nQ\n", QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
            } else {
                closing.replaceStreamData(closingContent, QPDFObjectHandle::newName("/FlateDecode"),
                                          QPDFObjectHandle::newNull());
            }
            out.addPageContents(closing, false);
        }
        compression.finish();
        QByteArray written;
        WrittenBytes bytes(written);
        QPDFWriter writer(output);
        writer.setOutputPipeline(&bytes);
        writer.setCompressStreams(true);
        // Streams that are compressed already are copied as they are: an
        // image whose data inflates far past what it shows is never inflated.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
        return written;
    }
}

}  // namespace

QByteArray exportPDF(const VectorDocument& document, PDFExportReport* report, const PDFExportOptions& options)
{
    OverlayDrawing overlays(document);
    // A damaged source page never fails the export: when writing fails, the
    // pages whose streams cannot be read are written as pictures.
    for (const bool careful : {false, true}) {
        PDFExportReport written;
        try {
            QByteArray pdf = writeDocument(document, overlays, &written, options, careful);
            if (report) {
                report->rasterizedPages.append(written.rasterizedPages);
                report->cutShortPages.append(written.cutShortPages);
            }
            return pdf;
        } catch (const CodecError&) {
            throw;
        } catch (const std::exception& error) {
            qDebug().noquote() << "PDF export:" << (careful ? "careful" : "first") << "try failed:" << error.what();
        }
    }
    failContext();
}

}  // namespace zelvane::PDFCodec
