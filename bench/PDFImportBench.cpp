// Time to import a PDF (every page measured, every text line made an element)
// against poppler's own tools doing comparable work on the same file in the
// same run: `pdftoppm -r 144` writing PPM images (the pages drawn at the
// import's raster size) plus `pdftotext -bbox-layout` (the text with its
// boxes). Measured on every processor, then again with the process held to
// a single processor (the reference tools inherit the restriction).
//
// Files: the PDFs given on the command line, else a generated 40-page manual
// and, when groff and ps2pdf are installed, a 40-page groff/Ghostscript man
// page written for the run, bash's 87-page manual set by groff and
// Ghostscript, the Latin Modern font samples (lm-info.pdf of fonts-lmodern)
// and 1,000 pages of bash's manual put together by qpdf (measured on every
// processor only). For each file the peak memory of one import alone, in a
// process of its own, is printed too; with ZELVANE_BENCH_PREVIOUS naming the
// benchmark program of an earlier build, that build's import of the same file
// is measured the same way in the same run, for comparison.
//
// The import's processor time is also set against mupdf drawing every page
// once at the import's resolution (`mutool draw -r 144`), and against what
// poppler alone costs for what every import needs of it: each page drawn at
// that resolution and its text read (words, boxes, fonts), on one thread.

#include "BestTime.h"
#include "GroffManual.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFImport.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// GLib uses "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <poppler.h>
#pragma pop_macro("signals")
#include <cairo.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace zelvane;
using bench::bestSeconds;
using bench::runTool;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 3;


// Run as `--poppler-once FILE`: poppler draws every page of FILE at the
// import's raster size, gathering its text meanwhile, then hands out the
// text, its boxes and its attributes, as the import asks for them.
int popplerOnce(const char* path)
{
    gchar* uri = g_filename_to_uri(QFileInfo(QString::fromLocal8Bit(path)).absoluteFilePath().toLocal8Bit().constData(),
                                   nullptr, nullptr);
    PopplerDocument* document = uri ? poppler_document_new_from_file(uri, nullptr, nullptr) : nullptr;
    g_free(uri);
    if (!document)
        return 1;
    std::vector<unsigned char> pixels;
    for (int i = 0; i < poppler_document_get_n_pages(document); ++i) {
        PopplerPage* page = poppler_document_get_page(document, i);
        if (!page)
            continue;
        double width = 0;
        double height = 0;
        poppler_page_get_size(page, &width, &height);
        const int pixelWidth = int(std::lround(width * 2));
        const int pixelHeight = int(std::lround(height * 2));
        const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pixelWidth);
        pixels.assign(size_t(stride) * size_t(pixelHeight), 0);
        cairo_surface_t* surface =
            cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight, stride);
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, 2, 2);
        poppler_page_render(page, cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        g_free(poppler_page_get_text(page));
        PopplerRectangle* boxes = nullptr;
        guint count = 0;
        if (poppler_page_get_text_layout(page, &boxes, &count))
            g_free(boxes);
        poppler_page_free_text_attributes(poppler_page_get_text_attributes(page));
        g_object_unref(page);
    }
    g_object_unref(document);
    return 0;
}

std::optional<QString> bashManual(const QTemporaryDir& folder)
{
    const QString source = QStringLiteral("/usr/share/man/man1/bash.1.gz");
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    const QString ps2pdf = QStandardPaths::findExecutable(QStringLiteral("ps2pdf"));
    if (!QFile::exists(source) || groff.isEmpty() || ps2pdf.isEmpty())
        return std::nullopt;
    QProcess unpack;
    unpack.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), source});
    if (!unpack.waitForFinished(-1) || unpack.exitCode() != 0)
        return std::nullopt;
    QProcess typeset;
    typeset.setStandardOutputFile(folder.filePath(QStringLiteral("bash.ps")));
    typeset.start(groff, {QStringLiteral("-man"), QStringLiteral("-Tps")});
    typeset.write(unpack.readAllStandardOutput());
    typeset.closeWriteChannel();
    if (!typeset.waitForFinished(-1) || typeset.exitCode() != 0)
        return std::nullopt;
    const QString pdf = folder.filePath(QStringLiteral("bash-manual.pdf"));
    if (!runTool(ps2pdf, {folder.filePath(QStringLiteral("bash.ps")), pdf}))
        return std::nullopt;
    return pdf;
}

// `pages` pages of the file, its pages repeated in order.
std::optional<QString> repeatedPages(const QString& path, int pages, const QTemporaryDir& folder)
{
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    if (qpdf.isEmpty())
        return std::nullopt;
    QStringList arguments{QStringLiteral("--empty"), QStringLiteral("--pages")};
    for (int i = 0; i < 16; ++i)
        arguments << path << QStringLiteral("1-z");
    const QString many = folder.filePath(QStringLiteral("many.pdf"));
    const QString out = folder.filePath(QStringLiteral("%1-pages.pdf").arg(pages));
    if (!runTool(qpdf, arguments << QStringLiteral("--") << many)
        || !runTool(qpdf, {QStringLiteral("--empty"), QStringLiteral("--pages"), many,
                           QStringLiteral("1-%1").arg(pages), QStringLiteral("--"), out}))
        return std::nullopt;
    return out;
}

// Programs run for their peak memory from a process forked when the
// benchmark starts: a process forked later would count the benchmark's own
// pages, shared with it until it starts the program, in its peak.
class PeakLauncher {
public:
    PeakLauncher()
    {
        int requests[2] = {-1, -1};
        int replies[2] = {-1, -1};
        if (pipe(requests) != 0 || pipe(replies) != 0)
            return;
        m_child = fork();
        if (m_child == 0) {
            close(requests[1]);
            close(replies[0]);
            serve(requests[0], replies[1]);
            _exit(0);
        }
        close(requests[0]);
        close(replies[1]);
        m_requests = requests[1];
        m_replies = replies[0];
    }

    ~PeakLauncher()
    {
        if (m_requests >= 0)
            close(m_requests);
        if (m_replies >= 0)
            close(m_replies);
        if (m_child > 0)
            waitpid(m_child, nullptr, 0);
    }

    // What one run of a program cost, in a process of its own.
    struct Usage {
        double peakMB = -1;  // -1 when it failed
        double cpuSeconds = 0;  // user + system
        double wallSeconds = 0;
    };

    // The cost of `program arguments...`.
    Usage run(const QString& program, const QStringList& arguments) const
    {
        QByteArray request = program.toLocal8Bit() + '\0';
        for (const QString& argument : arguments)
            request += argument.toLocal8Bit() + '\0';
        const std::uint32_t size = std::uint32_t(request.size());
        Usage usage;
        if (m_child <= 0 || !writeAll(m_requests, &size, sizeof size)
            || !writeAll(m_requests, request.constData(), size) || !readAll(m_replies, &usage, sizeof usage))
            return Usage{};
        return usage;
    }

    // The cheapest of `runs` runs: least CPU, least wall time, least peak.
    Usage best(const QString& program, const QStringList& arguments, int runs) const
    {
        Usage best{-1, 1e300, 1e300};
        for (int i = 0; i < runs; ++i) {
            const Usage one = run(program, arguments);
            if (one.peakMB < 0)
                return one;
            best.peakMB = best.peakMB < 0 ? one.peakMB : std::min(best.peakMB, one.peakMB);
            best.cpuSeconds = std::min(best.cpuSeconds, one.cpuSeconds);
            best.wallSeconds = std::min(best.wallSeconds, one.wallSeconds);
        }
        return best;
    }

    // The peak memory of `program --import-once path`, in MB; -1 when it fails.
    double importPeakMB(const QString& program, const QString& path) const
    {
        return run(program, {QStringLiteral("--import-once"), path}).peakMB;
    }

private:
    static bool writeAll(int fd, const void* data, size_t size)
    {
        const char* at = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = write(fd, at, size);
            if (written <= 0)
                return false;
            at += written;
            size -= size_t(written);
        }
        return true;
    }

    static bool readAll(int fd, void* data, size_t size)
    {
        char* at = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t got = read(fd, at, size);
            if (got <= 0)
                return false;
            at += got;
            size -= size_t(got);
        }
        return true;
    }

    // In the launcher: runs each request, answers with its cost.
    static void serve(int requests, int replies)
    {
        std::uint32_t size = 0;
        while (readAll(requests, &size, sizeof size)) {
            std::vector<char> request(size);
            if (!readAll(requests, request.data(), size) || size == 0 || request.back() != '\0')
                return;
            std::vector<char*> argv;
            for (char* at = request.data(); at < request.data() + size; at += std::strlen(at) + 1)
                argv.push_back(at);
            argv.push_back(nullptr);
            Usage usage;
            const auto start = Clock::now();
            const pid_t child = fork();
            if (child == 0) {
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                execvp(argv[0], argv.data());
                _exit(127);
            }
            int status = 0;
            rusage used{};
            if (child > 0 && wait4(child, &status, 0, &used) == child && WIFEXITED(status)
                && WEXITSTATUS(status) == 0) {
                usage.peakMB = double(used.ru_maxrss) / 1024;
                usage.cpuSeconds = double(used.ru_utime.tv_sec + used.ru_stime.tv_sec)
                                   + double(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
                usage.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
            }
            if (!writeAll(replies, &usage, sizeof usage))
                return;
        }
    }

    pid_t m_child = -1;
    int m_requests = -1;
    int m_replies = -1;
};

struct Figures {
    double import = -1;
    double reference = -1;
    int pages = 0;
};

Figures measure(const QString& path, const QByteArray& data, const QTemporaryDir& scratch)
{
    Figures figures;
    figures.import = bestSeconds([&] {
        try {
            figures.pages = int(PDFCodec::importPDF(data, QStringLiteral("bench"), std::nullopt).pages.size());
            return true;
        } catch (...) {
            return false;
        }
    });
    figures.reference = bestSeconds([&] {
        return runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("144"), path,
                                                    scratch.filePath(QStringLiteral("page"))})
            && runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), path,
                                                     scratch.filePath(QStringLiteral("text.html"))});
    });
    return figures;
}

void print(const char* label, const Figures& figures)
{
    std::printf("  %-16s import %8.1f ms (%5.2f ms/page)   reference pdftoppm+pdftotext %8.1f ms   ratio %.2f\n",
                label, figures.import * 1000, figures.import * 1000 / std::max(figures.pages, 1),
                figures.reference * 1000, figures.import / figures.reference);
}

// The ratio the import should stay within for the file, on every processor
// or on one; nothing where none is set.
std::optional<double> target(const QString& path, bool oneProcessor)
{
    const QString name = QFileInfo(path).fileName();
    if (name == QLatin1String("bash-manual.pdf"))
        return oneProcessor ? 0.45 : 0.25;
    if (name == QLatin1String("lm-info.pdf") && oneProcessor)
        return 0.8;
    return std::nullopt;
}

void printTarget(const QString& path, bool oneProcessor, const Figures& figures)
{
    if (const auto ratio = target(path, oneProcessor))
        std::printf("  %-16s target ratio <= %.2f: %s\n", "", *ratio,
                    figures.import / figures.reference <= *ratio ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--poppler-once") == 0)
        return popplerOnce(argv[2]);
    const bool importOnce = argc == 3 && std::strcmp(argv[1], "--import-once") == 0;
    std::optional<PeakLauncher> launcher;
    if (!importOnce)
        launcher.emplace();
    qputenv("ZELVANE_DISABLE_WEB_FONTS", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    // The font cache the import may write to stays out of the user's.
    qputenv("XDG_CACHE_HOME", scratch.filePath(QStringLiteral("cache")).toLocal8Bit());
    QGuiApplication app(argc, argv);
    if (importOnce) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        try {
            PDFCodec::importPDF(file.readAll(), QStringLiteral("bench"), std::nullopt);
        } catch (...) {
            return 1;
        }
        return 0;
    }

    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        std::fprintf(stderr, "pdftoppm and pdftotext (poppler-utils) are needed for the reference\n");
        return 1;
    }

    QStringList files;
    QStringList everywhereOnly;
    for (const QString& argument : app.arguments().mid(1))
        files.append(argument);
    if (files.isEmpty()) {
        const QString manual = scratch.filePath(QStringLiteral("generated-manual.pdf"));
        QFile out(manual);
        if (out.open(QIODevice::WriteOnly) && out.write(testing::makeManualTestPDF(40)) > 0) {
            out.close();
            files.append(manual);
        }
        if (const auto groff = bench::groffManual(scratch, bench::kFortyPageSections))
            files.append(*groff);
        if (const auto groff = bench::groffManual(scratch, bench::kEightySevenPageSections))
            files.append(*groff);
        else
            std::printf("(groff or ps2pdf missing: the groff manual is left out)\n");
        if (const auto bash = bashManual(scratch)) {
            files.append(*bash);
            if (const auto thousand = repeatedPages(*bash, 1000, scratch)) {
                files.append(*thousand);
                everywhereOnly.append(*thousand);
            }
        } else {
            std::printf("(bash's manual page, groff or ps2pdf missing: bash's manual is left out)\n");
        }
        for (const QString& samples : {QStringLiteral("/usr/share/doc/fonts-lmodern/lm-info.pdf"),
                                       QStringLiteral("/usr/share/texmf/doc/fonts/lm/lm-info.pdf"),
                                       QStringLiteral("/usr/share/texlive/texmf-dist/doc/fonts/lm/lm-info.pdf")}) {
            if (QFile::exists(samples)) {
                files.append(samples);
                break;
            }
        }
    }

    const QString mutool = QStandardPaths::findExecutable(QStringLiteral("mutool"));
    if (mutool.isEmpty())
        std::printf("(mutool missing: `make bench` installs mupdf-tools; no CPU reference)\n");
    const QString previous = qEnvironmentVariable("ZELVANE_BENCH_PREVIOUS");
    if (!previous.isEmpty() && !QFileInfo(previous).isExecutable()) {
        std::fprintf(stderr, "ZELVANE_BENCH_PREVIOUS is not a program: %s\n", qPrintable(previous));
        return 1;
    }

    cpu_set_t all;
    sched_getaffinity(0, sizeof all, &all);
    int firstProcessor = 0;
    while (firstProcessor < CPU_SETSIZE && !CPU_ISSET(firstProcessor, &all))
        ++firstProcessor;

    std::printf("PDF import, best of %d runs\n", kRuns);
    bool failed = false;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            failed = true;
            continue;
        }
        const QByteArray data = file.readAll();
        // One import first, so that fonts are loaded and caches warm in both.
        try {
            PDFCodec::importPDF(data, QStringLiteral("bench"), std::nullopt);
        } catch (...) {
            std::fprintf(stderr, "cannot import %s\n", qPrintable(path));
            failed = true;
            continue;
        }
        sched_setaffinity(0, sizeof all, &all);
        const Figures everywhere = measure(path, data, scratch);
        std::printf("%s (%d pages)\n", qPrintable(QFileInfo(path).fileName()), everywhere.pages);
        print(qPrintable(QStringLiteral("%1 processors").arg(CPU_COUNT(&all))), everywhere);
        printTarget(path, false, everywhere);
        if (!everywhereOnly.contains(path)) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(firstProcessor, &one);
            sched_setaffinity(0, sizeof one, &one);
            const Figures single = measure(path, data, scratch);
            sched_setaffinity(0, sizeof all, &all);
            print("1 processor", single);
            printTarget(path, true, single);
        }
        // One import alone in a process of its own: its CPU time (user +
        // system) against mupdf drawing every page once at the import's
        // resolution, its wall time and its peak memory.
        const QStringList once{QStringLiteral("--import-once"), path};
        const auto current = launcher->best(app.applicationFilePath(), once, kRuns);
        std::printf("  one import alone: CPU %.2f s, wall %.2f s, peak memory %.1f MB\n", current.cpuSeconds,
                    current.wallSeconds, current.peakMB);
        if (!mutool.isEmpty()) {
            const auto drawn = launcher->best(
                mutool, {QStringLiteral("draw"), QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-o"),
                         QStringLiteral("/dev/null"), path},
                kRuns);
            // Without a format, mutool writes PNG to /dev/null; the same pass
            // writing plain PNM costs the drawing alone.
            const auto rastered = launcher->best(
                mutool, {QStringLiteral("draw"), QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-F"),
                         QStringLiteral("pnm"), QStringLiteral("-o"), QStringLiteral("/dev/null"), path},
                kRuns);
            if (rastered.peakMB >= 0) {
                std::printf("  reference mutool draw -r 144 -F pnm (drawing only): CPU %.2f s   import CPU ratio %.2f\n",
                            rastered.cpuSeconds, current.cpuSeconds / rastered.cpuSeconds);
                const auto poppler =
                    launcher->best(app.applicationFilePath(), {QStringLiteral("--poppler-once"), path}, kRuns);
                if (poppler.peakMB >= 0)
                    std::printf("  poppler alone drawing every page at 144 dpi and reading its text, one thread: "
                                "CPU %.2f s (ratio to mutool %.2f)   import CPU ratio %.2f\n",
                                poppler.cpuSeconds, poppler.cpuSeconds / rastered.cpuSeconds,
                                current.cpuSeconds / poppler.cpuSeconds);
            }
            if (drawn.peakMB >= 0) {
                std::printf("  reference mutool draw -r 144 -o /dev/null: CPU %.2f s   import CPU ratio %.2f (target 2.5)\n",
                            drawn.cpuSeconds, current.cpuSeconds / drawn.cpuSeconds);
                if (!previous.isEmpty()) {
                    const auto before = launcher->best(previous, once, kRuns);
                    std::printf("  previous build: CPU %.2f s (ratio %.2f), wall %.2f s, peak memory %.1f MB\n",
                                before.cpuSeconds, before.cpuSeconds / drawn.cpuSeconds, before.wallSeconds,
                                before.peakMB);
                }
            }
        } else if (!previous.isEmpty()) {
            const auto before = launcher->best(previous, once, kRuns);
            std::printf("  previous build: CPU %.2f s, wall %.2f s, peak memory %.1f MB\n", before.cpuSeconds,
                        before.wallSeconds, before.peakMB);
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory of the benchmark process %.1f MB\n", double(usage.ru_maxrss) / 1024);
    return failed ? 1 : 0;
}
