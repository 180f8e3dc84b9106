#include "pdf/PDFInputLimits.h"

#include "Localization.h"

#include <qpdf/Pipeline.hh>

#include <algorithm>
#include <cmath>

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

}  // namespace

PDFWorkTally::Exceeded::Exceeded(QString message)
    : std::runtime_error(message.toStdString()), m_message(std::move(message))
{
}

qint64 PDFWorkTally::decodedSize(QPDFObjectHandle stream, qint64 budget)
{
    const QPDFObjGen id = stream.getObjGen();
    if (id.isIndirect()) {
        if (const auto known = m_decoded.find(id); known != m_decoded.end())
            return known->second;
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
    const qint64 pageBudget = kMaxContentBytesPerPage - work.content;
    const qint64 documentBudget = kMaxContentBytesPerDocument - m_documentContent;
    const qint64 size = decodedSize(stream, std::min(pageBudget, documentBudget));
    work.content += size;
    m_documentContent += size;
    if (work.content > kMaxContentBytesPerPage)
        exceededContent(kMaxContentBytesPerPage, false);
    if (m_documentContent > kMaxContentBytesPerDocument)
        exceededContent(kMaxContentBytesPerDocument, true);
}

void PDFWorkTally::addResources(QPDFObjectHandle resources, PageWork& work, int depth)
{
    if (!resources.isDictionary() || depth > 32)
        return;
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (xobjects.isDictionary()) {
        for (auto [name, xobject] : xobjects.ditems()) {
            if (!xobject.isStream())
                continue;
            QPDFObjectHandle dictionary = xobject.getDict();
            QPDFObjectHandle subtype = dictionary.getKey("/Subtype");
            if (subtype.isNameAndEquals("/Image")) {
                if (const QPDFObjGen id = xobject.getObjGen(); id.isIndirect() && !work.seen.insert(id).second)
                    continue;
                // Pixels as a renderer holds them, four bytes each.
                work.images += qint64(std::min(numberOf(dictionary.getKey("/Width")) *
                                                   numberOf(dictionary.getKey("/Height")) * 4.0,
                                               double(kMaxImageBytesPerPage) * 2));
                if (work.images > kMaxImageBytesPerPage)
                    exceededImages(kMaxImageBytesPerPage);
            } else if (subtype.isNameAndEquals("/Form")) {
                const QPDFObjGen id = xobject.getObjGen();
                const bool first = !id.isIndirect() || !work.seen.count(id);
                addStream(xobject, work);
                if (first)
                    addResources(dictionary.getKey("/Resources"), work, depth + 1);
            }
        }
    }
    QPDFObjectHandle patterns = resources.getKey("/Pattern");
    if (patterns.isDictionary()) {
        for (auto [name, pattern] : patterns.ditems()) {
            if (!pattern.isStream())
                continue;  // shadings carry no content
            const QPDFObjGen id = pattern.getObjGen();
            const bool first = !id.isIndirect() || !work.seen.count(id);
            addStream(pattern, work);
            if (first)
                addResources(pattern.getDict().getKey("/Resources"), work, depth + 1);
        }
    }
}

void PDFWorkTally::checkPage(QPDFPageObjectHelper& page)
{
    PageWork work;
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isArray()) {
        for (QPDFObjectHandle part : contents.aitems())
            addStream(part, work);
    } else {
        addStream(contents, work);
    }
    addResources(page.getAttribute("/Resources", false), work, 0);
}

}  // namespace zelvane
