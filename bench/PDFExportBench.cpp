// Time to export as PDF an 87-page groff/Ghostscript manual with every text
// line edited, against `qpdf --overlay` putting one page over every page of
// the same file (the floor of writing every page again with something drawn
// over it), in the same run: wall time and processor time (user + system,
// every thread), each the best of a few runs. Measured with the removal of
// what lies under the masks and without it, and for the manual left
// unedited; a process's first export (removal included, timed in fresh
// processes after their import) is also given on its own, against the later
// ones, with the pages written as pictures. Qt laying out the edited lines
// alone, on one thread, is given too: part of every export's work that no
// code of ours can take away.

#include "GroffManual.h"
#include "export/PDFExport.h"
#include "fonts/FontLookup.h"
#include "fonts/TextFonts.h"
#include "pdf/PDFImport.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <sys/resource.h>

using namespace zelvane;
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

// Processor time used so far by this process (who = RUSAGE_SELF), this
// thread (RUSAGE_THREAD) or its finished children (RUSAGE_CHILDREN), user and
// system, in seconds.
double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Best wall time and best processor time of `runs` runs, in seconds; -1
// when a run fails.
struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
};

Timing bestTiming(const std::function<bool()>& run, int who, int runs = kRuns)
{
    Timing best;
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = processorSeconds(who);
        const auto start = Clock::now();
        if (!run())
            return {-1, -1};
        best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - start).count());
        best.cpu = std::min(best.cpu, processorSeconds(who) - cpuStart);
    }
    return best;
}


// The manual with every extracted line changed.
VectorDocument everyLineEdited(const VectorDocument& unedited, int* lines)
{
    VectorDocument edited = unedited;
    for (VectorPage& page : edited.pages) {
        for (VectorElement& element : page.elements) {
            if (TextPayload* text = element.text(); text && text->isPDFExtracted) {
                text->text = QStringLiteral("EDITED ") + text->text;
                ++*lines;
            }
        }
    }
    return edited;
}

// Processor seconds Qt takes to lay out every extracted line of `document`
// on its own line with the line's own font, as an export draws it, on this
// thread alone; -1 when there is nothing to lay out.
double qtLayoutSeconds(const VectorDocument& document)
{
    const double start = processorSeconds(RUSAGE_THREAD);
    qsizetype glyphs = 0;
    for (const VectorPage& page : document.pages) {
        for (const VectorElement& element : page.elements) {
            const TextPayload* text = element.text();
            if (!text || !text->isPDFExtracted)
                continue;
            QTextLayout layout(text->text,
                               fonts::layoutFont(PDFCodec::resolveFont(*text, text->fontSize), text->letterSpacing));
            QTextOption option;
            option.setWrapMode(QTextOption::NoWrap);
            option.setUseDesignMetrics(true);
            layout.setTextOption(option);
            layout.setCacheEnabled(true);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun& run : layout.lineAt(0).glyphRuns())
                glyphs += run.glyphIndexes().size();
        }
    }
    return glyphs > 0 ? processorSeconds(RUSAGE_THREAD) - start : -1;
}

// Run as `--first-export FILE [--readied]`: imports the file, edits every
// line and prints the wall and processor seconds of the process's first
// export. With `--readied` the drawing threads are first made ready for the
// document, as the editor does when it opens one, and the export starts
// once they are (a user edits before exporting); they stay ready, as the
// editor keeps them while the document is open.
int firstExportOnly(const QString& path, bool readied)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const VectorDocument unedited = PDFCodec::importPDF(file.readAll(), QStringLiteral("manual"), std::nullopt);
    std::unique_ptr<PDFCodec::ExportDrawingWarmUp> warmUp;
    if (readied) {
        warmUp = PDFCodec::warmUpExportDrawing(unedited);
        if (warmUp)
            warmUp->wait();
    }
    int lines = 0;
    const VectorDocument edited = everyLineEdited(unedited, &lines);
    PDFCodec::PDFExportReport report;
    const Timing first = bestTiming([&] { return !PDFCodec::exportPDF(edited, &report).isEmpty(); }, RUSAGE_SELF, 1);
    std::printf("%f %f %d\n", first.wall, first.cpu, int(report.rasterizedPages.size()));
    return first.wall < 0 ? 1 : 0;
}

// Run as `--write OUT [AGAIN...]`: writes the export of the manual with
// every line edited to OUT (and a further export of it to each AGAIN), to
// compare what two builds, or a process's first and later exports, write.
int writeEdited(const QStringList& outputs)
{
    QTemporaryDir scratch;
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    const QString path = qpdf.isEmpty() ? QString() : groffManual(scratch, qpdf);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return 1;
    const VectorDocument unedited = PDFCodec::importPDF(file.readAll(), QStringLiteral("manual"), std::nullopt);
    int lines = 0;
    const VectorDocument edited = everyLineEdited(unedited, &lines);
    for (const QString& output : outputs) {
        const QByteArray pdf = PDFCodec::exportPDF(edited);
        QFile written(output);
        if (pdf.isEmpty() || !written.open(QIODevice::WriteOnly) || written.write(pdf) != pdf.size())
            return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if ((argc == 3 || argc == 4) && std::string(argv[1]) == "--first-export")
        return firstExportOnly(QString::fromLocal8Bit(argv[2]), argc == 4 && std::string(argv[3]) == "--readied");
    if (argc >= 3 && std::string(argv[1]) == "--write") {
        QStringList outputs;
        for (int i = 2; i < argc; ++i)
            outputs.append(QString::fromLocal8Bit(argv[i]));
        return writeEdited(outputs);
    }
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
    int lines = 0;
    const VectorDocument edited = everyLineEdited(unedited, &lines);

    const QString overlaid = scratch.filePath(QStringLiteral("overlaid.pdf"));
    const auto overlay = [&] {
        return runTool(qpdf, {path, QStringLiteral("--overlay"), path, QStringLiteral("--from=1"),
                              QStringLiteral("--repeat=1"), QStringLiteral("--"), overlaid});
    };
    int pictures = 0;
    const auto exportOnce = [&](const VectorDocument& document, bool remove) {
        PDFCodec::PDFExportOptions options;
        options.removeMaskedContent = remove;
        PDFCodec::PDFExportReport report;
        const bool written = !PDFCodec::exportPDF(document, &report, options).isEmpty();
        pictures = std::max(pictures, int(report.rasterizedPages.size()));
        return written;
    };
    // A process's first export also starts the drawing threads and looks
    // fonts up for the first time: timed on its own, in fresh processes of
    // this program (the best of a few, as the other figures).
    // Once straight after the import, once with the drawing threads made
    // ready at the document's opening, as the editor does.
    Timing firstEdited;
    Timing firstReadied;
    int firstPictures = 0;
    for (int run = 0; run < 2 * kRuns; ++run) {
        const bool readied = run % 2 == 1;
        QStringList arguments{QStringLiteral("--first-export"), path};
        if (readied)
            arguments.append(QStringLiteral("--readied"));
        QProcess child;
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), arguments);
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            return 1;
        const QList<QByteArray> figures = child.readAllStandardOutput().simplified().split(' ');
        if (figures.size() != 3)
            return 1;
        Timing& first = readied ? firstReadied : firstEdited;
        first.wall = std::min(first.wall, figures[0].toDouble());
        first.cpu = std::min(first.cpu, figures[1].toDouble());
        firstPictures = std::max(firstPictures, figures[2].toInt());
    }
    // The reference and the exports alternate, so a change of the machine's
    // load falls on both alike.
    Timing reference;
    Timing editedWithRemoval;
    Timing editedWithout;
    Timing plain;
    double qtLayout = 1e300;
    const auto keepBest = [](Timing& best, const Timing& run) {
        best.wall = std::min(best.wall, run.wall);
        best.cpu = std::min(best.cpu, run.cpu);
    };
    for (int round = 0; round < kRuns; ++round) {
        keepBest(reference, bestTiming(overlay, RUSAGE_CHILDREN, 1));
        keepBest(editedWithRemoval, bestTiming([&] { return exportOnce(edited, true); }, RUSAGE_SELF, 1));
        keepBest(editedWithout, bestTiming([&] { return exportOnce(edited, false); }, RUSAGE_SELF, 1));
        keepBest(plain, bestTiming([&] { return exportOnce(unedited, true); }, RUSAGE_SELF, 1));
        qtLayout = std::min(qtLayout, qtLayoutSeconds(edited));
    }

    std::printf("PDF export of a %d-page groff manual (%d lines edited), best of %d; reference qpdf --overlay "
                "of one page onto every page %.1f ms wall, %.1f ms CPU\n",
                int(edited.pages.size()), lines, kRuns, reference.wall * 1000, reference.cpu * 1000);
    const auto print = [&](const char* label, const Timing& timing) {
        std::printf("  %-40s %8.1f ms wall (ratio %5.2f) %8.1f ms CPU (ratio %5.2f)\n", label, timing.wall * 1000,
                    timing.wall / reference.wall, timing.cpu * 1000, timing.cpu / reference.cpu);
    };
    print("every line edited, first export", firstEdited);
    print("  the same, threads readied at opening", firstReadied);
    print("every line edited, masked text removed", editedWithRemoval);
    print("every line edited, without removal", editedWithout);
    print("unedited", plain);
    std::printf("  first export against a later one: %.2f x wall, %.2f x CPU; threads readied at opening: "
                "%.2f x wall, %.2f x CPU\n",
                firstEdited.wall / editedWithRemoval.wall, firstEdited.cpu / editedWithRemoval.cpu,
                firstReadied.wall / editedWithRemoval.wall, firstReadied.cpu / editedWithRemoval.cpu);
    std::printf("  pages written as pictures: %d in the first export, %d at most in any\n", firstPictures, pictures);
    if (qtLayout >= 0)
        std::printf("  Qt laying out the edited lines alone, one thread: %.1f ms CPU (ratio %.2f)\n", qtLayout * 1000,
                    qtLayout / reference.cpu);
    return 0;
}
