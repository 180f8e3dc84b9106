#include "pdf/PDFStandardFontMetrics.h"

#include <QFile>
#include <QString>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace zelvane {

namespace {

const char* const kMetricsFolder = "/usr/share/fonts/type1/urw-base35/";

// The URW face carrying each standard font's metrics.
const std::map<std::string, std::string>& standardFaces()
{
    static const std::map<std::string, std::string> faces = {
        {"Helvetica", "NimbusSans-Regular"},
        {"Helvetica-Bold", "NimbusSans-Bold"},
        {"Helvetica-Oblique", "NimbusSans-Italic"},
        {"Helvetica-BoldOblique", "NimbusSans-BoldItalic"},
        {"Times-Roman", "NimbusRoman-Regular"},
        {"Times-Bold", "NimbusRoman-Bold"},
        {"Times-Italic", "NimbusRoman-Italic"},
        {"Times-BoldItalic", "NimbusRoman-BoldItalic"},
        {"Courier", "NimbusMonoPS-Regular"},
        {"Courier-Bold", "NimbusMonoPS-Bold"},
        {"Courier-Oblique", "NimbusMonoPS-Italic"},
        {"Courier-BoldOblique", "NimbusMonoPS-BoldItalic"},
        {"Symbol", "StandardSymbolsPS"},
        {"ZapfDingbats", "D050000L"},
    };
    return faces;
}

// Glyph names of the WinAnsi codes 0x80..0xFF ("" where none).
constexpr std::array<const char*, 128> kWinAnsiHigh = {
    "Euro", "", "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl", "circumflex",
    "perthousand", "Scaron", "guilsinglleft", "OE", "", "Zcaron", "", "", "quoteleft", "quoteright",
    "quotedblleft", "quotedblright", "bullet", "endash", "emdash", "tilde", "trademark", "scaron",
    "guilsinglright", "oe", "", "zcaron", "Ydieresis", "space", "exclamdown", "cent", "sterling", "currency",
    "yen", "brokenbar", "section", "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot",
    "hyphen", "registered", "macron", "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu",
    "paragraph", "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter",
    "onehalf", "threequarters", "questiondown", "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis",
    "Aring", "AE", "Ccedilla", "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute",
    "Icircumflex", "Idieresis", "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis",
    "multiply", "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls",
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla", "egrave", "eacute",
    "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis", "eth", "ntilde", "ograve",
    "oacute", "ocircumflex", "otilde", "odieresis", "divide", "oslash", "ugrave", "uacute", "ucircumflex",
    "udieresis", "yacute", "thorn", "ydieresis",
};

// Glyph names of the Mac Roman codes 0x80..0xFF.
constexpr std::array<const char*, 128> kMacRomanHigh = {
    "Adieresis", "Aring", "Ccedilla", "Eacute", "Ntilde", "Odieresis", "Udieresis", "aacute", "agrave",
    "acircumflex", "adieresis", "atilde", "aring", "ccedilla", "eacute", "egrave", "ecircumflex", "edieresis",
    "iacute", "igrave", "icircumflex", "idieresis", "ntilde", "oacute", "ograve", "ocircumflex", "odieresis",
    "otilde", "uacute", "ugrave", "ucircumflex", "udieresis", "dagger", "degree", "cent", "sterling", "section",
    "bullet", "paragraph", "germandbls", "registered", "copyright", "trademark", "acute", "dieresis", "notequal",
    "AE", "Oslash", "infinity", "plusminus", "lessequal", "greaterequal", "yen", "mu", "partialdiff",
    "summation", "product", "pi", "integral", "ordfeminine", "ordmasculine", "Omega", "ae", "oslash",
    "questiondown", "exclamdown", "logicalnot", "radical", "florin", "approxequal", "Delta", "guillemotleft",
    "guillemotright", "ellipsis", "space", "Agrave", "Atilde", "Otilde", "OE", "oe", "endash", "emdash",
    "quotedblleft", "quotedblright", "quoteleft", "quoteright", "divide", "lozenge", "ydieresis", "Ydieresis",
    "fraction", "currency", "guilsinglleft", "guilsinglright", "fi", "fl", "daggerdbl", "periodcentered",
    "quotesinglbase", "quotedblbase", "perthousand", "Acircumflex", "Ecircumflex", "Aacute", "Edieresis",
    "Egrave", "Iacute", "Icircumflex", "Idieresis", "Igrave", "Oacute", "Ocircumflex", "", "Ograve", "Uacute",
    "Ucircumflex", "Ugrave", "dotlessi", "circumflex", "tilde", "macron", "breve", "dotaccent", "ring",
    "cedilla", "hungarumlaut", "ogonek", "caron",
};

// A face's metrics: width by glyph name and its own encoding.
struct FaceMetrics {
    std::map<std::string, double> widths;
    std::array<std::string, 256> builtin;
};

std::shared_ptr<const FaceMetrics> readMetricsFile(const std::string& face)
{
    QFile file(QString::fromStdString(kMetricsFolder + face + ".afm"));
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    auto metrics = std::make_shared<FaceMetrics>();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.startsWith("C ")) {
            continue;
        }
        // C code ; WX width ; N name ; B ...
        int code = -1;
        double width = -1;
        std::string name;
        for (const QByteArray& part : line.split(';')) {
            const QList<QByteArray> words = part.simplified().split(' ');
            if (words.size() < 2) {
                continue;
            }
            if (words[0] == "C") {
                code = words[1].toInt();
            } else if (words[0] == "WX") {
                width = words[1].toDouble();
            } else if (words[0] == "N") {
                name = words[1].toStdString();
            }
        }
        if (name.empty() || width < 0) {
            continue;
        }
        metrics->widths[name] = width;
        if (code >= 0 && code < 256) {
            metrics->builtin[size_t(code)] = name;
        }
    }
    return metrics->widths.empty() ? nullptr : metrics;
}

// Read once for the program, by any thread.
std::shared_ptr<const FaceMetrics> faceMetrics(const std::string& face)
{
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const FaceMetrics>> known;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = known.find(face);
    if (found != known.end()) {
        return found->second;
    }
    std::shared_ptr<const FaceMetrics> metrics = readMetricsFile(face);
    known.emplace(face, metrics);
    return metrics;
}

// Glyph names of the codes of WinAnsi (or Mac Roman) encoding, given those
// of the standard encoding.
std::array<std::string, 256> latinEncoding(bool winAnsi, const std::array<std::string, 256>& standard)
{
    std::array<std::string, 256> names;
    // The printable ASCII range is the standard encoding's, but for the quotes.
    for (unsigned code = 32; code < 127; ++code) {
        names[code] = standard[code];
    }
    names[0x27] = "quotesingle";
    names[0x60] = "grave";
    const std::array<const char*, 128>& high = winAnsi ? kWinAnsiHigh : kMacRomanHigh;
    for (unsigned code = 128; code < 256; ++code) {
        names[code] = high[code - 128];
    }
    return names;
}

}  // namespace

std::array<std::string, 256> glyphNamesOf(QPDFObjectHandle encoding, const std::array<std::string, 256>& builtin,
                                          bool namedBases)
{
    std::array<std::string, 256> names = builtin;
    const auto named = [&](const std::string& base) {
        if (!namedBases) {
            return;
        }
        // The text faces' own encoding is the standard one.
        const std::shared_ptr<const FaceMetrics> times = faceMetrics("NimbusRoman-Regular");
        static const std::array<std::string, 256> unknown;
        const std::array<std::string, 256>& standard = times ? times->builtin : unknown;
        if (base == "/StandardEncoding") {
            if (times) {
                names = standard;
            }
        } else if (base == "/WinAnsiEncoding" || base == "/MacRomanEncoding") {
            names = latinEncoding(base == "/WinAnsiEncoding", standard);
        }
    };
    if (encoding.isName()) {
        named(encoding.getName());
    } else if (encoding.isDictionary()) {
        QPDFObjectHandle base = encoding.getKey("/BaseEncoding");
        if (base.isName()) {
            named(base.getName());
        }
        QPDFObjectHandle differences = encoding.getKey("/Differences");
        if (differences.isArray()) {
            long long code = -1;
            for (QPDFObjectHandle item : differences.aitems()) {
                if (item.isInteger()) {
                    code = item.getIntValue();
                } else if (item.isName() && code >= 0) {
                    if (code < 256) {
                        names[size_t(code)] = item.getName().substr(1);
                    }
                    ++code;
                }
            }
        }
    }
    return names;
}

std::optional<std::string> standardFontName(const std::string& baseFont)
{
    // The names poppler, which draws the pages, knows for the standard
    // fonts: any other name (a subset prefix included) it draws with the
    // widths of a font chosen by the descriptor's flags, so no standard
    // metrics can be said to be its own.
    static const std::map<std::string, std::string> kAliases = [] {
        std::map<std::string, std::string> aliases;
        const auto family = [&](const std::string& standard, std::initializer_list<const char*> names) {
            for (const char* name : names) {
                aliases.emplace(name, standard);
            }
        };
        family("Helvetica", {"Arial", "ArialMT", "Helvetica"});
        family("Helvetica-Bold", {"Arial,Bold", "Arial-Bold", "Arial-BoldMT", "Helvetica,Bold", "Helvetica-Bold"});
        family("Helvetica-Oblique",
               {"Arial,Italic", "Arial-Italic", "Arial-ItalicMT", "Helvetica,Italic", "Helvetica-Italic",
                "Helvetica-Oblique"});
        family("Helvetica-BoldOblique",
               {"Arial,BoldItalic", "Arial-BoldItalic", "Arial-BoldItalicMT", "Helvetica,BoldItalic",
                "Helvetica-BoldItalic", "Helvetica-BoldOblique"});
        family("Courier", {"Courier", "CourierNew", "CourierNewPSMT"});
        family("Courier-Bold", {"Courier,Bold", "Courier-Bold", "CourierNew,Bold", "CourierNew-Bold",
                                "CourierNewPS-BoldMT"});
        family("Courier-Oblique", {"Courier,Italic", "Courier-Oblique", "CourierNew,Italic", "CourierNew-Italic",
                                   "CourierNewPS-ItalicMT"});
        family("Courier-BoldOblique", {"Courier,BoldItalic", "Courier-BoldOblique", "CourierNew,BoldItalic",
                                       "CourierNew-BoldItalic", "CourierNewPS-BoldItalicMT"});
        family("Times-Roman", {"Times-Roman", "TimesNewRoman", "TimesNewRomanPS", "TimesNewRomanPSMT"});
        family("Times-Bold", {"Times-Bold", "TimesNewRoman,Bold", "TimesNewRoman-Bold", "TimesNewRomanPS-Bold",
                              "TimesNewRomanPS-BoldMT", "TimesNewRomanPSMT,Bold"});
        family("Times-Italic", {"Times-Italic", "TimesNewRoman,Italic", "TimesNewRoman-Italic",
                                "TimesNewRomanPS-Italic", "TimesNewRomanPS-ItalicMT", "TimesNewRomanPSMT,Italic"});
        family("Times-BoldItalic",
               {"Times-BoldItalic", "TimesNewRoman,BoldItalic", "TimesNewRoman-BoldItalic",
                "TimesNewRomanPS-BoldItalic", "TimesNewRomanPS-BoldItalicMT", "TimesNewRomanPSMT,BoldItalic"});
        family("Symbol", {"Symbol", "Symbol,Bold", "Symbol,Italic", "Symbol,BoldItalic", "SymbolMT",
                          "SymbolMT,Bold", "SymbolMT,Italic", "SymbolMT,BoldItalic"});
        family("ZapfDingbats", {"ZapfDingbats"});
        return aliases;
    }();
    // Spaces do not count ("Times New Roman").
    std::string name;
    for (const char c : baseFont.substr(!baseFont.empty() && baseFont[0] == '/' ? 1 : 0)) {
        if (c != ' ') {
            name += c;
        }
    }
    const auto found = kAliases.find(name);
    if (found == kAliases.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::vector<double>> standardFontWidths(const std::string& baseFont, QPDFObjectHandle encoding)
{
    const std::optional<std::string> standard = standardFontName(baseFont);
    if (!standard) {
        return std::nullopt;
    }
    const std::shared_ptr<const FaceMetrics> face = faceMetrics(standardFaces().at(*standard));
    if (!face) {
        return std::nullopt;
    }
    // Symbol and ZapfDingbats take only their own encoding as a base.
    const bool symbolic = *standard == "Symbol" || *standard == "ZapfDingbats";
    const std::array<std::string, 256> names = glyphNamesOf(encoding, face->builtin, !symbolic);
    std::vector<double> widths(256, 0);
    for (size_t code = 0; code < 256; ++code) {
        const auto found = face->widths.find(names[code]);
        if (found != face->widths.end()) {
            widths[code] = found->second / 1000.0;
        }
    }
    return widths;
}

}  // namespace zelvane
