#include "AppVersion.h"
#include "HeadlessCLI.h"
#include "Localization.h"

namespace zelvane::HeadlessCLI {

namespace {

// Closes the first line of the help, after the description.
const char* const kMaker = "Tarnwick";

// Option descriptions start in column 33; the two domain options put theirs
// on a line of their own.
const char* const kFrenchUsage =
    "Usage :\n"
    "  zelvane [options] [fichier.svg | fichier.pdf]\n"
    "\n"
    "Options communes :\n"
    "  --version, -v                 Affiche la version et quitte\n"
    "  --help, -h                    Affiche cette aide et quitte\n"
    "  --self-test                   Exécute les auto-tests de bout en bout (SVG, PDF, texte, signature, multipage)\n"
    "  --snapshot <png> [--view <v>] Rend la fenêtre hors écran en PNG (single, multipage, grid, plot, about, help, "
    "shortcuts, settings, osc)\n"
    "  --lang fr|en                  Force la langue d'interface pour cette exécution\n"
    "\n"
    "Options métier :\n"
    "  --info <fichier> [--format txt|csv|json]\n"
    "                                Inspecte les pages, dimensions et textes éditables d'un fichier SVG ou PDF\n"
    "  --convert <entrée> --output <sortie.pdf|svg|png> [--sign <nom>] [--stamp <approved|signed|stagePlot>]\n"
    "                                Convertit, signe ou annote un document SVG/PDF en ligne de commande";

const char* const kEnglishUsage =
    "Usage:\n"
    "  zelvane [options] [file.svg | file.pdf]\n"
    "\n"
    "Common flags:\n"
    "  --version, -v                 Print version and exit\n"
    "  --help, -h                    Print this help and exit\n"
    "  --self-test                   Run end-to-end self-tests (SVG, PDF, text, signature, multi-page)\n"
    "  --snapshot <png> [--view <v>] Render offscreen window to PNG (single, multipage, grid, plot, about, help, "
    "shortcuts, settings, osc)\n"
    "  --lang fr|en                  Force UI language for this run\n"
    "\n"
    "Domain flags:\n"
    "  --info <file> [--format txt|csv|json]\n"
    "                                Inspect pages, dimensions, and editable text blocks of an SVG or PDF file\n"
    "  --convert <input> --output <output.pdf|svg|png> [--sign <name>] [--stamp <approved|signed|stagePlot>]\n"
    "                                Convert, sign, or stamp an SVG/PDF document from the command line";

QString helpIn(const QString& versionLine, const char* description, const char* usage)
{
    return versionLine + QString::fromUtf8(description) + QStringLiteral(" (") + QString::fromUtf8(kMaker) +
           QStringLiteral(")\n\n") + QString::fromUtf8(usage);
}

}  // namespace

QString helpText()
{
    const QString versionLine = AppVersion::current().versionLine();
    return L(helpIn(versionLine, " — Éditeur vectoriel SVG & PDF multipage", kFrenchUsage),
             helpIn(versionLine, " — Multi-page SVG & PDF vector editor", kEnglishUsage));
}

void printHelpAndExit()
{
    HeadlessRuntime::finish({0, helpText().toUtf8() + '\n', {}});
}

}  // namespace zelvane::HeadlessCLI
