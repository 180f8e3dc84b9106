#include "pdf/PDFInputLimits.h"

#include "Localization.h"
#include "pdf/PDFFunctionShading.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace zelvane {

namespace {

// Counts the decoded bytes and stops the decoding once past the budget.
class CountingPipeline : public Pipeline {
public:
    explicit CountingPipeline(qint64 budget) : Pipeline("zelvane-count", nullptr), m_budget(budget) {}
    void write(unsigned char const*, size_t length) override
    {
        m_count += qint64(length);
        if (m_count > m_budget)
            throw std::length_error("over budget");
    }
    void finish() override {}
    qint64 count() const { return m_count; }

private:
    qint64 m_budget;
    qint64 m_count = 0;
};

QString megabytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

// The normal appearances of each of a page's annotations: one stream, or
// one per state (of which one is drawn).
std::vector<std::vector<QPDFObjectHandle>> annotationAppearanceStates(QPDFPageObjectHelper& page)
{
    std::vector<std::vector<QPDFObjectHandle>> annotationsDrawn;
    QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
    if (!annotations.isArray())
        return annotationsDrawn;
    for (QPDFObjectHandle annotation : annotations.aitems()) {
        QPDFObjectHandle appearances = annotation.isDictionary() ? annotation.getKey("/AP") : QPDFObjectHandle();
        QPDFObjectHandle normal = appearances.isDictionary() ? appearances.getKey("/N") : QPDFObjectHandle();
        std::vector<QPDFObjectHandle> states;
        if (normal.isStream()) {
            states.push_back(normal);
        } else if (normal.isDictionary()) {
            for (auto [state, appearance] : normal.ditems()) {
                if (appearance.isStream())
                    states.push_back(appearance);
            }
        }
        if (!states.empty())
            annotationsDrawn.push_back(std::move(states));
    }
    return annotationsDrawn;
}

// The normal appearance streams of a page's annotations (one per state
// when the appearance has states): what is drawn with the page.
std::vector<QPDFObjectHandle> annotationAppearances(QPDFPageObjectHelper& page)
{
    std::vector<QPDFObjectHandle> streams;
    for (std::vector<QPDFObjectHandle>& states : annotationAppearanceStates(page))
        streams.insert(streams.end(), states.begin(), states.end());
    return streams;
}

[[noreturn]] void exceededContent(qint64 limit, bool wholeDocument)
{
    if (wholeDocument) {
        throw PDFWorkTally::Exceeded(
            L("Ce fichier PDF est trop volumineux pour être ouvert : son contenu dépasse %1 Mo une fois décompressé.",
              "This PDF file is too large to open: its content inflates past %1 MB.")
                .arg(megabytes(limit)));
    }
    throw PDFWorkTally::Exceeded(
        L("Ce fichier PDF est trop volumineux pour être ouvert : le contenu d'une page dépasse %1 Mo une fois "
          "décompressé.",
          "This PDF file is too large to open: the content of a page inflates past %1 MB.")
            .arg(megabytes(limit)));
}

[[noreturn]] void exceededImages(qint64 limit)
{
    throw PDFWorkTally::Exceeded(
        L("Ce fichier PDF est trop volumineux pour être ouvert : les images d'une page dépassent %1 Mo de pixels.",
          "This PDF file is too large to open: the images of a page take more than %1 MB of pixels.")
            .arg(megabytes(limit)));
}

double numberOf(QPDFObjectHandle object)
{
    if (!object.isNumber())
        return 0;
    const double value = object.getNumericValue();
    return std::isfinite(value) ? std::max(value, 0.0) : 0;
}

// What the renderer makes of a stream qpdf cannot decode: filters meant for
// pictures (JBIG2, JPEG, JPEG 2000, CCITT fax) put in front of content. Their
// output size is only bounded by what their data claims, so it counts as
// the largest that can be known from the dictionary, and as past any limit
// when nothing bounds it.
std::optional<qint64> undecodableWorstCase(QPDFObjectHandle stream)
{
    QPDFObjectHandle dictionary = stream.getDict();
    QPDFObjectHandle filters = dictionary.getKey("/Filter");
    QPDFObjectHandle parameters = dictionary.getKey("/DecodeParms");
    std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>> chain;
    if (filters.isName()) {
        chain.emplace_back(filters, parameters.isArray() ? parameters.getArrayItem(0) : parameters);
    } else if (filters.isArray()) {
        for (int i = 0; i < filters.getArrayNItems(); ++i)
            chain.emplace_back(filters.getArrayItem(i),
                               parameters.isArray() ? parameters.getArrayItem(i) : QPDFObjectHandle::newNull());
    }
    for (auto& [filter, parms] : chain) {
        if (!filter.isName())
            continue;
        const std::string name = filter.getName();
        if (name == "/CCITTFaxDecode" || name == "/CCF") {
            // One bit a pixel, Columns × Rows; without Rows, unbounded.
            const double columns = parms.isDictionary() && parms.getKey("/Columns").isNumber()
                                       ? numberOf(parms.getKey("/Columns"))
                                       : 1728.0;
            const double rows = parms.isDictionary() ? numberOf(parms.getKey("/Rows")) : 0.0;
            if (rows <= 0)
                return std::numeric_limits<qint64>::max();
            return qint64(std::min(std::ceil(columns / 8) * rows, 1e15));
        }
        if (name == "/JBIG2Decode" || name == "/JPXDecode" || name == "/DCTDecode" || name == "/DCT")
            return std::numeric_limits<qint64>::max();
    }
    return std::nullopt;
}

// The same, but none when the stream's dictionary cannot be read.
std::optional<qint64> readableWorstCase(QPDFObjectHandle stream)
{
    try {
        return undecodableWorstCase(stream);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Collects the decoded bytes and stops past the budget.
class CollectingPipeline : public Pipeline {
public:
    explicit CollectingPipeline(qint64 budget) : Pipeline("zelvane-collect", nullptr), m_budget(budget) {}
    void write(unsigned char const* data, size_t length) override
    {
        if (qint64(m_bytes.size() + length) > m_budget)
            throw std::length_error("over budget");
        m_bytes.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}
    const std::string& bytes() const { return m_bytes; }

private:
    qint64 m_budget;
    std::string m_bytes;
};

// Counts past which nothing more needs telling.
constexpr qint64 kUnbounded = std::numeric_limits<qint64>::max() / 4;

qint64 saturatingSum(qint64 a, qint64 b)
{
    return std::min(a + b, kUnbounded);
}

qint64 saturatingProduct(qint64 count, qint64 each)
{
    return each == 0 ? 0 : count > kUnbounded / each ? kUnbounded : count * each;
}

bool isContentSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

// The names content draws with Do, and how often. Bytes that only look like
// "/Name Do" (inside a string, say) count too: the count may only be high.
std::map<std::string, qint64> drawnNames(const std::string& content)
{
    std::map<std::string, qint64> names;
    for (size_t at = content.find("Do"); at != std::string::npos; at = content.find("Do", at + 2)) {
        if (at + 2 < content.size() && !isContentSpace(content[at + 2]) && content[at + 2] != '/'
            && content[at + 2] != '[' && content[at + 2] != '(' && content[at + 2] != '<' && content[at + 2] != '%')
            continue;
        size_t end = at;
        if (end == 0 || !isContentSpace(content[end - 1]))
            continue;
        while (end > 0 && isContentSpace(content[end - 1]))
            --end;
        size_t start = end;
        while (start > 0 && !isContentSpace(content[start - 1]) && content[start - 1] != '/')
            --start;
        if (start == 0 || content[start - 1] != '/' || start == end)
            continue;
        ++names["/" + content.substr(start, end - start)];
    }
    return names;
}

// What drawing a form costs a renderer beyond its content (saving and
// restoring its state, setting up its resources), counted as content bytes:
// a page may draw about 130000 forms.
constexpr qint64 kFormDrawingCost = 512;

// The most forms drawn inside one another that a renderer follows.
constexpr size_t kMostFormNesting = 100;

// What a walk of the objects a page draws with does with each kind.
struct DrawnObjectVisits {
    std::function<void(QPDFObjectHandle image)> image = [](QPDFObjectHandle) {};
    // A form, a tiling pattern or an annotation's appearance.
    std::function<void(QPDFObjectHandle stream)> content = [](QPDFObjectHandle) {};
    // `enclosingXObjects`: those of the resources naming the font.
    std::function<void(QPDFObjectHandle font, QPDFObjectHandle enclosingXObjects)> type3Font =
        [](QPDFObjectHandle, QPDFObjectHandle) {};
    // A tiling pattern, after its content.
    std::function<void(QPDFObjectHandle pattern)> tilingPattern = [](QPDFObjectHandle) {};
    // Each resource dictionary walked, before what it names.
    std::function<void(QPDFObjectHandle resources)> resources = [](QPDFObjectHandle) {};
};

// Whether `object` is met for the first time (a direct object always is).
bool firstMet(QPDFObjectHandle object, std::set<QPDFObjGen>& seen)
{
    const QPDFObjGen id = object.getObjGen();
    return !id.isIndirect() || seen.insert(id).second;
}

void walkDrawnResources(QPDFObjectHandle resources, std::set<QPDFObjGen>& seen, const DrawnObjectVisits& visits,
                        int depth)
{
    if (!resources.isDictionary() || depth > 32)
        return;
    visits.resources(resources);
    // Type 3 glyphs are content too, drawn with resources of their own.
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (fonts.isDictionary()) {
        for (auto [name, font] : fonts.ditems()) {
            if (!font.isDictionary() || !font.getKey("/Subtype").isNameAndEquals("/Type3") || !firstMet(font, seen))
                continue;
            visits.type3Font(font, resources.getKey("/XObject"));
            walkDrawnResources(font.getKey("/Resources"), seen, visits, depth + 1);
        }
    }
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (xobjects.isDictionary()) {
        for (auto [name, xobject] : xobjects.ditems()) {
            if (!xobject.isStream())
                continue;
            QPDFObjectHandle subtype = xobject.getDict().getKey("/Subtype");
            if (subtype.isNameAndEquals("/Image")) {
                if (firstMet(xobject, seen))
                    visits.image(xobject);
            } else if (subtype.isNameAndEquals("/Form") && firstMet(xobject, seen)) {
                visits.content(xobject);
                walkDrawnResources(xobject.getDict().getKey("/Resources"), seen, visits, depth + 1);
            }
        }
    }
    QPDFObjectHandle patterns = resources.getKey("/Pattern");
    if (patterns.isDictionary()) {
        for (auto [name, pattern] : patterns.ditems()) {
            // Shadings carry no content.
            if (!pattern.isStream() || !firstMet(pattern, seen))
                continue;
            visits.content(pattern);
            visits.tilingPattern(pattern);
            walkDrawnResources(pattern.getDict().getKey("/Resources"), seen, visits, depth + 1);
        }
    }
}

// Walks what a page draws beyond its content streams: the Type 3 fonts,
// images, forms and tiling patterns its resources name, then those the
// resources of each of these name in turn (to 32 levels), and the same for
// its annotations' appearances. An object met again by reference (as
// `seen` remembers) is passed over, with all it names.
void walkDrawnObjects(QPDFPageObjectHelper& page, std::set<QPDFObjGen>& seen, const DrawnObjectVisits& visits)
{
    walkDrawnResources(page.getAttribute("/Resources", false), seen, visits, 0);
    for (QPDFObjectHandle& appearance : annotationAppearances(page)) {
        if (!firstMet(appearance, seen))
            continue;
        visits.content(appearance);
        walkDrawnResources(appearance.getDict().getKey("/Resources"), seen, visits, 1);
    }
}

}  // namespace

PDFWorkTally::Exceeded::Exceeded(QString message)
    : std::runtime_error(message.toStdString()), m_message(std::move(message))
{
}

namespace {

// The bytes of the page a JBIG2 stream's page information segment states
// (one bit a pixel; a decoder holds the whole page), when JBIG2 is the
// stream's only filter and the segment is found among its first ones.
std::optional<double> jbig2PageBytes(QPDFObjectHandle stream)
{
    QPDFObjectHandle filter = stream.getDict().getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1)
        filter = filter.getArrayItem(0);
    if (!filter.isNameAndEquals("/JBIG2Decode"))
        return std::nullopt;
    std::shared_ptr<Buffer> raw;
    try {
        raw = stream.getRawStreamData();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const unsigned char* data = raw->getBuffer();
    const size_t size = raw->getSize();
    const auto be32 = [&](size_t at) {
        return quint32(data[at]) << 24 | quint32(data[at + 1]) << 16 | quint32(data[at + 2]) << 8 | data[at + 3];
    };
    size_t at = 0;
    for (int segment = 0; segment < 64 && at + 6 <= size; ++segment) {
        const quint32 number = be32(at);
        const unsigned char flags = data[at + 4];
        at += 5;
        // Referred-to segments: a count in the top three bits, or a long form.
        quint32 referred = data[at] >> 5;
        if (referred == 7) {
            if (at + 4 > size)
                return std::nullopt;
            referred = be32(at) & 0x1fffffff;
            at += 4 + (referred + 1 + 7) / 8;
        } else {
            at += 1;
        }
        const size_t referenceSize = number <= 256 ? 1 : number <= 65536 ? 2 : 4;
        at += size_t(referred) * referenceSize + ((flags & 0x40) ? 4 : 1);
        if (at + 4 > size)
            return std::nullopt;
        const quint32 length = be32(at);
        at += 4;
        if ((flags & 0x3f) == 48) {
            if (at + 8 > size)
                return std::nullopt;
            const double width = be32(at);
            // A height not known ahead (striped pages) grows with the data.
            const double height = be32(at + 4) == 0xffffffff ? double(size) * 8 : double(be32(at + 4));
            return width * height / 8;
        }
        if (length == 0xffffffff || at + length > size)
            return std::nullopt;
        at += length;
    }
    return std::nullopt;
}

}  // namespace

qint64 PDFWorkTally::decodedSize(QPDFObjectHandle stream, qint64 budget)
{
    const QPDFObjGen id = stream.getObjGen();
    if (id.isIndirect()) {
        if (const auto known = m_decoded.find(id); known != m_decoded.end())
            return known->second;
    }
    const std::optional<qint64> worstCase = readableWorstCase(stream);
    if (worstCase) {
        if (id.isIndirect())
            m_decoded.emplace(id, *worstCase);
        return *worstCase;
    }
    CountingPipeline counter(budget);
    bool overBudget = false;
    try {
        stream.pipeStreamData(&counter, nullptr, 0, qpdf_dl_specialized, true);
    } catch (const std::length_error&) {
        overBudget = true;
    } catch (const std::exception&) {
        // Unreadable data: what was decoded is what counts.
    }
    overBudget = overBudget || counter.count() > budget;
    // A stream decoded only up to the budget is not remembered: its size is
    // unknown beyond it.
    if (id.isIndirect() && !overBudget)
        m_decoded.emplace(id, counter.count());
    return counter.count();
}

void PDFWorkTally::addStream(QPDFObjectHandle stream, PageWork& work)
{
    if (!stream.isStream())
        return;
    if (const QPDFObjGen id = stream.getObjGen(); id.isIndirect() && !work.seen.insert(id).second)
        return;
    countStream(stream, work);
}

void PDFWorkTally::countStream(QPDFObjectHandle stream, PageWork& work)
{
    const qint64 pageBudget = kMaxContentBytesPerPage - work.content;
    const qint64 documentBudget = kMaxContentBytesPerDocument - m_documentContent;
    const qint64 size = decodedSize(stream, std::min(pageBudget, documentBudget));
    // Saturating: a worst case may be as large as a count can be.
    work.content = size > kMaxContentBytesPerDocument ? kMaxContentBytesPerDocument + 1 : work.content + size;
    m_documentContent =
        size > kMaxContentBytesPerDocument ? kMaxContentBytesPerDocument + 1 : m_documentContent + size;
    if (work.content > kMaxContentBytesPerPage)
        exceededContent(kMaxContentBytesPerPage, false);
    if (m_documentContent > kMaxContentBytesPerDocument)
        exceededContent(kMaxContentBytesPerDocument, true);
}

void PDFWorkTally::countImage(QPDFObjectHandle image, PageWork& work)
{
    QPDFObjectHandle dictionary = image.getDict();
    // Pixels as a renderer holds them, four bytes each, or the page a JBIG2
    // decoder fills when its data states a larger one than the dictionary.
    double bytes = numberOf(dictionary.getKey("/Width")) * numberOf(dictionary.getKey("/Height")) * 4.0;
    if (const std::optional<double> page = jbig2PageBytes(image))
        bytes = std::max(bytes, *page);
    work.images += qint64(std::min(bytes, double(kMaxImageBytesPerPage) * 2));
    if (work.images > kMaxImageBytesPerPage)
        exceededImages(kMaxImageBytesPerPage);
}

qint64 PDFWorkTally::drawnContent(const std::vector<QPDFObjectHandle>& streams, QPDFObjectHandle resources,
                                  std::vector<QPDFObjGen>& path, int& drawnInsideThemselves)
{
    QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle();
    bool namesForms = false;
    if (xobjects.isDictionary() && path.size() <= kMostFormNesting) {
        for (auto [name, xobject] : xobjects.ditems())
            namesForms = namesForms
                         || (xobject.isStream() && xobject.getDict().getKey("/Subtype").isNameAndEquals("/Form"));
    }
    qint64 total = 0;
    if (!namesForms) {
        for (QPDFObjectHandle stream : streams) {
            if (stream.isStream())
                total = saturatingSum(total, decodedSize(stream, kMaxContentBytesPerPage + 1));
        }
        return total;
    }
    // The content is decoded once, here, to read what it draws; its size is
    // remembered for the rest of the tally.
    CollectingPipeline content(kMaxContentBytesPerPage);
    for (QPDFObjectHandle stream : streams) {
        if (!stream.isStream())
            continue;
        const QPDFObjGen id = stream.getObjGen();
        if (const auto known = m_decoded.find(id); id.isIndirect() && known != m_decoded.end()
                                                   && known->second > kMaxContentBytesPerPage)
            return known->second;
        const std::optional<qint64> worstCase = readableWorstCase(stream);
        if (worstCase) {
            total = saturatingSum(total, *worstCase);
            if (total > kMaxContentBytesPerPage)
                return total;
            continue;
        }
        const size_t before = content.bytes().size();
        try {
            stream.pipeStreamData(&content, nullptr, 0, qpdf_dl_specialized, true);
        } catch (const std::length_error&) {
            return kUnbounded;
        } catch (const std::exception&) {
            // What was decoded is what is drawn.
        }
        const qint64 size = qint64(content.bytes().size() - before);
        if (id.isIndirect())
            m_decoded.emplace(id, size);
        total = saturatingSum(total, size);
    }
    for (const auto& [name, count] : drawnNames(content.bytes())) {
        QPDFObjectHandle form = xobjects.getKey(name);
        if (!form.isStream() || !form.getDict().getKey("/Subtype").isNameAndEquals("/Form"))
            continue;
        const QPDFObjGen id = form.getObjGen();
        if (std::find(path.begin(), path.end(), id) != path.end()) {
            // Drawn inside itself: a renderer goes on until its nesting
            // limit, and twice over means 2^limit drawings.
            drawnInsideThemselves += int(std::min<qint64>(count, 2));
            total = saturatingSum(total, saturatingProduct(count * qint64(kMostFormNesting),
                                                           decodedSize(form, kMaxContentBytesPerPage + 1)));
            continue;
        }
        qint64 each = 0;
        if (const auto known = m_drawnForms.find(id); known != m_drawnForms.end()) {
            each = known->second;
        } else {
            QPDFObjectHandle own = form.getDict().getKey("/Resources");
            path.push_back(id);
            each = drawnContent({form}, own.isDictionary() ? own : resources, path, drawnInsideThemselves);
            path.pop_back();
            m_drawnForms.emplace(id, each);
        }
        total = saturatingSum(total, saturatingProduct(count, saturatingSum(each, kFormDrawingCost)));
        if (total > kMaxContentBytesPerPage)
            return total;
    }
    return drawnInsideThemselves >= 2 ? kUnbounded : total;
}

void PDFWorkTally::checkPage(QPDFPageObjectHelper& page)
{
    PageWork work;
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    // The content as drawn, forms as often as they are drawn (read first:
    // what it decodes is remembered for the counts below).
    std::vector<QPDFObjectHandle> contentStreams;
    if (contents.isArray()) {
        for (QPDFObjectHandle part : contents.aitems())
            contentStreams.push_back(part);
    } else {
        contentStreams.push_back(contents);
    }
    QPDFObjectHandle pageResources = page.getAttribute("/Resources", false);
    std::vector<QPDFObjGen> path;
    int drawnInsideThemselves = 0;
    qint64 drawn = drawnContent(contentStreams, pageResources, path, drawnInsideThemselves);
    if (drawn > kMaxContentBytesPerPage)
        exceededContent(kMaxContentBytesPerPage, false);
    // Each annotation's appearance is drawn with the page, as a form of its
    // own (with the page's resources when it has none), and costs what its
    // forms cost as often as they are drawn: the state costing most stands
    // for the one shown.
    for (const std::vector<QPDFObjectHandle>& states : annotationAppearanceStates(page)) {
        qint64 most = 0;
        for (QPDFObjectHandle appearance : states) {
            QPDFObjectHandle own = appearance.getDict().getKey("/Resources");
            std::vector<QPDFObjGen> inside;
            if (appearance.getObjGen().isIndirect())
                inside.push_back(appearance.getObjGen());
            int itself = 0;
            most = std::max(most, drawnContent({appearance}, own.isDictionary() ? own : pageResources, inside, itself));
        }
        drawn = saturatingSum(drawn, saturatingSum(most, kFormDrawingCost));
        if (drawn > kMaxContentBytesPerPage)
            exceededContent(kMaxContentBytesPerPage, false);
    }

    for (QPDFObjectHandle& part : contentStreams)
        addStream(part, work);

    // A tiling pattern is drawn once for each of its tiles in the area it
    // fills, at most the page: its steps in the page's space give how many.
    const QPDFObjectHandle::Rectangle media = page.getMediaBox(false).getArrayAsRectangle();
    const double pageArea = std::abs((media.urx - media.llx) * (media.ury - media.lly));
    const auto countTiles = [&](QPDFObjectHandle pattern) {
        QPDFObjectHandle dictionary = pattern.getDict();
        if (!dictionary.getKey("/PatternType").isInteger() || dictionary.getKey("/PatternType").getIntValue() != 1)
            return;
        // Steps and matrix entries may be negative.
        const auto value = [](QPDFObjectHandle number) { return number.isNumber() ? number.getNumericValue() : 0.0; };
        double scale = 1;
        QPDFObjectHandle matrix = dictionary.getKey("/Matrix");
        if (matrix.isArray() && matrix.getArrayNItems() == 6) {
            scale = value(matrix.getArrayItem(0)) * value(matrix.getArrayItem(3))
                    - value(matrix.getArrayItem(1)) * value(matrix.getArrayItem(2));
        }
        const double tileArea =
            std::abs(value(dictionary.getKey("/XStep")) * value(dictionary.getKey("/YStep")) * scale);
        // Readers draw nothing for a step of zero.
        if (!std::isfinite(tileArea) || tileArea <= 0 || !std::isfinite(pageArea))
            return;
        const double tiles = pageArea / tileArea;
        const double perTile = double(std::max<qint64>(decodedSize(pattern, kMaxContentBytesPerPage), 64));
        if (tiles * perTile > double(kMaxContentBytesPerPage))
            exceededContent(kMaxContentBytesPerPage, false);
    };

    // What the page draws beyond its content, each counted once for it.
    walkDrawnObjects(page, work.seen,
                     {.image = [&](QPDFObjectHandle image) { countImage(image, work); },
                      .content = [&](QPDFObjectHandle stream) { countStream(stream, work); },
                      .type3Font = [&](QPDFObjectHandle font, QPDFObjectHandle) {
                          QPDFObjectHandle procedures = font.getKey("/CharProcs");
                          if (procedures.isDictionary()) {
                              for (auto [glyph, procedure] : procedures.ditems())
                                  addStream(procedure, work);
                          }
                      },
                      .tilingPattern = countTiles});
}

namespace {

// Whether a glyph procedure shows text or draws a form (an XObject that is
// not an image in the font's resources, or one they do not name).
class GlyphDrawsMore : public QPDFObjectHandle::ParserCallbacks {
public:
    explicit GlyphDrawsMore(QPDFObjectHandle xobjects) : m_xobjects(std::move(xobjects)) {}
    bool found = false;

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            m_last = object;
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            found = true;
        } else if (op == "Do") {
            QPDFObjectHandle target = m_last.isName() && m_xobjects.isDictionary()
                                          ? m_xobjects.getKey(m_last.getName())
                                          : QPDFObjectHandle::newNull();
            found = !(target.isStream() && target.getDict().getKey("/Subtype").isNameAndEquals("/Image"));
        }
        if (found)
            terminateParsing();
    }
    void handleEOF() override {}

private:
    QPDFObjectHandle m_xobjects;
    QPDFObjectHandle m_last;
};

// Empties the glyphs of a Type 3 font that show text or draw forms; true
// when one was.
bool disarmFont(QPDFObjectHandle font, QPDFObjectHandle enclosingXObjects)
{
    QPDFObjectHandle resources = font.getKey("/Resources");
    QPDFObjectHandle procedures = font.getKey("/CharProcs");
    if (!procedures.isDictionary())
        return false;
    bool disarmed = false;
    for (auto [glyph, procedure] : procedures.ditems()) {
        if (!procedure.isStream())
            continue;
        // A font without resources of its own draws with those of whatever
        // shows its glyphs.
        GlyphDrawsMore check(resources.isDictionary() ? resources.getKey("/XObject") : enclosingXObjects);
        try {
            procedure.parseAsContents(&check);
        } catch (const std::exception&) {
            // What was read up to the fault decides.
        }
        if (check.found) {
            procedure.replaceStreamData("0 0 d0\n", QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
            disarmed = true;
        }
    }
    return disarmed;
}

}  // namespace

bool Type3GlyphGuard::disarm(QPDFPageObjectHelper& page)
{
    bool disarmed = false;
    walkDrawnObjects(page, m_seen, {.type3Font = [&](QPDFObjectHandle font, QPDFObjectHandle enclosingXObjects) {
                         disarmed = disarmFont(font, enclosingXObjects) || disarmed;
                     }});
    return disarmed;
}

}  // namespace zelvane

namespace zelvane {

bool FunctionShadingGuard::disarm(QPDFPageObjectHelper& page)
{
    bool disarmed = false;
    // Bounds the shading `holder` names under `key`.
    const auto bound = [&](QPDFObjectHandle holder, const std::string& key) {
        QPDFObjectHandle shading = holder.getKey(key);
        QPDFObjectHandle bounded;
        const QPDFObjGen id = shading.getObjGen();
        if (id.isIndirect()) {
            auto known = m_bounded.find(id);
            if (known == m_bounded.end())
                known = m_bounded.emplace(id, boundedFunctionShading(shading)).first;
            bounded = known->second;
        } else {
            bounded = boundedFunctionShading(shading);
        }
        if (!bounded.isNull()) {
            holder.replaceKey(key, bounded);
            disarmed = true;
        }
    };
    walkDrawnObjects(page, m_seen, {.resources = [&](QPDFObjectHandle resources) {
                         QPDFObjectHandle shadings = resources.getKey("/Shading");
                         if (shadings.isDictionary()) {
                             for (const std::string& name : shadings.getKeys())
                                 bound(shadings, name);
                         }
                         QPDFObjectHandle patterns = resources.getKey("/Pattern");
                         if (patterns.isDictionary()) {
                             for (const std::string& name : patterns.getKeys()) {
                                 QPDFObjectHandle pattern = patterns.getKey(name);
                                 if (pattern.isDictionary() && pattern.getKey("/PatternType").isInteger()
                                     && pattern.getKey("/PatternType").getIntValue() == 2)
                                     bound(pattern, "/Shading");
                             }
                         }
                     }});
    return disarmed;
}

}  // namespace zelvane
