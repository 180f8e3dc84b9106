#include "pdf/PDFDocument.h"
#include "QPDFPreparation.h"

#include "fonts/PDFFontWalk.h"
#include "pdf/InvisibleTextFonts.h"
#include "pdf/PDFCancel.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFInputLimits.h"
#include "pdf/RawPDF.h"

#include <QImage>
#include <QPainter>

// GLib uses "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#include <poppler.h>
#pragma pop_macro("signals")

#include <cairo.h>
#include <cairo-pdf.h>

// Use qpdf's std::shared_ptr interfaces only.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/Constants.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// How the pieces fit: qpdf reads the file and tells each page's boxes and
// rotation, then writes a copy in which every page is unrotated and cropped to
// its media box. Poppler only ever sees that copy (or the file itself when it
// already is one), so what it draws is always the whole unrotated media box
// with its top left corner at the origin, and placing any rectangle of user
// space onto an image is a plain affine map.

namespace zelvane {

namespace {

struct PageGeometry {
    QRectF mediaBox;
    QRectF cropBox;
    int rotation = 0;
    // The baseline share of each font of the page, by name without subset prefix.
    std::map<std::string, double> baselineShares;
    // The fonts that only print invisible text on the page (a scan's text layer).
    std::set<std::string> invisibleFonts;
    // The fonts whose program the file does not hold, by name without subset prefix.
    std::set<std::string> fontsWithoutProgram;
    // The page's index in poppler's document, when not its own.
    int popplerIndex = -1;
    // Drawing the page gathers the very text reading it alone gives: qpdf
    // wrote the page poppler reads (its crop box is its media box) and it
    // shows no annotation that could draw text of its own.
    bool textReadWhileDrawing = false;
};

// What PDF readers use for a page whose media box is missing or unusable.
const QRectF kLetterBox(0, 0, 612, 792);

std::optional<QRectF> rectangleFrom(QPDFObjectHandle object)
{
    if (!object.isRectangle())
        return std::nullopt;
    const QPDFObjectHandle::Rectangle r = object.getArrayAsRectangle();
    // The corners may be given in any order.
    const double left = std::min(r.llx, r.urx);
    const double right = std::max(r.llx, r.urx);
    const double bottom = std::min(r.lly, r.ury);
    const double top = std::max(r.lly, r.ury);
    if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(bottom) || !std::isfinite(top))
        return std::nullopt;
    return QRectF(left, bottom, right - left, top - bottom);
}

// /Rotate in whole quarter turns; anything that is not a multiple of 90 is
// invalid and ignored.
int normalisedRotation(QPDFObjectHandle object)
{
    if (!object.isNumber())
        return 0;
    const double value = object.getNumericValue();
    if (!std::isfinite(value) || std::abs(value) > 1e9)
        return 0;
    const long long degrees = std::llround(value);
    if (degrees % 90 != 0 || double(degrees) != value)
        return 0;
    return int(((degrees % 360) + 360) % 360);
}

PageGeometry geometryOf(QPDFPageObjectHelper& page)
{
    PageGeometry geometry;
    const std::optional<QRectF> media = rectangleFrom(page.getMediaBox(false));
    geometry.mediaBox = media && media->width() > 0 && media->height() > 0 ? *media : kLetterBox;

    // A crop box only ever narrows the media box.
    geometry.cropBox = geometry.mediaBox;
    if (const std::optional<QRectF> crop = rectangleFrom(page.getCropBox(false, false))) {
        const QRectF clipped = crop->intersected(geometry.mediaBox);
        if (clipped.width() > 0 && clipped.height() > 0)
            geometry.cropBox = clipped;
    }

    geometry.rotation = normalisedRotation(page.getAttribute("/Rotate", false));
    return geometry;
}

std::string withoutSubsetPrefix(const std::string& name)
{
    size_t i = 0;
    while (i < name.size() && name[i] >= 'A' && name[i] <= 'Z')
        ++i;
    return i > 0 && i < name.size() && name[i] == '+' ? name.substr(i + 1) : name;
}

// A font's descriptor, or that of its first descendant font (composite
// fonts keep it there).
QPDFObjectHandle descriptorOf(QPDFObjectHandle font)
{
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary()) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (descendants.isArray() && descendants.getArrayNItems() > 0)
            descriptor = descendants.getArrayItem(0).getKey("/FontDescriptor");
    }
    return descriptor;
}

// The share of a text rectangle's height above the baseline for a font,
// from its descriptor's ascent and descent as poppler reads them (0.95 and
// -0.35 when absent or unusable); 0 without a descriptor.
double baselineShareOf(QPDFObjectHandle font)
{
    QPDFObjectHandle descriptor = descriptorOf(font);
    if (!descriptor.isDictionary())
        return 0;
    double ascent = 0.95;
    double descent = -0.35;
    if (QPDFObjectHandle value = descriptor.getKey("/Ascent"); value.isNumber()) {
        const double t = std::abs(0.001 * value.getNumericValue());
        if (t != 0 && t < 3)
            ascent = t;
    }
    if (QPDFObjectHandle value = descriptor.getKey("/Descent"); value.isNumber()) {
        const double t = -std::abs(0.001 * value.getNumericValue());
        if (t != 0 && t > -3)
            descent = t;
    }
    return ascent / (ascent - descent);
}

// Whether the file holds the program of a font that is not a Type 3 font.
bool holdsProgram(QPDFObjectHandle font)
{
    QPDFObjectHandle descriptor = descriptorOf(font);
    if (!descriptor.isDictionary())
        return false;
    for (const char* key : {"/FontFile", "/FontFile2", "/FontFile3"}) {
        if (descriptor.getKey(key).isStream())
            return true;
    }
    return false;
}

// What the page's fonts tell: their baseline shares and which of them the
// file holds no program of.
void readFonts(QPDFObjectHandle resources, PageGeometry& geometry)
{
    fonts::PDFFontWalk().walk(resources, [&geometry](QPDFObjectHandle font) {
        QPDFObjectHandle name = font.getKey("/BaseFont");
        if (!name.isName())
            return;
        const std::string clean = withoutSubsetPrefix(name.getName().substr(1));
        const double share = baselineShareOf(font);
        if (share > 0)
            geometry.baselineShares.emplace(clean, share);
        if (!font.getKey("/Subtype").isNameAndEquals("/Type3") && !holdsProgram(font))
            geometry.fontsWithoutProgram.insert(clean);
    });
}

QPDFObjectHandle arrayFrom(const QRectF& box)
{
    return QPDFObjectHandle::newArray(
        QPDFObjectHandle::Rectangle(box.x(), box.y(), box.x() + box.width(), box.y() + box.height()));
}

// Whether drawing the page adds nothing to what its content draws: every
// annotation it has is a link without an appearance of its own.
bool drawsOnlyItsContent(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
    if (annotations.isNull())
        return true;
    if (!annotations.isArray())
        return false;
    for (QPDFObjectHandle annotation : annotations.aitems()) {
        if (!annotation.isDictionary() || !annotation.getKey("/Subtype").isNameAndEquals("/Link")
            || !annotation.getKey("/AP").isNull())
            return false;
    }
    return true;
}

// Whether poppler reads the page exactly as the copy would give it: its media
// box written the way the copy writes it, no other crop box and no rotation.
bool readsAsWritten(QPDFPageObjectHelper& page, const PageGeometry& geometry)
{
    const std::string media = arrayFrom(geometry.mediaBox).unparseResolved();
    if (page.getMediaBox(false).unparseResolved() != media)
        return false;
    if (QPDFObjectHandle crop = page.getCropBox(false, false); !crop.isNull() && crop.unparseResolved() != media)
        return false;
    QPDFObjectHandle rotation = page.getAttribute("/Rotate", false);
    return rotation.isNull() || (rotation.isInteger() && rotation.getIntValue() == 0);
}

// Owns the bytes handed to poppler for as long as poppler holds on to them.
GBytes* newGBytes(QByteArray bytes)
{
    auto* owner = new QByteArray(std::move(bytes));
    return g_bytes_new_with_free_func(owner->constData(), gsize(owner->size()),
                                      [](gpointer data) { delete static_cast<QByteArray*>(data); }, owner);
}

// poppler makes two colour profiles the whole process shares (sRGB and
// XYZ) when it makes its first graphics state, without a lock: two threads
// making their first graphics states at once would both make them, each
// releasing what the other had stored. The text of one small page is read
// once, before poppler opens any document of ours, so that they exist
// before pages are read or drawn on several threads.
void setUpPopplerProfiles()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QList<QByteArray> objects{"<</Type/Catalog/Pages 2 0 R>>", "<</Type/Pages/Kids[3 0 R]/Count 1>>",
                                        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 10 10]>>"};
        const QByteArray pdf = rawPDF(objects);
        GBytes* gbytes = newGBytes(pdf);
        PopplerDocument* document = poppler_document_new_from_bytes(gbytes, nullptr, nullptr);
        g_bytes_unref(gbytes);
        if (!document)
            return;
        if (PopplerPage* page = poppler_document_get_page(document, 0)) {
            g_free(poppler_page_get_text(page));
            g_object_unref(page);
        }
        g_object_unref(document);
    });
}

struct PopplerOpenResult {
    PopplerDocument* document = nullptr;
    bool encrypted = false;
};

PopplerOpenResult openWithPoppler(const QByteArray& bytes, const PDFCancel* cancel = nullptr)
{
    setUpPopplerProfiles();
    PopplerOpenResult result;
    GBytes* gbytes = newGBytes(bytes);
    GError* error = nullptr;
    if (cancel) {
        // Read through a stream that fails once the reading is given up:
        // poppler then takes the file as ending there, whatever it draws.
        GInputStream* stream = cancel->newStream(gbytes);
        result.document = poppler_document_new_from_stream(stream, goffset(bytes.size()), nullptr,
                                                           cancel->cancellable(), &error);
        g_object_unref(stream);
    } else {
        result.document = poppler_document_new_from_bytes(gbytes, nullptr, &error);
    }
    // The document keeps its own reference to the bytes.
    g_bytes_unref(gbytes);
    if (error) {
        result.encrypted = error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED;
        g_error_free(error);
    }
    if (result.encrypted && result.document) {
        g_object_unref(result.document);
        result.document = nullptr;
    }
    return result;
}

struct ReadResult {
    std::vector<PageGeometry> pages;
    QByteArray renderBytes;
    bool passwordProtected = false;
    // Why a page asks for too much work, when one does.
    QString tooLarge;
    bool ok = false;
};

bool isPDFWhitespace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

// The name the trailer's /Encrypt key takes in bytes whose encryption is set
// aside: the same length, so every offset of the file stays right.
constexpr char kSetAsideEncrypt[] = "/Zncrypt";

// Whether an encryption dictionary locks nothing but embedded files: its
// streams and strings go through the identity filter (the default when
// they name none), so only attachments need the password.
bool locksOnlyEmbeddedFiles(QPDFObjectHandle encrypt)
{
    if (!encrypt.isDictionary() || !encrypt.getKey("/Filter").isNameAndEquals("/Standard"))
        return false;
    QPDFObjectHandle version = encrypt.getKey("/V");
    if (!version.isInteger() || version.getIntValue() < 4)
        return false;
    for (const char* key : {"/StmF", "/StrF"}) {
        QPDFObjectHandle filter = encrypt.getKey(key);
        if (!filter.isNull() && !filter.isNameAndEquals("/Identity"))
            return false;
    }
    return true;
}

// The bytes with every trailer's /Encrypt key renamed, when there is one.
QByteArray withEncryptionSetAside(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    bool found = false;
    for (qsizetype at = copy.indexOf("/Encrypt"); at >= 0; at = copy.indexOf("/Encrypt", at + 1)) {
        qsizetype next = at + 8;
        while (next < copy.size() && isPDFWhitespace(copy[next]))
            ++next;
        // Only the key, followed by a reference or a dictionary.
        if (next < copy.size() && ((copy[next] >= '0' && copy[next] <= '9') || copy[next] == '<')) {
            copy.replace(at, 8, kSetAsideEncrypt, 8);
            found = true;
        }
    }
    return found ? copy : QByteArray();
}

// Rebuilds a page tree that names one of its own nodes again (a loop, which
// qpdf refuses) as readers read it: every page met in order, each once, under
// one new root, with what it inherited set on itself. False when the
// catalog has no page tree.
bool readPageTreeOnce(QPDF& pdf)
{
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    if (!root.isDictionary())
        return false;
    const char* const inheritable[] = {"/MediaBox", "/CropBox", "/Rotate", "/Resources"};
    struct Visit {
        QPDFObjectHandle node;
        std::map<std::string, QPDFObjectHandle> inherited;
    };
    std::vector<Visit> toVisit{{root, {}}};
    std::set<QPDFObjGen> seen;
    std::vector<QPDFObjectHandle> pages;
    while (!toVisit.empty()) {
        Visit visit = std::move(toVisit.back());
        toVisit.pop_back();
        QPDFObjectHandle node = visit.node;
        if (!node.isDictionary() || (node.isIndirect() && !seen.insert(node.getObjGen()).second))
            continue;
        for (const char* key : inheritable) {
            if (node.hasKey(key))
                visit.inherited[key] = node.getKey(key);
        }
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (kids.isArray() && !node.getKey("/Type").isNameAndEquals("/Page")) {
            for (int i = kids.getArrayNItems() - 1; i >= 0; --i)
                toVisit.push_back({kids.getArrayItem(i), visit.inherited});
            continue;
        }
        if (!node.isIndirect())
            continue;
        for (const auto& [key, value] : visit.inherited)
            node.replaceKey(key, value);
        pages.push_back(node);
    }
    QPDFObjectHandle tree = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    tree.replaceKey("/Type", QPDFObjectHandle::newName("/Pages"));
    tree.replaceKey("/Kids", QPDFObjectHandle::newArray(pages));
    tree.replaceKey("/Count", QPDFObjectHandle::newInteger(int(pages.size())));
    for (QPDFObjectHandle& page : pages) {
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/Parent", tree);
    }
    pdf.getRoot().replaceKey("/Pages", tree);
    pdf.updateAllPagesCache();
    return true;
}

ReadResult readWithQPDF(const QByteArray& bytes, bool encryptionSetAside = false)
{
    ReadResult result;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        prepareQPDF();
        pdf.processMemoryFile("document", bytes.constData(), size_t(bytes.size()));
        if (encryptionSetAside && !locksOnlyEmbeddedFiles(pdf.getTrailer().getKey(kSetAsideEncrypt))) {
            result.passwordProtected = true;
            return result;
        }

        bool copyNeeded = pdf.isEncrypted();
        std::vector<QPDFPageObjectHelper> pages;
        try {
            pages = QPDFPageDocumentHelper(pdf).getAllPages();
        } catch (const std::exception&) {
            if (!readPageTreeOnce(pdf))
                throw;
            // Poppler reads the mended tree.
            pages = QPDFPageDocumentHelper(pdf).getAllPages();
            copyNeeded = true;
        }
        // What is left of a page whose object was lost, say by a cut, refuses
        // the file before any page is read further.
        for (QPDFPageObjectHelper& page : pages) {
            if (!page.getObjectHandle().isDictionary())
                return result;
        }
        result.pages.reserve(pages.size());
        PDFWorkTally work;
        Type3GlyphGuard glyphGuard;
        FunctionShadingGuard shadingGuard;
        for (QPDFPageObjectHelper& page : pages) {
            work.checkPage(page);
            // Glyphs that would draw themselves over and over are drawn empty.
            try {
                copyNeeded = glyphGuard.disarm(page) || copyNeeded;
            } catch (const std::exception&) {
            }
            // So are shadings whose drawing would never end.
            try {
                copyNeeded = shadingGuard.disarm(page) || copyNeeded;
            } catch (const std::exception&) {
            }
            PageGeometry geometry = geometryOf(page);
            try {
                readFonts(page.getAttribute("/Resources", false), geometry);
            } catch (const std::exception&) {
                // Baselines are then taken from the font drawn.
            }
            geometry.invisibleFonts = invisiblyPrintedFonts(page);
            try {
                geometry.textReadWhileDrawing = drawsOnlyItsContent(page);
            } catch (const std::exception&) {
            }
            copyNeeded = copyNeeded || !readsAsWritten(page, geometry);
            result.pages.push_back(geometry);
            // Set on the page itself so nothing is inherited from the tree.
            QPDFObjectHandle dictionary = page.getObjectHandle();
            dictionary.replaceKey("/MediaBox", arrayFrom(geometry.mediaBox));
            dictionary.replaceKey("/CropBox", arrayFrom(geometry.mediaBox));
            dictionary.replaceKey("/Rotate", QPDFObjectHandle::newInteger(0));
        }
        if (result.pages.empty())
            return result;
        // A sound file whose pages are already as the copy would make them
        // goes to poppler as it is: writing it out again costs as much as
        // reading it and changes nothing poppler sees. A file qpdf had to
        // mend is still written out, so poppler reads what qpdf made of it.
        if (!copyNeeded && !pdf.anyWarnings()) {
            result.renderBytes = bytes;
            result.ok = true;
            return result;
        }

        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.setPreserveEncryption(false);
        // The same copy every time, so what is remembered of a file (its
        // fonts) is remembered of its copy too.
        writer.setDeterministicID(true);
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
        const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        result.renderBytes = QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                                        qsizetype(buffer->getSize()));
        result.ok = true;
    } catch (const PDFWorkTally::Exceeded& exceeded) {
        result.tooLarge = exceeded.message();
    } catch (const QPDFExc& exception) {
        result.passwordProtected = exception.getErrorCode() == qpdf_e_password;
    } catch (const std::exception&) {
    } catch (...) {
    }
    return result;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads "<number> <generation> obj" backwards from the "obj" keyword at
// `keyword`; an empty result when that is not an object header.
QByteArray objectReferenceBefore(const QByteArray& bytes, qsizetype keyword)
{
    if (keyword > 0 && !isPDFWhitespace(bytes[keyword - 1]))
        return QByteArray();
    qsizetype i = keyword;
    const auto skipWhitespace = [&] {
        const qsizetype start = i;
        while (i > 0 && isPDFWhitespace(bytes[i - 1]))
            --i;
        return i < start;
    };
    const auto readNumber = [&] {
        const qsizetype end = i;
        while (i > 0 && isDigit(bytes[i - 1]))
            --i;
        return bytes.mid(i, end - i);
    };
    skipWhitespace();
    const QByteArray generation = readNumber();
    if (generation.isEmpty() || !skipWhitespace())
        return QByteArray();
    const QByteArray number = readNumber();
    if (number.isEmpty() || (i > 0 && !isPDFWhitespace(bytes[i - 1])))
        return QByteArray();
    return number + ' ' + generation + " R";
}

// A reference to the last object in the file that declares itself the
// document catalog, or nothing.
QByteArray lastCatalogReference(const QByteArray& bytes)
{
    for (qsizetype at = bytes.lastIndexOf("/Catalog"); at > 0; at = bytes.lastIndexOf("/Catalog", at - 1)) {
        qsizetype i = at;
        while (i > 0 && isPDFWhitespace(bytes[i - 1]))
            --i;
        if (i < 5 || bytes.mid(i - 5, 5) != "/Type")
            continue;
        for (qsizetype keyword = bytes.lastIndexOf("obj", i); keyword >= 0;
             keyword = bytes.lastIndexOf("obj", keyword - 1)) {
            if (keyword >= 3 && bytes.mid(keyword - 3, 3) == "end")
                break;
            const QByteArray reference = objectReferenceBefore(bytes, keyword);
            if (!reference.isEmpty())
                return reference;
            if (keyword == 0)
                break;
        }
    }
    return QByteArray();
}

// A file cut short loses its trailer, and without one qpdf cannot find the
// catalog even when every object before the cut is intact. Such files get a
// trailer pointing at the catalog found by scanning the bytes.
ReadResult readWithQPDFRepairingTrailer(const QByteArray& bytes)
{
    ReadResult result = readWithQPDF(bytes);
    if (result.passwordProtected) {
        // Attachments locked by a password keep nothing of the pages from
        // being read: the file is read as if it had no encryption.
        const QByteArray setAside = withEncryptionSetAside(bytes);
        if (!setAside.isEmpty()) {
            ReadResult unlocked = readWithQPDF(setAside, true);
            if (unlocked.ok || !unlocked.tooLarge.isEmpty())
                return unlocked;
        }
        return result;
    }
    if (result.ok || !result.tooLarge.isEmpty())
        return result;
    const QByteArray catalog = lastCatalogReference(bytes);
    if (catalog.isEmpty())
        return result;
    const ReadResult repaired = readWithQPDF(bytes + "\ntrailer\n<< /Root " + catalog + " >>\n");
    return repaired.ok ? repaired : result;
}

// The texts of the pages read so far, by the file they were read from and
// page, kept for as long as anything else holds that file's bytes (the pages
// of a document drawn over it): a page's text is read once, whoever asks
// for it again (the import, every export, the canvas). At most
// kKeptCharacters characters are kept; the pages asked for least recently
// go first.
class PageTextStore {
public:
    static constexpr qsizetype kKeptCharacters = 750 * 1000;

    static PageTextStore& shared()
    {
        static PageTextStore store;
        return store;
    }

    std::optional<PDFPageText> find(const QByteArray& bytes, int page)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (Entry& entry : m_entries) {
            if (sameBytes(entry.bytes, bytes)) {
                const auto found = entry.pages.find(page);
                if (found == entry.pages.end())
                    break;
                found->second.used = ++m_clock;
                return found->second.text;
            }
        }
        return std::nullopt;
    }

    bool contains(const QByteArray& bytes, int page)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const Entry& entry : m_entries) {
            if (sameBytes(entry.bytes, bytes))
                return entry.pages.contains(page);
        }
        return false;
    }

    void keep(const QByteArray& bytes, int page, const PDFPageText& text)
    {
        if (text.text.size() > kKeptCharacters)
            return;
        const std::lock_guard<std::mutex> lock(m_mutex);
        // Files nobody else holds any more are let go.
        for (const Entry& entry : m_entries) {
            if (entry.bytes.isDetached()) {
                for (const auto& [index, kept] : entry.pages)
                    m_characters -= kept.text.text.size();
            }
        }
        std::erase_if(m_entries, [](const Entry& entry) { return entry.bytes.isDetached(); });
        Entry* into = nullptr;
        for (Entry& entry : m_entries) {
            if (sameBytes(entry.bytes, bytes))
                into = &entry;
        }
        if (!into) {
            m_entries.push_back({bytes, {}});
            into = &m_entries.back();
        }
        if (!into->pages.emplace(page, Kept{text, ++m_clock}).second)
            return;
        m_characters += text.text.size();
        while (m_characters > kKeptCharacters)
            forgetLeastRecent();
    }

private:
    struct Kept {
        PDFPageText text;
        quint64 used = 0;
    };
    struct Entry {
        QByteArray bytes;
        std::map<int, Kept> pages;
    };

    static bool sameBytes(const QByteArray& a, const QByteArray& b)
    {
        return a.constData() == b.constData() && a.size() == b.size();
    }

    void forgetLeastRecent()
    {
        Entry* oldestEntry = nullptr;
        std::map<int, Kept>::iterator oldest;
        for (Entry& entry : m_entries) {
            for (auto at = entry.pages.begin(); at != entry.pages.end(); ++at) {
                if (!oldestEntry || at->second.used < oldest->second.used) {
                    oldestEntry = &entry;
                    oldest = at;
                }
            }
        }
        if (!oldestEntry) {
            m_characters = 0;
            return;
        }
        m_characters -= oldest->second.text.text.size();
        oldestEntry->pages.erase(oldest);
        std::erase_if(m_entries, [](const Entry& entry) { return entry.pages.empty(); });
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
    qsizetype m_characters = 0;
    quint64 m_clock = 0;
};

}  // namespace

struct PDFDocument::Private {
    PopplerDocument* document = nullptr;
    std::vector<PageGeometry> pages;
    // The bytes the document was opened from, under which its page texts are kept.
    QByteArray source;
    // The unrotated copy poppler reads, kept to open it again elsewhere.
    QByteArray renderBytes;
    // qpdf cannot read the file, or reads other pages than poppler shows.
    bool popplerAlone = false;
    // Held while poppler draws a page, when set (takeTurnsDrawing).
    std::shared_ptr<std::mutex> drawingTurn;
    // Stops poppler reading the file, when set (open).
    std::shared_ptr<const PDFCancel> cancel;
    // What the poppler document reads through when opened with `cancel`:
    // set with it, or alone when a drawing runs past its bound.
    std::shared_ptr<PDFCancel> reading;
    // How long a drawing may run (boundDrawings); 0 for no bound.
    int drawingBoundMs = 0;
    int drawingsCutShort = 0;

    // The page whose text was read last, with poppler's text of it still
    // attached: drawing that page next does not gather its text again
    // (poppler collects a page's text while drawing it unless it has it).
    std::mutex readPageMutex;
    PopplerPage* readPage = nullptr;
    int readPageIndex = -1;

    bool givenUp() const { return reading && reading->isCancelled(); }

    // The bound a drawing runs under, when it has one.
    std::optional<PDFDrawingBound> drawingBound()
    {
        if (!reading || drawingBoundMs <= 0)
            return std::nullopt;
        return PDFDrawingBound{reading.get(), drawingBoundMs, &drawingsCutShort};
    }

    // After a drawing given up at its bound, the file is read through a
    // fresh stream, so that what comes next reads it whole again (nothing
    // is read afresh once `cancel` itself is set).
    void readAfreshIfCutShort()
    {
        if (!reading || !reading->isCancelled() || (cancel && cancel->isCancelled()))
            return;
        auto fresh = std::make_shared<PDFCancel>(cancel);
        const PopplerOpenResult opened = openWithPoppler(renderBytes, fresh.get());
        if (!opened.document)
            return;
        keepReadPage(-1, nullptr);
        g_object_unref(document);
        document = opened.document;
        reading = std::move(fresh);
    }

    ~Private()
    {
        if (readPage)
            g_object_unref(readPage);
        if (document)
            g_object_unref(document);
    }

    void keepReadPage(int index, PopplerPage* page)
    {
        PopplerPage* dropped = nullptr;
        {
            std::lock_guard lock(readPageMutex);
            dropped = readPage;
            readPage = page;
            readPageIndex = index;
        }
        if (dropped)
            g_object_unref(dropped);
    }

    // Page `index` to draw, the one whose text was just read when it is
    // that page (then no longer kept); a reference the caller drops.
    PopplerPage* pageToDraw(int index)
    {
        {
            std::lock_guard lock(readPageMutex);
            if (readPage && readPageIndex == index) {
                PopplerPage* page = readPage;
                readPage = nullptr;
                readPageIndex = -1;
                return page;
            }
        }
        return popplerPage(index);
    }

    const PageGeometry* page(int index) const
    {
        if (index < 0 || size_t(index) >= pages.size())
            return nullptr;
        return &pages[size_t(index)];
    }

    // A new reference to poppler's page, or nothing.
    PopplerPage* popplerPage(int index) const
    {
        const PageGeometry* geometry = page(index);
        if (!geometry)
            return nullptr;
        return poppler_document_get_page(document, geometry->popplerIndex >= 0 ? geometry->popplerIndex : index);
    }
};

void separateWordsByGaps(PDFPageText& text)
{
    constexpr double kWordGap = 0.1;  // of the font size
    // Each unit's font size: that of the first run holding it with one,
    // 0 for none (the runs follow the text, one after the other).
    std::vector<double> sizes(size_t(text.text.size()), 0.0);
    for (qsizetype r = text.runs.size() - 1; r >= 0; --r) {
        const PDFTextRun& run = text.runs[r];
        if (run.fontSize > 0) {
            const qsizetype end = std::min(run.end, text.text.size());
            for (qsizetype unit = std::max<qsizetype>(run.start, 0); unit < end; ++unit)
                sizes[size_t(unit)] = run.fontSize;
        }
    }
    const auto sizeAt = [&](qsizetype unit, const QRectF& rect) {
        const double size = sizes[size_t(unit)];
        return size > 0 ? size : rect.height() * 0.8;
    };
    const auto isBlank = [](QChar c) { return c.isSpace() || c == QChar(0xA0); };
    QList<qsizetype> insertAt;
    for (qsizetype i = 1; i < text.text.size() && i < text.characterRects.size(); ++i) {
        const QChar before = text.text[i - 1];
        const QChar after = text.text[i];
        if (isBlank(before) || isBlank(after) || after.isLowSurrogate())
            continue;
        const QRectF& a = text.characterRects[i - 1];
        const QRectF& b = text.characterRects[i];
        if (a.isNull() || b.isNull())
            continue;
        // The same row: the two overlap by more than half the lower one.
        const double overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
        if (overlap <= 0.5 * std::min(a.height(), b.height()))
            continue;
        if (b.left() - a.right() > kWordGap * sizeAt(i - 1, a))
            insertAt.append(i);
    }
    if (insertAt.isEmpty())
        return;
    QString spaced;
    QList<QRectF> rects;
    spaced.reserve(text.text.size() + insertAt.size());
    rects.reserve(text.text.size() + insertAt.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.text.size(); ++i) {
        if (next < insertAt.size() && insertAt[next] == i) {
            const QRectF& a = text.characterRects[i - 1];
            const QRectF& b = text.characterRects[i];
            spaced.append(QLatin1Char(' '));
            rects.append(QRectF(a.right(), a.top(), b.left() - a.right(), a.height()));
            ++next;
        }
        spaced.append(text.text[i]);
        rects.append(i < text.characterRects.size() ? text.characterRects[i] : QRectF());
    }
    // A space joins the run of the character before it.
    const auto shifted = [&](qsizetype unit) {
        return unit + qsizetype(std::upper_bound(insertAt.begin(), insertAt.end(), unit) - insertAt.begin());
    };
    for (PDFTextRun& run : text.runs) {
        run.start = shifted(run.start);
        run.end = shifted(run.end);
    }
    text.text = spaced;
    text.characterRects = rects;
}

void joinSlantedLines(PDFPageText& text)
{
    // A line of the text, without its line feed.
    struct Line {
        qsizetype start = 0;
        qsizetype end = 0;
        bool feed = false;
        bool laidOut = false;
        // The centres of its first and last laid-out characters, the way it
        // advances (a unit vector, when it has two characters apart) and how
        // tall its characters stand across that way.
        QPointF first, last, way;
        double height = 0;
        bool slanted = false;
    };
    const qsizetype units = std::min(text.text.size(), text.characterRects.size());
    QList<Line> lines;
    for (qsizetype at = 0; at <= text.text.size();) {
        const qsizetype feed = text.text.indexOf(QLatin1Char('\n'), at);
        Line line;
        line.start = at;
        line.end = feed < 0 ? text.text.size() : feed;
        line.feed = feed >= 0;
        std::optional<qsizetype> firstUnit, lastUnit;
        for (qsizetype i = line.start; i < std::min(line.end, units); ++i) {
            if (text.characterRects[i].isNull() || text.text[i].isSpace())
                continue;
            if (!firstUnit)
                firstUnit = i;
            lastUnit = i;
        }
        if (firstUnit) {
            const QRectF& a = text.characterRects[*firstUnit];
            const QRectF& b = text.characterRects[*lastUnit];
            line.laidOut = true;
            line.first = a.center();
            line.last = b.center();
            const QPointF step = line.last - line.first;
            const double length = std::hypot(step.x(), step.y());
            const bool across = std::abs(step.y()) > std::abs(step.x());
            line.height = across ? a.width() : a.height();
            const double lastHeight = across ? b.width() : b.height();
            if (line.height > 0 && length > 0.5 * line.height) {
                line.way = step / length;
                // Off both axes by more than half a degree and less than 30,
                // with characters as tall at both ends (not a line that
                // ends in smaller letters).
                const double off = std::min(std::abs(line.way.x()), std::abs(line.way.y()));
                line.slanted = off > 0.009 && off < 0.5 && std::abs(lastHeight - line.height) <= 0.1 * line.height;
            }
        }
        lines.append(line);
        if (feed < 0)
            break;
        at = feed + 1;
    }
    QList<qsizetype> slanted;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].slanted)
            slanted.append(i);
    }
    if (slanted.isEmpty())
        return;
    // A slanted line goes on with the line whose first character comes next
    // along its slant, a letter or a word space on: the reader starts a new
    // line where the slant leaves the row, each word keeping its own.
    QList<qsizetype> next(lines.size(), -1);
    QList<qsizetype> previous(lines.size(), -1);
    // The lines by where they start, in squares of the page, so that only
    // those near where a line ends are tried.
    constexpr double kSquare = 36;
    const auto squareOf = [](double x, double y) {
        return std::pair<qint64, qint64>(qint64(std::floor(x / kSquare)), qint64(std::floor(y / kSquare)));
    };
    std::map<std::pair<qint64, qint64>, QList<qsizetype>> starting;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].laidOut && std::isfinite(lines[i].first.x()) && std::isfinite(lines[i].first.y()))
            starting[squareOf(lines[i].first.x(), lines[i].first.y())].append(i);
    }
    const auto headOf = [&](qsizetype i) {
        while (previous[i] >= 0)
            i = previous[i];
        return i;
    };
    bool joined = false;
    for (const qsizetype a : slanted) {
        if (previous[a] >= 0)
            continue;
        const QPointF way = lines[a].way;
        qsizetype tail = a;
        for (;;) {
            while (next[tail] >= 0)
                tail = next[tail];
            const Line& end = lines[tail];
            qsizetype best = -1;
            double bestAlong = 0;
            // A line starting close enough lies within 2.5 times the taller
            // height of the two, at most 1.25 times this one's.
            const double reach = 3.2 * end.height;
            if (!std::isfinite(end.last.x()) || !std::isfinite(end.last.y()) || !(reach < 1e4))
                break;
            const auto [left, top] = squareOf(end.last.x() - reach, end.last.y() - reach);
            const auto [right, bottom] = squareOf(end.last.x() + reach, end.last.y() + reach);
            QList<qsizetype> near;
            for (qint64 x = left; x <= right; ++x) {
                for (qint64 y = top; y <= bottom; ++y) {
                    if (const auto found = starting.find({x, y}); found != starting.end())
                        near.append(found->second);
                }
            }
            for (const qsizetype b : near) {
                const Line& start = lines[b];
                if (previous[b] >= 0 || b == a)
                    continue;
                const QPointF step = start.first - end.last;
                const double along = QPointF::dotProduct(step, way);
                const double across = std::abs(step.x() * way.y() - step.y() * way.x());
                const double h = std::max(end.height, start.height);
                if (along <= 0 || along > 2.5 * h || across > 0.25 * h || std::abs(start.height - end.height) > 0.2 * h
                    || (!start.way.isNull() && QPointF::dotProduct(start.way, way) < 0.95))
                    continue;
                if (best < 0 || along < bestAlong) {
                    best = b;
                    bestAlong = along;
                }
            }
            if (best < 0 || headOf(tail) == best)
                break;
            next[tail] = best;
            previous[best] = tail;
            joined = true;
        }
    }
    if (!joined)
        return;
    // The units in their new order: each chain of lines where its first
    // line was, ended by that line's feed.
    std::vector<qsizetype> order;
    order.reserve(size_t(text.text.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (previous[i] >= 0)
            continue;
        for (qsizetype k = i; k >= 0; k = next[k]) {
            for (qsizetype u = lines[k].start; u < lines[k].end; ++u)
                order.push_back(u);
        }
        if (lines[i].feed)
            order.push_back(lines[i].end);
    }
    // Each unit's run: the first run holding it (the runs follow the text).
    std::vector<qsizetype> runOf(size_t(text.text.size()), -1);
    for (qsizetype r = text.runs.size() - 1; r >= 0; --r) {
        const qsizetype end = std::min(text.runs[r].end, text.text.size());
        for (qsizetype u = std::max<qsizetype>(text.runs[r].start, 0); u < end; ++u)
            runOf[size_t(u)] = r;
    }
    PDFPageText result;
    result.text.reserve(qsizetype(order.size()));
    result.characterRects.reserve(qsizetype(order.size()));
    for (size_t n = 0; n < order.size(); ++n) {
        const qsizetype u = order[n];
        result.text.append(text.text[u]);
        result.characterRects.append(u < text.characterRects.size() ? text.characterRects[u] : QRectF());
        const qsizetype run = runOf[size_t(u)];
        if (run < 0)
            continue;
        // A run goes on while its units follow each other as they did.
        if (n > 0 && !result.runs.isEmpty() && runOf[size_t(order[n - 1])] == run && order[n - 1] + 1 == u
            && result.runs.back().end == qsizetype(n)) {
            result.runs.back().end = qsizetype(n) + 1;
            continue;
        }
        PDFTextRun piece = text.runs[run];
        piece.start = qsizetype(n);
        piece.end = qsizetype(n) + 1;
        result.runs.append(piece);
    }
    text = std::move(result);
}

namespace {

// Poppler takes a glyph's box from its font descriptor's ascent and
// descent; a descriptor giving them far too small (thousandths written as
// units, say 9.464 for 946.4) leaves boxes a sliver tall. Below this share
// of the font size a run's boxes are that sliver, not the font's.
constexpr double kFlattestBox = 0.25;

// The boxes of runs whose every box is implausibly flat for its font size
// made as readers lay such text out: as tall as the font size, the baseline
// where poppler's box put it, at the share of the height the descriptor
// gives (0.95 of 1.3 without one).
void raiseFlatBoxes(PDFPageText& text)
{
    for (const PDFTextRun& run : text.runs) {
        if (!(run.fontSize > 0) || !std::isfinite(run.fontSize))
            continue;
        const qsizetype end = std::min(run.end, text.characterRects.size());
        const qsizetype start = std::max<qsizetype>(run.start, 0);
        bool any = false, flat = true;
        for (qsizetype i = start; i < end && flat; ++i) {
            const QRectF& rect = text.characterRects[i];
            if (rect.isNull() || text.text[i].isSpace())
                continue;
            any = true;
            flat = rect.height() < kFlattestBox * run.fontSize;
        }
        if (!any || !flat)
            continue;
        const double share = run.baselineShare > 0 ? run.baselineShare : 0.95 / 1.3;
        for (qsizetype i = start; i < end; ++i) {
            QRectF& rect = text.characterRects[i];
            if (rect.isNull())
                continue;
            const double baseline = rect.top() + share * rect.height();
            rect = QRectF(rect.left(), baseline - share * run.fontSize, rect.width(), run.fontSize);
        }
    }
}

}  // namespace

PDFDocument::PDFDocument(std::unique_ptr<Private> data) : d(std::move(data)) {}

PDFDocument::~PDFDocument() = default;

namespace {

// The pages as poppler alone sees them, for a file qpdf cannot read (or
// reads otherwise) but poppler can: each page is what poppler draws, its
// crop box turned by its /Rotate, placed at the origin and unturned. Pages
// poppler cannot hand out are left out.
std::vector<PageGeometry> popplerGeometry(PopplerDocument* document)
{
    std::vector<PageGeometry> pages;
    const int count = poppler_document_get_n_pages(document);
    for (int i = 0; i < count; ++i) {
        PopplerPage* page = poppler_document_get_page(document, i);
        if (!page)
            continue;
        double width = 0, height = 0;
        poppler_page_get_size(page, &width, &height);
        g_object_unref(page);
        if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0)
            continue;
        PageGeometry geometry;
        geometry.mediaBox = QRectF(0, 0, width, height);
        geometry.cropBox = geometry.mediaBox;
        geometry.popplerIndex = i;
        pages.push_back(geometry);
    }
    return pages;
}

}  // namespace

namespace {

// A document opened with a cancel reads through one of its own that follows
// it, so that one drawing of its own can be given up alone.
std::shared_ptr<PDFCancel> ownReading(const std::shared_ptr<const PDFCancel>& cancel)
{
    return cancel ? std::make_shared<PDFCancel>(cancel) : nullptr;
}

}  // namespace

std::unique_ptr<PDFDocument> PDFDocument::open(const QByteArray& bytes, OpenError* error, QString* errorText,
                                               std::shared_ptr<const PDFCancel> cancel)
{
    const auto fail = [error](OpenError reason) {
        if (error)
            *error = reason;
        return std::unique_ptr<PDFDocument>();
    };
    if (error)
        *error = OpenError::none;
    if (bytes.isEmpty())
        return fail(OpenError::damaged);

    ReadResult read = readWithQPDFRepairingTrailer(bytes);
    if (!read.tooLarge.isEmpty()) {
        if (errorText)
            *errorText = read.tooLarge;
        return fail(OpenError::tooLarge);
    }
    // What poppler alone shows of the original file: used when qpdf cannot
    // read it, or when poppler cannot read qpdf's reading of it.
    const auto popplerAlone = [&](bool qpdfSaysPassword) {
        auto reading = ownReading(cancel);
        const PopplerOpenResult opened = openWithPoppler(bytes, reading.get());
        if (!opened.document)
            return fail(opened.encrypted || qpdfSaysPassword ? OpenError::passwordProtected : OpenError::damaged);
        auto data = std::make_unique<Private>();
        data->document = opened.document;
        data->cancel = cancel;
        data->reading = std::move(reading);
        data->pages = popplerGeometry(opened.document);
        data->source = bytes;
        data->renderBytes = bytes;
        data->popplerAlone = true;
        if (data->pages.empty())
            return fail(OpenError::damaged);
        return std::unique_ptr<PDFDocument>(new PDFDocument(std::move(data)));
    };
    if (!read.ok)
        return popplerAlone(read.passwordProtected);

    auto reading = ownReading(cancel);
    const PopplerOpenResult opened = openWithPoppler(read.renderBytes, reading.get());
    if (!opened.document)
        return popplerAlone(opened.encrypted);

    auto data = std::make_unique<Private>();
    data->document = opened.document;
    data->cancel = cancel;
    data->reading = std::move(reading);
    data->pages = std::move(read.pages);
    data->renderBytes = read.renderBytes;
    data->source = bytes;
    bool agree = poppler_document_get_n_pages(data->document) == int(data->pages.size());
    for (int i = 0; agree && i < int(data->pages.size()); ++i) {
        PopplerPage* page = poppler_document_get_page(data->document, i);
        agree = page != nullptr;
        if (page)
            g_object_unref(page);
    }
    if (!agree)
        return popplerAlone(false);
    return std::unique_ptr<PDFDocument>(new PDFDocument(std::move(data)));
}

std::unique_ptr<PDFDocument> PDFDocument::reopen() const
{
    return reopen(d->cancel);
}

std::unique_ptr<PDFDocument> PDFDocument::reopen(std::shared_ptr<const PDFCancel> cancel) const
{
    auto reading = ownReading(cancel);
    const PopplerOpenResult opened = openWithPoppler(d->renderBytes, reading.get());
    if (!opened.document)
        return nullptr;
    auto data = std::make_unique<Private>();
    data->document = opened.document;
    data->cancel = std::move(cancel);
    data->reading = std::move(reading);
    data->drawingBoundMs = d->drawingBoundMs;
    data->pages = d->pages;
    data->renderBytes = d->renderBytes;
    data->source = d->source;
    data->popplerAlone = d->popplerAlone;
    return std::unique_ptr<PDFDocument>(new PDFDocument(std::move(data)));
}

void PDFDocument::takeTurnsDrawing(std::shared_ptr<std::mutex> turn)
{
    d->drawingTurn = std::move(turn);
}

void PDFDocument::boundDrawings(int milliseconds)
{
    d->drawingBoundMs = std::max(milliseconds, 0);
}

int PDFDocument::drawingsCutShort() const
{
    return d->drawingsCutShort;
}


const QByteArray& PDFDocument::readableBytes() const
{
    return d->renderBytes;
}

bool PDFDocument::readByPopplerAlone() const
{
    return d->popplerAlone;
}

int PDFDocument::pageCount() const
{
    return int(d->pages.size());
}

QRectF PDFDocument::mediaBox(int pageIndex) const
{
    const PageGeometry* page = d->page(pageIndex);
    return page ? page->mediaBox : QRectF();
}

QRectF PDFDocument::cropBox(int pageIndex) const
{
    const PageGeometry* page = d->page(pageIndex);
    return page ? page->cropBox : QRectF();
}

int PDFDocument::rotation(int pageIndex) const
{
    const PageGeometry* page = d->page(pageIndex);
    return page ? page->rotation : 0;
}

QImage PDFDocument::renderBox(int pageIndex, const QRectF& box, const QSize& pixelSize) const
{
    QImage image;
    return renderBoxInto(pageIndex, box, pixelSize, image) ? image : QImage();
}

bool PDFDocument::renderBoxInto(int pageIndex, const QRectF& box, const QSize& pixelSize, QImage& image) const
{
    return renderBoxInto(pageIndex, box, pixelSize, QRect(QPoint(0, 0), pixelSize), image);
}

namespace {

std::atomic<qint64> g_pageDrawings{0};

bool drawable(const QRectF& box, const QSize& pixelSize, const QRect& part)
{
    if (pixelSize.isEmpty() || part.isEmpty() || !QRect(QPoint(0, 0), pixelSize).contains(part))
        return false;
    if (qint64(pixelSize.width()) * pixelSize.height() > PDFDocument::kMaxRenderPixels)
        return false;
    return std::isfinite(box.x()) && std::isfinite(box.y()) && std::isfinite(box.width())
           && std::isfinite(box.height()) && box.width() > 0 && box.height() > 0;
}

// Draws `page` as renderBoxInto describes; poppler gathers the page's text
// meanwhile when the page has none yet.
bool drawPage(PopplerPage* page, const QRectF& media, const QRectF& box, const QSize& pixelSize, const QRect& part,
              QImage& image, std::mutex* turn, const std::optional<PDFDrawingBound>& bound)
{
    // Poppler writes straight into the image's pixels: cairo's ARGB32 and
    // Qt's ARGB32_Premultiplied are the same premultiplied native-endian
    // words. An image of the right size is drawn over again, so a page
    // after page costs no fresh memory.
    if (image.size() != part.size() || image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(part.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return false;
    image.fill(Qt::transparent);

    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        image.bits(), CAIRO_FORMAT_ARGB32, image.width(), image.height(), int(image.bytesPerLine()));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = cairo_create(surface);

    // Poppler's origin is the media box's top left corner with y down; a
    // user space point (x, y) lands at (x - mediaLeft, mediaTop - y). Map
    // that so the box's top left corner goes to (0, 0) and the box fills
    // the image. A part is the same picture moved by whole pixels.
    const double mediaTop = media.y() + media.height();
    const double boxTop = box.y() + box.height();
    if (part.topLeft() != QPoint(0, 0))
        cairo_translate(cr, -part.x(), -part.y());
    cairo_scale(cr, pixelSize.width() / box.width(), pixelSize.height() / box.height());
    cairo_translate(cr, media.x() - box.x(), boxTop - mediaTop);

    {
        std::unique_lock<std::mutex> drawing;
        if (turn)
            drawing = std::unique_lock(*turn);
        // Timed from when this drawing has its turn. Past the bound the
        // file reads nothing more, so poppler ends the page there.
        std::optional<PDFDrawingDeadline> deadline;
        if (bound)
            deadline.emplace(*bound->reading, bound->milliseconds);
        poppler_page_render(page, cr);
        ++g_pageDrawings;
        if (deadline && deadline->end())
            ++*bound->cutShort;
    }
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return drawn;
}

}  // namespace

qint64 PDFDocument::pageDrawings()
{
    return g_pageDrawings.load();
}

bool PDFDocument::renderBoxInto(int pageIndex, const QRectF& box, const QSize& pixelSize, const QRect& part,
                                QImage& image) const
{
    const PageGeometry* geometry = d->page(pageIndex);
    if (!geometry || !drawable(box, pixelSize, part))
        return false;
    PopplerPage* page = d->pageToDraw(pageIndex);
    if (!page)
        return false;
    const bool drawn =
        drawPage(page, geometry->mediaBox, box, pixelSize, part, image, d->drawingTurn.get(), d->drawingBound());
    g_object_unref(page);
    d->readAfreshIfCutShort();
    return drawn;
}

bool PDFDocument::renderBoxReadingText(int pageIndex, const QRectF& box, const QSize& pixelSize, const QRect& part,
                                       QImage& image, PDFPageText& text) const
{
    const PageGeometry* geometry = d->page(pageIndex);
    const bool together = geometry && geometry->textReadWhileDrawing && !d->popplerAlone
                          && drawable(box, pixelSize, part)
                          && !PageTextStore::shared().contains(d->source, pageIndex);
    PopplerPage* page = together ? d->popplerPage(pageIndex) : nullptr;
    if (!page) {
        text = pageText(pageIndex);
        return renderBoxInto(pageIndex, box, pixelSize, part, image);
    }
    const int cutBefore = d->drawingsCutShort;
    if (!drawPage(page, geometry->mediaBox, box, pixelSize, part, image, d->drawingTurn.get(), d->drawingBound())) {
        // What poppler gathered of a drawing that failed is not relied on.
        g_object_unref(page);
        d->readAfreshIfCutShort();
        text = pageText(pageIndex);
        return false;
    }
    if (d->drawingsCutShort != cutBefore) {
        // Poppler gathered the text only as far as the drawing went: the
        // page's text is read whole from the file read afresh.
        g_object_unref(page);
        d->readAfreshIfCutShort();
        text = pageText(pageIndex);
        return true;
    }
    // The text of a drawing cancelled with the rest of the import may lack
    // its end: never kept for later readers.
    text = readPageText(pageIndex, page, true);
    if (!d->givenUp())
        PageTextStore::shared().keep(d->source, pageIndex, text);
    d->readAfreshIfCutShort();
    return true;
}

void PDFDocument::forgetKeptPage() const
{
    d->keepReadPage(-1, nullptr);
}

QByteArray PDFDocument::drawnCopy() const
{
    QByteArray pdf;
    const cairo_write_func_t append = [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<QByteArray*>(closure)->append(reinterpret_cast<const char*>(data), qsizetype(length));
        return CAIRO_STATUS_SUCCESS;
    };
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(append, &pdf, 612, 792);
    cairo_t* cr = cairo_create(surface);
    for (int i = 0; i < pageCount() && cairo_status(cr) == CAIRO_STATUS_SUCCESS; ++i) {
        // The same drawing as renderBoxInto's of the whole media box at one
        // point per pixel.
        const QRectF& media = d->page(i)->mediaBox;
        cairo_pdf_surface_set_size(surface, std::max(media.width(), 1.0), std::max(media.height(), 1.0));
        if (PopplerPage* page = d->pageToDraw(i)) {
            cairo_save(cr);
            poppler_page_render(page, cr);
            cairo_restore(cr);
            g_object_unref(page);
        }
        cairo_show_page(cr);
    }
    const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool written = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!written)
        return QByteArray();
    // Cairo can leave out a font it failed to copy while still naming it:
    // a copy qpdf cannot read without mending is not used.
    try {
        QPDF copy;
        copy.setSuppressWarnings(true);
        copy.processMemoryFile("drawn", pdf.constData(), size_t(pdf.size()));
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(copy).getAllPages();
        if (int(pages.size()) != pageCount())
            return QByteArray();
        for (QPDFPageObjectHelper& page : pages) {
            QPDFObjectHandle fonts = page.getAttribute("/Resources", false).getKey("/Font");
            if (fonts.isDictionary()) {
                for (auto [name, font] : fonts.ditems()) {
                    if (!font.isDictionary())
                        return QByteArray();
                }
            }
        }
        if (copy.anyWarnings())
            return QByteArray();
    } catch (const std::exception&) {
        return QByteArray();
    }
    // Nor one that does not look like the pages it copies (a glyph cairo
    // could not copy goes missing without a word).
    const std::unique_ptr<PDFDocument> drawnPages = open(pdf);
    if (!drawnPages || drawnPages->pageCount() != pageCount())
        return QByteArray();
    const auto onWhite = [](const QImage& picture) {
        QImage flat(picture.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, picture);
        return flat;
    };
    for (int i = 0; i < pageCount(); ++i) {
        const QImage shown = onWhite(renderPage(i, 1));
        const QImage copied = onWhite(drawnPages->renderPage(i, 1));
        if (shown.size() != copied.size())
            return QByteArray();
        qint64 differing = 0;
        for (int y = 0; y < shown.height(); ++y) {
            const QRgb* a = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
            const QRgb* b = reinterpret_cast<const QRgb*>(copied.constScanLine(y));
            for (int x = 0; x < shown.width(); ++x) {
                if (std::abs(qGray(a[x]) - qGray(b[x])) > 128)
                    ++differing;
            }
        }
        if (differing * 1000 > qint64(shown.width()) * shown.height())
            return QByteArray();
    }
    return pdf;
}

QImage PDFDocument::renderPage(int pageIndex, double scale) const
{
    const PageGeometry* geometry = d->page(pageIndex);
    if (!geometry || !std::isfinite(scale) || scale <= 0)
        return QImage();
    const double width = std::max(1.0, std::round(geometry->mediaBox.width() * scale));
    const double height = std::max(1.0, std::round(geometry->mediaBox.height() * scale));
    if (width * height > double(kMaxRenderPixels))
        return QImage();
    return renderBox(pageIndex, geometry->mediaBox, QSize(int(width), int(height)));
}

PDFPageText PDFDocument::pageText(int pageIndex) const
{
    if (!d->page(pageIndex))
        return {};
    if (std::optional<PDFPageText> kept = PageTextStore::shared().find(d->source, pageIndex))
        return *std::move(kept);
    PDFPageText text = readPageText(pageIndex);
    // A text read after the reading was given up may lack its end.
    if (!d->givenUp())
        PageTextStore::shared().keep(d->source, pageIndex, text);
    return text;
}

PDFPageText PDFDocument::readPageText(int pageIndex) const
{
    PopplerPage* page = d->popplerPage(pageIndex);
    if (!page)
        return {};
    return readPageText(pageIndex, page, true);
}

PDFPageText PDFDocument::readPageText(int pageIndex, PopplerPage* page, bool keepPage) const
{
    PDFPageText result;

    gchar* utf8 = poppler_page_get_text(page);
    PopplerRectangle* rectangles = nullptr;
    guint rectangleCount = 0;
    const bool haveLayout = poppler_page_get_text_layout(page, &rectangles, &rectangleCount);
    GList* attributes = poppler_page_get_text_attributes(page);

    // Poppler counts characters (code points); the model counts UTF-16
    // units. unitStart[i] is where character i begins.
    const QString text = utf8 ? QString::fromUtf8(utf8) : QString();
    std::vector<qsizetype> unitStart;
    unitStart.reserve(size_t(text.size()) + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        unitStart.push_back(i);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    const qsizetype characters = qsizetype(unitStart.size());
    unitStart.push_back(text.size());

    result.text = text;
    result.characterRects.fill(QRectF(), text.size());
    if (haveLayout) {
        const qsizetype laidOut = std::min<qsizetype>(characters, qsizetype(rectangleCount));
        for (qsizetype c = 0; c < laidOut; ++c) {
            const PopplerRectangle& r = rectangles[c];
            const QRectF rect(std::min(r.x1, r.x2), std::min(r.y1, r.y2), std::abs(r.x2 - r.x1),
                              std::abs(r.y2 - r.y1));
            if (text[unitStart[size_t(c)]] == QLatin1Char('\n'))
                continue;
            for (qsizetype u = unitStart[size_t(c)]; u < unitStart[size_t(c) + 1]; ++u)
                result.characterRects[u] = rect;
        }
    }
    for (GList* item = attributes; item; item = item->next) {
        const auto* attribute = static_cast<const PopplerTextAttributes*>(item->data);
        if (attribute->start_index < 0 || attribute->end_index < attribute->start_index
            || attribute->start_index >= characters)
            continue;
        PDFTextRun run;
        run.start = unitStart[size_t(attribute->start_index)];
        run.end = unitStart[size_t(std::min<qsizetype>(attribute->end_index + 1, characters))];
        run.fontName = QString::fromUtf8(attribute->font_name ? attribute->font_name : "");
        run.fontSize = attribute->font_size;
        run.color = QColor::fromRgb(qRound(attribute->color.red / 257.0), qRound(attribute->color.green / 257.0),
                                    qRound(attribute->color.blue / 257.0));
        const auto share = d->pages[size_t(pageIndex)].baselineShares.find(run.fontName.toStdString());
        if (share != d->pages[size_t(pageIndex)].baselineShares.end())
            run.baselineShare = share->second;
        const std::set<std::string>& invisible = d->pages[size_t(pageIndex)].invisibleFonts;
        run.invisible = invisible.contains(run.fontName.toStdString())
                        || invisible.contains(withoutSubsetPrefix(run.fontName.toStdString()));
        run.withoutProgram =
            d->pages[size_t(pageIndex)].fontsWithoutProgram.contains(withoutSubsetPrefix(run.fontName.toStdString()));
        result.runs.append(run);
    }

    raiseFlatBoxes(result);
    joinSlantedLines(result);
    separateWordsByGaps(result);

    poppler_page_free_text_attributes(attributes);
    g_free(rectangles);
    g_free(utf8);
    if (keepPage)
        d->keepReadPage(pageIndex, page);
    else
        g_object_unref(page);
    return result;
}

}  // namespace zelvane
