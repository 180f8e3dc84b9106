#include "pdf/PDFFontMetrics.h"

#include <QString>

#include "pdf/PDFFontProgramMetrics.h"
#include "pdf/PDFPredefinedCMaps.h"
#include "pdf/PDFStandardFontMetrics.h"


#include <qpdf/Buffer.hh>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace zelvane {

namespace {

double numberOf(QPDFObjectHandle value, double fallback)
{
    double number = fallback;
    return value.getValueAsNumber(number) && std::isfinite(number) ? number : fallback;
}

// Reads the "c [v ...]" and "c_first c_last v" entries of a CID font's /W
// (`values` 1) or /W2 (`values` 3) array, giving each CID its values.
// Readers part ways over anything else: CIDs that are not whole numbers of
// 0 to 65535, values that are not numbers, ranges that run backwards or
// give a CID twice; such a font is left unmeasured.
void readCIDMetrics(QPDFObjectHandle array, int values, const std::function<void(unsigned, const double*)>& assign)
{
    if (!array.isArray()) {
        return;
    }
    constexpr unsigned kLastCID = 65535;
    const auto cidOf = [](QPDFObjectHandle item) {
        if (!item.isInteger() || item.getIntValue() < 0 || item.getIntValue() > kLastCID) {
            throw PDFUnmeasurableFont("damaged CID metrics");
        }
        return unsigned(item.getIntValue());
    };
    const auto valueOf = [](QPDFObjectHandle item) {
        double value = 0;
        if (!item.getValueAsNumber(value) || !std::isfinite(value)) {
            throw PDFUnmeasurableFont("damaged CID metrics");
        }
        return value;
    };
    std::vector<bool> given(kLastCID + 1);
    const auto give = [&](unsigned cid, const double* read) {
        if (given[cid]) {
            throw PDFUnmeasurableFont("CID metrics given twice");
        }
        given[cid] = true;
        assign(cid, read);
    };
    const int count = array.getArrayNItems();
    double read[3] = {};
    for (int i = 0; i < count;) {
        const unsigned first = cidOf(array.getArrayItem(i));
        if (i + 1 < count && array.getArrayItem(i + 1).isArray()) {
            QPDFObjectHandle list = array.getArrayItem(i + 1);
            const int items = list.getArrayNItems();
            if (items % values != 0 || first + unsigned(items / values) > kLastCID + 1) {
                throw PDFUnmeasurableFont("damaged CID metrics");
            }
            for (int k = 0; k < items / values; ++k) {
                for (int j = 0; j < values; ++j) {
                    read[j] = valueOf(list.getArrayItem(k * values + j));
                }
                give(first + unsigned(k), read);
            }
            i += 2;
        } else if (i + 1 + values < count) {
            const unsigned last = cidOf(array.getArrayItem(i + 1));
            if (last < first) {
                throw PDFUnmeasurableFont("damaged CID metrics");
            }
            for (int j = 0; j < values; ++j) {
                read[j] = valueOf(array.getArrayItem(i + 2 + j));
            }
            for (unsigned cid = first; cid <= last; ++cid) {
                give(cid, read);
            }
            i += 2 + values;
        } else {
            throw PDFUnmeasurableFont("damaged CID metrics");
        }
    }
}

unsigned bigEndian(const std::string& bytes)
{
    unsigned value = 0;
    for (const unsigned char byte : bytes) {
        value = (value << 8) | byte;
    }
    return value;
}

// Hex strings <...> and decimal numbers of a CMap's text, in order, with the
// keywords between them.
struct CMapToken {
    enum Kind { hex, number, word } kind = word;
    std::string text;
};

std::vector<CMapToken> tokenizeCMap(const std::string& text)
{
    std::vector<CMapToken> tokens;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            while (i < text.size() && text[i] != '\n' && text[i] != '\r') {
                ++i;
            }
        } else if (c == '<' && i + 1 < text.size() && text[i + 1] != '<') {
            const size_t end = text.find('>', i);
            if (end == std::string::npos) {
                break;
            }
            std::string hex;
            for (size_t k = i + 1; k < end; ++k) {
                if (std::isxdigit(static_cast<unsigned char>(text[k]))) {
                    hex += text[k];
                }
            }
            std::string bytes;
            for (size_t k = 0; k + 1 < hex.size(); k += 2) {
                bytes += char(std::stoi(hex.substr(k, 2), nullptr, 16));
            }
            tokens.push_back({CMapToken::hex, bytes});
            i = end + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            tokens.push_back({CMapToken::number, text.substr(i, end - i)});
            i = end;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            tokens.push_back({CMapToken::word, text.substr(i, end - i)});
            i = end;
        } else {
            ++i;
        }
    }
    return tokens;
}

// Glyphs reach this far above and below the baseline at most and at least,
// per unit of size, whatever a font says.
constexpr double kHighestAscent = 1.1;
constexpr double kLowestAscent = 0.5;
constexpr double kDeepestDescent = -0.5;

}  // namespace

PDFFontMetrics::PDFFontMetrics(QPDFObjectHandle font)
{
    if (!font.isDictionary()) {
        throw PDFUnmeasurableFont("font is not a dictionary");
    }
    const std::string subtype = font.getKey("/Subtype").isName() ? font.getKey("/Subtype").getName() : "";
    if (subtype == "/Type0") {
        readCompositeFont(font);
    } else {
        readSimpleFont(font, subtype == "/Type3");
    }
}

void PDFFontMetrics::readExtents(QPDFObjectHandle descriptor, double unitsPerText)
{
    if (!descriptor.isDictionary()) {
        return;
    }
    // What the glyphs really reach: the font program's box, or the font's
    // own box when the program cannot be read.
    std::optional<std::pair<double, double>> reach = embeddedFontReach(descriptor);
    QPDFObjectHandle box = descriptor.getKey("/FontBBox");
    if (!reach && box.isArray() && box.getArrayNItems() == 4) {
        const double bottom = numberOf(box.getArrayItem(1), 0) * unitsPerText;
        const double top = numberOf(box.getArrayItem(3), 0) * unitsPerText;
        if (top > bottom) {
            reach = std::make_pair(bottom, top);
        }
    }
    double ascent = numberOf(descriptor.getKey("/Ascent"), 0) * unitsPerText;
    double descent = numberOf(descriptor.getKey("/Descent"), 0) * unitsPerText;
    if (reach) {
        // A claim beyond what the glyphs reach is not believed.
        ascent = ascent > 0 ? std::min(ascent, reach->second) : reach->second;
        descent = descent < 0 ? std::max(descent, reach->first) : reach->first;
    }
    if (ascent > 0) {
        m_ascent = std::clamp(ascent, kLowestAscent, kHighestAscent);
    }
    if (descent <= 0 && (descent < 0 || reach)) {
        m_descent = std::clamp(descent, kDeepestDescent, 0.0);
    }
}

void PDFFontMetrics::readSimpleFont(QPDFObjectHandle font, bool type3)
{
    // Glyph space to text space: 1/1000, or the Type 3 font's own matrix.
    double scale = 0.001;
    if (type3) {
        QPDFObjectHandle matrix = font.getKey("/FontMatrix");
        if (!matrix.isArray() || matrix.getArrayNItems() != 6) {
            throw PDFUnmeasurableFont("Type 3 font without a font matrix");
        }
        scale = numberOf(matrix.getArrayItem(0), 0);
        const double yScale = numberOf(matrix.getArrayItem(3), 0);
        QPDFObjectHandle box = font.getKey("/FontBBox");
        if (box.isArray() && box.getArrayNItems() == 4) {
            const double top = numberOf(box.getArrayItem(3), 0) * yScale;
            const double bottom = numberOf(box.getArrayItem(1), 0) * yScale;
            if (std::max(top, bottom) > 0) {
                m_ascent = std::clamp(std::max(top, bottom), kLowestAscent, kHighestAscent);
            }
            if (std::min(top, bottom) < 0) {
                m_descent = std::max(std::min(top, bottom), kDeepestDescent);
            }
        }
    } else {
        readExtents(font.getKey("/FontDescriptor"), 0.001);
    }
    QPDFObjectHandle widths = font.getKey("/Widths");
    if (widths.isArray()) {
        // Codes the array does not give a number for take the missing width.
        constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
        m_simpleWidths.assign(256, kUnset);
        // The codes from /FirstChar (0 when not given) to /LastChar (255)
        // take the array's widths in turn, as far as it goes. Readers part
        // ways over codes that are not whole numbers of 0 to 255 or that
        // run backwards, so such a font is left unmeasured.
        const auto code = [&](const char* key, int fallback) {
            QPDFObjectHandle given = font.getKey(key);
            if (given.isNull()) {
                return fallback;
            }
            if (!given.isInteger() || given.getIntValue() < 0 || given.getIntValue() > 255) {
                throw PDFUnmeasurableFont("font whose first or last character code is not one");
            }
            return int(given.getIntValue());
        };
        const int first = code("/FirstChar", 0);
        const int last = code("/LastChar", 255);
        if (last < first) {
            throw PDFUnmeasurableFont("font whose last character code comes before its first");
        }
        const int count = std::min(widths.getArrayNItems(), last - first + 1);
        for (int i = 0; i < count; ++i) {
            double width = 0;
            if (!widths.getArrayItem(i).getValueAsNumber(width) || !std::isfinite(width)) {
                continue;
            }
            m_simpleWidths[size_t(first + i)] = width * scale;
        }
        QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
        const double missing =
            descriptor.isDictionary() ? numberOf(descriptor.getKey("/MissingWidth"), 0) * scale : 0;
        for (double& width : m_simpleWidths) {
            if (std::isnan(width)) {
                width = missing;
            }
        }
        return;
    }
    if (type3) {
        throw PDFUnmeasurableFont("Type 3 font without widths");
    }
    QPDFObjectHandle baseFont = font.getKey("/BaseFont");
    QPDFObjectHandle encoding = font.getKey("/Encoding");
    std::optional<std::vector<double>> standard =
        baseFont.isName() ? standardFontWidths(baseFont.getName(), encoding) : std::nullopt;
    if (!standard) {
        // Poppler, which draws the pages, gives any other font without
        // widths those of the standard face its descriptor's flags choose
        // (embedded program or not): Courier when fixed-pitch, Times when
        // serif or without a descriptor, Helvetica otherwise, bold when
        // forced bold, italic when italic. Without an encoding of its own
        // an embedded program's codes are named by the program, which
        // only it knows: such a font is left unmeasured.
        QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
        const bool embedded = descriptor.isDictionary()
                              && (descriptor.getKey("/FontFile").isStream() || descriptor.getKey("/FontFile2").isStream()
                                  || descriptor.getKey("/FontFile3").isStream());
        if (!embedded || !encoding.isNull()) {
            QPDFObjectHandle flagsEntry = descriptor.isDictionary() ? descriptor.getKey("/Flags") : QPDFObjectHandle();
            constexpr long long kFixedPitch = 1, kSerif = 2, kItalic = 64, kForceBold = 1 << 18;
            const long long flags = flagsEntry.isInteger() ? flagsEntry.getIntValue() : kSerif;
            const bool bold = (flags & kForceBold) != 0;
            const bool italic = (flags & kItalic) != 0;
            std::string face;
            if (flags & kFixedPitch) {
                face = bold && italic ? "Courier-BoldOblique" : bold ? "Courier-Bold" : italic ? "Courier-Oblique" : "Courier";
            } else if (flags & kSerif) {
                face = bold && italic ? "Times-BoldItalic" : bold ? "Times-Bold" : italic ? "Times-Italic" : "Times-Roman";
            } else {
                face = bold && italic ? "Helvetica-BoldOblique" : bold ? "Helvetica-Bold" : italic ? "Helvetica-Oblique" : "Helvetica";
            }
            standard = standardFontWidths("/" + face, encoding);
        }
    }
    if (!standard) {
        throw PDFUnmeasurableFont("font without widths");
    }
    m_simpleWidths = std::move(*standard);
    m_ascent = 0.75;
    m_descent = -0.25;
}

void PDFFontMetrics::readEmbeddedCMap(QPDFObjectHandle stream)
{
    const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
    std::string text(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    // A map based on a predefined one: its own entries, then the base's.
    QPDFObjectHandle base = stream.getDict().getKey("/UseCMap");
    if (base.isStream()) {
        throw PDFUnmeasurableFont("character-code map based on another");
    }
    if (base.isName()) {
        const std::optional<std::string> inherited = predefinedCMapText(base.getName().substr(1));
        if (!inherited) {
            throw PDFUnmeasurableFont("character-code map based on one not installed");
        }
        text += '\n' + *inherited;
    }
    // The same stated in the map itself.
    if (const size_t statement = text.find("usecmap"); statement != std::string::npos) {
        const size_t slash = text.rfind('/', statement);
        const std::string name =
            slash == std::string::npos ? std::string() : QString::fromStdString(text.substr(slash + 1, statement - slash - 1))
                                                              .trimmed()
                                                              .toStdString();
        const std::optional<std::string> inherited = name.empty() ? std::nullopt : predefinedCMapText(name);
        if (!inherited) {
            throw PDFUnmeasurableFont("character-code map based on another");
        }
        text = text.substr(0, slash) + text.substr(statement + 7) + '\n' + *inherited;
    }
    readCMapText(text);
}

void PDFFontMetrics::readCMapText(const std::string& text)
{
    const std::vector<CMapToken> tokens = tokenizeCMap(text);
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != CMapToken::word) {
            continue;
        }
        const std::string& word = tokens[i].text;
        if (word == "usecmap") {
            throw PDFUnmeasurableFont("character-code map based on another");
        }
        if (word == "begincodespacerange") {
            for (++i; i + 1 < tokens.size() && tokens[i].kind == CMapToken::hex; i += 2) {
                m_codeSpaces.push_back({tokens[i].text, tokens[i + 1].text});
            }
        } else if (word == "begincidrange") {
            for (++i; i + 2 < tokens.size() && tokens[i].kind == CMapToken::hex; i += 3) {
                m_cidRanges.push_back({bigEndian(tokens[i].text), bigEndian(tokens[i + 1].text),
                                       int(tokens[i].text.size()), unsigned(std::stoul(tokens[i + 2].text))});
            }
        } else if (word == "begincidchar") {
            for (++i; i + 1 < tokens.size() && tokens[i].kind == CMapToken::hex; i += 2) {
                const unsigned code = bigEndian(tokens[i].text);
                m_cidRanges.push_back({code, code, int(tokens[i].text.size()),
                                       unsigned(std::stoul(tokens[i + 1].text))});
            }
        }
    }
    if (m_codeSpaces.empty()) {
        throw PDFUnmeasurableFont("character-code map without code space");
    }
}

void PDFFontMetrics::readCompositeFont(QPDFObjectHandle font)
{
    m_composite = true;
    QPDFObjectHandle encoding = font.getKey("/Encoding");
    if (encoding.isName() && (encoding.getName() == "/Identity-H" || encoding.getName() == "/Identity-V")) {
        m_identity = true;
        m_vertical = encoding.getName() == "/Identity-V";
    } else if (encoding.isStream()) {
        QPDFObjectHandle mode = encoding.getDict().getKey("/WMode");
        m_vertical = mode.isInteger() && mode.getIntValue() == 1;
        readEmbeddedCMap(encoding);
    } else if (encoding.isName()) {
        const std::optional<std::string> predefined = predefinedCMapText(encoding.getName().substr(1));
        if (!predefined) {
            throw PDFUnmeasurableFont("composite font with a predefined character-code map not installed");
        }
        m_vertical = predefined->find("/WMode 1 def") != std::string::npos;
        readCMapText(*predefined);
    } else {
        throw PDFUnmeasurableFont("composite font without a character-code map");
    }
    QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
    QPDFObjectHandle cidFont =
        descendants.isArray() && descendants.getArrayNItems() >= 1 ? descendants.getArrayItem(0) : descendants;
    if (!cidFont.isDictionary()) {
        throw PDFUnmeasurableFont("composite font without its CID font");
    }
    readExtents(cidFont.getKey("/FontDescriptor"), 0.001);
    QPDFObjectHandle defaultWidth = cidFont.getKey("/DW");
    if (!defaultWidth.isNull() && (!defaultWidth.isInteger() || defaultWidth.getIntValue() < 0)) {
        // Poppler takes only a whole number, others any number.
        throw PDFUnmeasurableFont("CID font whose default width is not a whole number of units");
    }
    m_defaultWidth = defaultWidth.isNull() ? 1.0 : double(defaultWidth.getIntValue()) / 1000.0;
    readCIDMetrics(cidFont.getKey("/W"), 1, [this](unsigned cid, const double* values) {
        if (values[0] < 0) {
            throw PDFUnmeasurableFont("CID font with a negative width");
        }
        m_cidWidths[cid] = values[0] / 1000.0;
    });
    if (!m_vertical) {
        return;
    }
    QPDFObjectHandle defaults = cidFont.getKey("/DW2");
    if (defaults.isArray() && defaults.getArrayNItems() == 2) {
        m_defaultVerticalY = numberOf(defaults.getArrayItem(0), 880) / 1000.0;
        m_defaultVerticalAdvance = numberOf(defaults.getArrayItem(1), -1000) / 1000.0;
    }
    readCIDMetrics(cidFont.getKey("/W2"), 3, [this](unsigned cid, const double* values) {
        m_cidVertical[cid] = {values[0] / 1000.0, values[1] / 1000.0, values[2] / 1000.0};
    });
}

unsigned PDFFontMetrics::cidOf(unsigned code, int bytes) const
{
    if (m_identity) {
        return code;
    }
    for (const CIDRange& range : m_cidRanges) {
        if (range.bytes == bytes && code >= range.low && code <= range.high) {
            return range.firstCID + (code - range.low);
        }
    }
    return 0;
}

double PDFFontMetrics::cidWidth(unsigned cid) const
{
    const auto found = m_cidWidths.find(cid);
    return found == m_cidWidths.end() ? m_defaultWidth : found->second;
}

PDFFontMetrics::VerticalMetrics PDFFontMetrics::cidVertical(unsigned cid) const
{
    const auto found = m_cidVertical.find(cid);
    if (found != m_cidVertical.end()) {
        return found->second;
    }
    return {m_defaultVerticalAdvance, cidWidth(cid) / 2, m_defaultVerticalY};
}

std::vector<PDFGlyph> PDFFontMetrics::glyphs(const std::string& bytes) const
{
    std::vector<PDFGlyph> result;
    if (!m_composite) {
        result.reserve(bytes.size());
        for (const char byte : bytes) {
            const unsigned char code = static_cast<unsigned char>(byte);
            const double width = m_simpleWidths[code];
            // Readers draw text of negative widths backwards; such text is
            // left unmeasured rather than placed otherwise.
            if (width < 0) {
                throw PDFUnmeasurableFont("code of a negative width");
            }
            result.push_back({std::string(1, byte), width, 0, 0, width, code == 32});
        }
        return result;
    }
    size_t i = 0;
    while (i < bytes.size()) {
        int length = 0;
        if (m_identity) {
            length = 2;
        } else {
            // The shortest code space range that holds the next bytes.
            for (size_t n = 1; n <= 4 && length == 0 && i + n <= bytes.size(); ++n) {
                const std::string candidate = bytes.substr(i, n);
                for (const CodeSpace& space : m_codeSpaces) {
                    if (space.low.size() != n) {
                        continue;
                    }
                    bool inside = true;
                    for (size_t k = 0; k < n; ++k) {
                        const auto byte = static_cast<unsigned char>(candidate[k]);
                        if (byte < static_cast<unsigned char>(space.low[k])
                            || byte > static_cast<unsigned char>(space.high[k])) {
                            inside = false;
                            break;
                        }
                    }
                    if (inside) {
                        length = int(n);
                        break;
                    }
                }
            }
        }
        if (length == 0 || i + size_t(length) > bytes.size()) {
            throw PDFUnmeasurableFont("string does not split into codes of the font");
        }
        const std::string code = bytes.substr(i, size_t(length));
        const unsigned cid = cidOf(bigEndian(code), length);
        PDFGlyph glyph;
        glyph.code = code;
        glyph.width = cidWidth(cid);
        glyph.wordSpace = length == 1 && code[0] == ' ';
        if (m_vertical) {
            const VerticalMetrics metrics = cidVertical(cid);
            glyph.advance = metrics.advance;
            glyph.originX = metrics.originX;
            glyph.originY = metrics.originY;
        } else {
            glyph.advance = glyph.width;
        }
        result.push_back(std::move(glyph));
        i += size_t(length);
    }
    return result;
}

}  // namespace zelvane
