#pragma once

// The groff/Ghostscript man page the benchmarks import: headings,
// paragraphs, option lists and examples set by groff and turned into PDF by
// Ghostscript, as a real manual would be.

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace zelvane::bench {

// Sections for a manual of about 40 pages, and of 87 pages.
constexpr int kFortyPageSections = 48;
constexpr int kEightySevenPageSections = 108;

inline bool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The roff source of the manual: `sections` sections made of the same
// pseudo-random words in every run.
inline QByteArray manPageSource(int sections)
{
    static const char* const words[] = {"file", "page", "option", "export", "vector", "signature", "the", "a",
                                        "with", "document", "text", "opens", "writes", "layer", "of", "shell"};
    quint32 seed = 87;
    const auto sentence = [&](int count) {
        QByteArray text;
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += (i ? " " : "") + QByteArray(words[(seed >> 16) % (sizeof(words) / sizeof(words[0]))]);
        }
        return text;
    };
    QByteArray roff = ".TH ZELVANE-BENCH 1 \"2026\" \"bench\" \"Benchmark manual\"\n";
    for (int s = 0; s < sections; ++s) {
        roff += ".SH SECTION " + QByteArray::number(s + 1) + "\n";
        for (int p = 0; p < 5; ++p)
            roff += ".PP\n" + sentence(70) + "\n";
        for (int o = 0; o < 6; ++o)
            roff += ".TP\n.B \\-\\-" + sentence(1) + "\n" + sentence(25) + "\n";
        roff += ".nf\n.ft CR\n  $ " + sentence(6) + "\n  $ " + sentence(5) + "\n.ft R\n.fi\n";
    }
    return roff;
}

// The manual typeset into `folder`, or nothing when groff or ps2pdf is
// missing or fails.
inline std::optional<QString> groffManual(const QTemporaryDir& folder, int sections)
{
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    const QString ps2pdf = QStandardPaths::findExecutable(QStringLiteral("ps2pdf"));
    if (groff.isEmpty() || ps2pdf.isEmpty())
        return std::nullopt;
    const QString postscript = folder.filePath(QStringLiteral("manual-%1.ps").arg(sections));
    QProcess typeset;
    typeset.setStandardOutputFile(postscript);
    typeset.start(groff, {QStringLiteral("-man"), QStringLiteral("-Tps")});
    typeset.write(manPageSource(sections));
    typeset.closeWriteChannel();
    if (!typeset.waitForFinished(-1) || typeset.exitCode() != 0)
        return std::nullopt;
    const QString pdf = folder.filePath(QStringLiteral("groff-manual-%1.pdf").arg(sections));
    if (!runTool(ps2pdf, {postscript, pdf}))
        return std::nullopt;
    return pdf;
}

}  // namespace zelvane::bench
