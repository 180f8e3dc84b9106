#include "SelfTest.h"

#include "AppVersion.h"
#include "VectorController.h"
#include "Snapshot.h"
#include "model/PageFormatPreset.h"
#include "model/VectorDocument.h"
#include "osc/OSCCodec.h"
#include "export/PDFExport.h"
#include "pdf/PDFImport.h"
#include "sample/SyntheticDocument.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"
#include "appmodel/AppModel.h"

#include <QStringList>
#include <exception>

namespace zelvane::SelfTest {

namespace {

// The printed lines and the names of the failed checks.
class Report {
public:
    void check(const char* name, bool passed)
    {
        m_output += (passed ? "  [OK] " : "  [FAIL] ") + QByteArray(name) + '\n';
        if (!passed)
            m_failed << QString::fromUtf8(name);
    }

    // Runs `body` as the check's preparation and verdict: anything it throws
    // counts as a failure of this check only.
    template <typename Body>
    void guarded(const char* name, Body&& body)
    {
        bool passed = false;
        try {
            passed = body();
        } catch (...) {
            passed = false;
        }
        check(name, passed);
    }

    void line(const QByteArray& text) { m_output += text + '\n'; }

    HeadlessOutcome outcome() const
    {
        if (m_failed.isEmpty())
            return {0, m_output + "=== ALL TESTS PASSED ===\n", {}};
        const QByteArray failure = "=== FAILED (" + QByteArray::number(m_failed.size()) + "): "
            + m_failed.join(QStringLiteral(", ")).toUtf8() + " ===\n";
        return {1, m_output, failure};
    }

private:
    QByteArray m_output;
    QStringList m_failed;
};

QByteArray header()
{
    const AppVersion& version = AppVersion::current();
    QString text = QStringLiteral("=== Zelvane ") + version.version;
    if (version.build)
        text += QStringLiteral(" (") + *version.build + QStringLiteral(")");
    return (text + QStringLiteral(" Self-Test ===")).toUtf8();
}

}  // namespace

Dependencies defaultDependencies()
{
    return {
        [] { return SyntheticDocument::generateSampleRawPDFData(); },
        [](AppModel& model, QSize size) { return Snapshot::renderOffscreenPNG(model, size); },
    };
}

HeadlessOutcome run(const Dependencies& dependencies)
{
    Report report;
    report.line(header());

    QByteArray pdfBytes;
    try {
        pdfBytes = dependencies.samplePDF();
    } catch (...) {
        pdfBytes.clear();
    }
    report.check("Generate sample multi-page vector PDF in memory", pdfBytes.size() > 1000);

    std::optional<VectorDocument> imported;
    if (!pdfBytes.isEmpty()) {
        try {
            imported = PDFCodec::importPDF(pdfBytes, QStringLiteral("Test PDF"), std::nullopt);
        } catch (...) {
            imported.reset();
        }
    }
    report.check("Import 2-page PDF document", imported && imported->pages.size() == 2);
    if (imported)
        report.check("Extract editable PDF text lines (> 10 blocks)", imported->pdfTextElementCount() > 9);

    AppModel model(false, false);
    VectorController& controller = model.controller();
    report.guarded("Initial document starts with a single blank A4 page", [&] {
        return controller.document().pages.size() == 1 && controller.document().totalElementsCount() == 0;
    });
    report.guarded("Synthetic test document has 3 pages (2 PDF + 1 SVG plot)", [&] {
        controller.setDocument(SyntheticDocument::makeStageContractAndPlot());
        return controller.document().pages.size() == 3;
    });
    report.guarded("Synthetic test document has modified PDF text with active mask", [&] {
        return controller.document().modifiedPDFTextCount() >= 1 && !controller.currentPage().activeMaskRects().isEmpty();
    });

    const qint64 signatures = controller.document().signatureCount();
    report.guarded("Stamp calligraphic signature increments signatureCount", [&] {
        controller.stampActiveSignature(VectorPoint{300, 500});
        return controller.document().signatureCount() == signatures + 1;
    });
    report.guarded("Undo removes stamped signature", [&] {
        controller.undo();
        return controller.document().signatureCount() == signatures;
    });
    report.guarded("Redo restores stamped signature", [&] {
        controller.redo();
        return controller.document().signatureCount() == signatures + 1;
    });

    const qsizetype pages = controller.document().pages.size();
    report.guarded("Add blank page in multipage mode", [&] {
        controller.addBlankPage(PageFormatPreset::a4Landscape);
        return controller.document().pages.size() == pages + 1;
    });
    report.guarded("Delete page restores page count", [&] {
        controller.deleteCurrentPage();
        return controller.document().pages.size() == pages;
    });

    QString svg;
    report.guarded("Export multi-page SVG contains <svg> and signature paths", [&] {
        svg = SVGCodec::exportSVG(controller.document());
        return svg.contains(QLatin1String("<svg")) && svg.contains(QLatin1String("data-role=\"signature\""));
    });

    std::optional<VectorDocument> reimported;
    try {
        reimported = SVGCodec::importSVG(svg, QStringLiteral("Roundtrip SVG"), std::nullopt);
    } catch (...) {
        reimported.reset();
    }
    report.check("Re-import multi-page SVG preserves all 3 pages", reimported && reimported->pages.size() == 3);
    if (reimported)
        report.check("Re-import SVG preserves vector elements", reimported->totalElementsCount() > 9);

    report.guarded("Export & re-import multi-page PDF preserves page count", [&] {
        const QByteArray exported = PDFCodec::exportPDF(controller.document());
        return PDFCodec::importPDF(exported, QStringLiteral("Roundtrip PDF"), std::nullopt).pages.size() == 3;
    });

    report.guarded("OSC 1.0 encode/decode round-trip", [] {
        const OSCCodec::Message message{QStringLiteral("/zelvane/sign"),
                                        {OSCCodec::Value::string(QStringLiteral("Direction Technique"))}};
        const QList<OSCCodec::Message> decoded = OSCCodec::decode(OSCCodec::encode(message));
        return !decoded.isEmpty() && decoded.first() == message;
    });

    report.guarded("Offscreen window PNG snapshot (> 15 KB)", [&] {
        const std::optional<QByteArray> png = dependencies.windowSnapshot(model, QSize(960, 600));
        return png && png->size() > 15000;
    });

    return report.outcome();
}

void runAndExit()
{
    HeadlessRuntime::ensureGuiApplication();
    HeadlessRuntime::finish(run(defaultDependencies()));
}

}  // namespace zelvane::SelfTest
