// Time to export as PDF an 87-page groff/Ghostscript manual with every text
// line edited, against `qpdf --overlay` putting one page over every page of
// the same file (the floor of writing every page again with something drawn
// over it), in the same run. Measured with the removal of what lies under
// the masks and without it, and for the manual left unedited; the program's
// first export (removal included) is also given on its own.

#include "BestTime.h"
#include "GroffManual.h"
#include "export/PDFExport.h"
#include "pdf/PDFImport.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace zelvane;
using bench::bestSeconds;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 3;
constexpr int kPages = 87;


bool runTool(const QString& program, const QStringList& arguments, const QByteArray& input = {},
             const QString& output = {})
{
    QProcess process;
    process.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    // qpdf exits with 3 for warnings.
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
           && (process.exitCode() == 0 || process.exitCode() == 3);
}

// The manual cut to its first kPages pages by qpdf.
QString groffManual(const QTemporaryDir& folder, const QString& qpdf)
{
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    const QString ps2pdf = QStandardPaths::findExecutable(QStringLiteral("ps2pdf"));
    if (groff.isEmpty() || ps2pdf.isEmpty())
        return {};
    const QString ps = folder.filePath(QStringLiteral("manual.ps"));
    const QString whole = folder.filePath(QStringLiteral("whole.pdf"));
    const QString pdf = folder.filePath(QStringLiteral("manual.pdf"));
    if (!runTool(groff, {QStringLiteral("-man"), QStringLiteral("-Tps")}, bench::manPageSource(110), ps)
        || !runTool(ps2pdf, {ps, whole})
        || !runTool(qpdf, {whole, QStringLiteral("--pages"), whole, QStringLiteral("1-%1").arg(kPages),
                           QStringLiteral("--"), pdf}))
        return {};
    return pdf;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    if (qpdf.isEmpty()) {
        std::printf("PDF export: qpdf missing, case left out\n");
        return 0;
    }
    QTemporaryDir scratch;
    const QString path = groffManual(scratch, qpdf);
    if (path.isEmpty()) {
        std::printf("PDF export: groff or ps2pdf missing, case left out\n");
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray data = file.readAll();
    const VectorDocument unedited = PDFCodec::importPDF(data, QStringLiteral("manual"), std::nullopt);
    VectorDocument edited = unedited;
    int lines = 0;
    for (VectorPage& page : edited.pages) {
        for (VectorElement& element : page.elements) {
            if (TextPayload* text = element.text(); text && text->isPDFExtracted) {
                text->text = QStringLiteral("EDITED ") + text->text;
                ++lines;
            }
        }
    }

    const QString overlaid = scratch.filePath(QStringLiteral("overlaid.pdf"));
    const double reference = bestSeconds([&] {
        return runTool(qpdf, {path, QStringLiteral("--overlay"), path, QStringLiteral("--from=1"),
                              QStringLiteral("--repeat=1"), QStringLiteral("--"), overlaid});
    });
    const auto exportTime = [&](const VectorDocument& document, bool remove) {
        return bestSeconds([&] {
            PDFCodec::PDFExportOptions options;
            options.removeMaskedContent = remove;
            return !PDFCodec::exportPDF(document, nullptr, options).isEmpty();
        });
    };
    // The program's first export also starts the drawing threads, which
    // then look every font up for the first time: timed on its own.
    const double firstEdited = bestSeconds([&] { return !PDFCodec::exportPDF(edited, nullptr, {}).isEmpty(); }, 1);
    const double editedWithRemoval = exportTime(edited, true);
    const double editedWithout = exportTime(edited, false);
    const double plain = exportTime(unedited, true);

    std::printf("PDF export of a %d-page groff manual (%d lines edited), best of %d; reference qpdf --overlay "
                "of one page onto every page %.1f ms\n",
                int(edited.pages.size()), lines, kRuns, reference * 1000);
    const auto print = [&](const char* label, double seconds) {
        std::printf("  %-36s %8.1f ms   ratio %.2f\n", label, seconds * 1000, seconds / reference);
    };
    print("every line edited, first export", firstEdited);
    print("every line edited, masked text removed", editedWithRemoval);
    print("every line edited, without removal", editedWithout);
    print("unedited", plain);
    return 0;
}
