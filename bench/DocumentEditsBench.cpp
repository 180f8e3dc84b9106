// How long element updates take on a large document when every edit keeps an
// undo snapshot, and proof that snapshots share the PDF bytes.
//
// Reference: the same edits on a plain deep-copying model (std::vector and
// std::string, every snapshot a full copy), measured in the same run.

#include "model/VectorDocumentHistory.h"
#include "operations/VectorOperations.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace zelvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 200;
constexpr int kElementsPerPage = 50;
constexpr int kUpdates = 10000;
constexpr int kReferenceUpdates = 100;
constexpr int kHistoryDepth = 60;

VectorDocument makeDocument(const QByteArray& pdf)
{
    QList<VectorPage> pages;
    for (int p = 0; p < kPages; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 595.28, 841.89,
                                           QStringLiteral("#FFFFFF"), pdf, p);
        for (int e = 0; e < kElementsPerPage; ++e) {
            page.elements.append(VectorOperations::makeTextElement(QStringLiteral("Line %1 of page %2").arg(e).arg(p),
                                                                   {40, 40 + 14.0 * e}, 11, "#111317", false));
        }
        pages.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Bench"), DocumentSourceFormat::pdf, std::nullopt,
                                pages, 1);
}

// The deep-copying reference model.
struct PlainElement {
    std::string id, name, text;
    double x, y, w, h;
};
struct PlainPage {
    std::string pdf;
    std::vector<PlainElement> elements;
};
using PlainDocument = std::vector<PlainPage>;

double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

}  // namespace

int main()
{
    const QByteArray pdf(50 * 1024 * 1024, '%');
    VectorDocument document = makeDocument(pdf);
    VectorDocumentHistory history(kHistoryDepth);

    const auto start = Clock::now();
    for (int i = 0; i < kUpdates; ++i) {
        const int pageIndex = i % kPages;
        const QUuid id = document.pages[pageIndex].elements[(i / kPages) % kElementsPerPage].id;
        history.record(document);
        VectorDocument edited = document;
        VectorOperations::updateElement(id, pageIndex, edited, [](VectorElement& e) { e.frame.x += 1; });
        document = std::move(edited);
    }
    const double updateSeconds = seconds(start);

    // Every snapshot and the live document must point at the one PDF buffer.
    std::vector<const char*> buffers;
    for (const VectorDocument& snapshot : history.undoStack()) {
        for (const VectorPage& page : snapshot.pages) {
            const char* data = page.pdfPageData->constData();
            if (std::find(buffers.begin(), buffers.end(), data) == buffers.end()) {
                buffers.push_back(data);
            }
        }
    }

    PlainDocument plain(kPages);
    for (PlainPage& page : plain) {
        page.pdf.assign(size_t(16 * 1024), '%');  // 16 KB each: the full 50 MB would not fit 60 times
        page.elements.resize(kElementsPerPage, PlainElement{"0123456789abcdef", "Text Block", "Line of text", 40, 40, 90, 24});
    }
    std::vector<PlainDocument> plainHistory;
    const auto referenceStart = Clock::now();
    for (int i = 0; i < kReferenceUpdates; ++i) {
        plainHistory.push_back(plain);
        if (plainHistory.size() > size_t(kHistoryDepth)) {
            plainHistory.erase(plainHistory.begin());
        }
        PlainDocument edited = plain;
        edited[size_t(i % kPages)].elements[0].x += 1;
        plain = std::move(edited);
    }
    const double referenceSeconds = seconds(referenceStart) * (double(kUpdates) / kReferenceUpdates);

    std::printf("document: %d pages x %d elements over one 50 MB PDF, undo depth %d\n", kPages, kElementsPerPage,
                kHistoryDepth);
    std::printf("element updates with undo snapshots: %d in %.3f s (%.2f us per update)\n", kUpdates, updateSeconds,
                updateSeconds * 1e6 / kUpdates);
    std::printf("reference (deep-copying model, 16 KB of PDF per page, extrapolated from %d updates): %.3f s\n",
                kReferenceUpdates, referenceSeconds);
    std::printf("ratio to reference: %.6f\n", updateSeconds / referenceSeconds);
    std::printf("distinct PDF buffers across %lld snapshots: %zu (bytes held once: %s)\n",
                static_cast<long long>(history.undoStack().size()), buffers.size(),
                buffers.size() == 1 && buffers.front() == document.pages[0].pdfPageData->constData() ? "yes" : "NO");
    return buffers.size() == 1 ? 0 : 1;
}
