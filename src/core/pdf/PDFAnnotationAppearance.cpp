#include "pdf/PDFAnnotationAppearance.h"

#include "pdf/PDFFontMetrics.h"

#include <QByteArray>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <string>
#include <vector>

namespace zelvane {

namespace {

std::string number(double value)
{
    return QByteArray::number(value, 'f', 4).toStdString();
}

}  // namespace

std::string colourOperators(QPDFObjectHandle components, bool stroke)
{
    if (!components.isArray()) {
        return {};
    }
    std::string operands;
    for (QPDFObjectHandle component : components.aitems()) {
        if (!component.isNumber()) {
            return {};
        }
        operands += number(component.getNumericValue()) + " ";
    }
    switch (components.getArrayNItems()) {
    case 1:
        return operands + (stroke ? "G" : "g");
    case 3:
        return operands + (stroke ? "RG" : "rg");
    case 4:
        return operands + (stroke ? "K" : "k");
    default:
        return {};
    }
}

namespace {


// What a default appearance string (/DA) says: the font's resource name and
// size, and the colour of its text as fill operands and operator.
struct DefaultAppearance {
    std::string fontName;
    double fontSize = 0;
    std::string colourOperands = "0";
    std::string colourOperator = "g";
};

DefaultAppearance readDefaultAppearance(const std::string& text)
{
    DefaultAppearance read;
    const QStringList tokens = QString::fromLatin1(text.c_str()).split(QRegularExpression(QStringLiteral("\\s+")),
                                                                      Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens[i];
        if (token == QLatin1String("Tf") && i >= 2 && tokens[i - 2].startsWith(QLatin1Char('/'))) {
            read.fontName = tokens[i - 2].toStdString();
            read.fontSize = tokens[i - 1].toDouble();
        } else if (token == QLatin1String("g") || token == QLatin1String("rg") || token == QLatin1String("k")) {
            const qsizetype count = token == QLatin1String("g") ? 1 : token == QLatin1String("rg") ? 3 : 4;
            if (i < count) {
                continue;
            }
            std::string operands;
            bool numbers = true;
            for (qsizetype k = i - count; k < i; ++k) {
                bool ok = false;
                const double value = tokens[k].toDouble(&ok);
                numbers = numbers && ok;
                operands += number(value) + (k + 1 < i ? " " : "");
            }
            if (numbers) {
                read.colourOperands = operands;
                read.colourOperator = token.toStdString();
            }
        }
    }
    return read;
}

std::string strokeOperator(const std::string& fillOperator)
{
    return fillOperator == "g" ? "G" : fillOperator == "rg" ? "RG" : "K";
}

// The border's width and dashes, from /BS, else /Border, else a solid line
// one point wide.
struct Border {
    double width = 1;
    std::vector<double> dashes;
};

Border borderOf(QPDFObjectHandle annotation)
{
    Border border;
    QPDFObjectHandle style = annotation.getKey("/BS");
    QPDFObjectHandle array = annotation.getKey("/Border");
    QPDFObjectHandle dashes;
    if (style.isDictionary()) {
        if (style.getKey("/W").isNumber()) {
            border.width = style.getKey("/W").getNumericValue();
        }
        if (style.getKey("/S").isNameAndEquals("/D")) {
            dashes = style.getKey("/D");
            if (!dashes.isArray()) {
                border.dashes = {3};
            }
        }
    } else if (array.isArray() && array.getArrayNItems() >= 3 && array.getArrayItem(2).isNumber()) {
        border.width = array.getArrayItem(2).getNumericValue();
        if (array.getArrayNItems() >= 4) {
            dashes = array.getArrayItem(3);
        }
    }
    if (dashes.isArray()) {
        for (QPDFObjectHandle dash : dashes.aitems()) {
            if (dash.isNumber() && dash.getNumericValue() >= 0) {
                border.dashes.push_back(dash.getNumericValue());
            }
        }
    }
    if (!std::isfinite(border.width) || border.width < 0) {
        border.width = 0;
    }
    return border;
}

// /Contents in the bytes of a simple font under WinAnsiEncoding (what
// cannot be written there becomes '?').
std::string winAnsiBytes(const QString& text)
{
    static const std::map<char16_t, char> above = {
        {0x20AC, char(0x80)}, {0x201A, char(0x82)}, {0x0192, char(0x83)}, {0x201E, char(0x84)},
        {0x2026, char(0x85)}, {0x2020, char(0x86)}, {0x2021, char(0x87)}, {0x02C6, char(0x88)},
        {0x2030, char(0x89)}, {0x0160, char(0x8A)}, {0x2039, char(0x8B)}, {0x0152, char(0x8C)},
        {0x017D, char(0x8E)}, {0x2018, char(0x91)}, {0x2019, char(0x92)}, {0x201C, char(0x93)},
        {0x201D, char(0x94)}, {0x2022, char(0x95)}, {0x2013, char(0x96)}, {0x2014, char(0x97)},
        {0x02DC, char(0x98)}, {0x2122, char(0x99)}, {0x0161, char(0x9A)}, {0x203A, char(0x9B)},
        {0x0153, char(0x9C)}, {0x017E, char(0x9E)}, {0x0178, char(0x9F)},
    };
    std::string bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n' || (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF)) {
            bytes += char(u);
        } else if (const auto found = above.find(u); found != above.end()) {
            bytes += found->second;
        } else if (u == '\r') {
            bytes += '\n';
        } else if (!c.isLowSurrogate()) {
            bytes += '?';
        }
    }
    return bytes;
}

// The lines `bytes` make in a box `room` wide (in units of the font size):
// broken at line ends, and where a line grows too long after its last
// space (inside a word too long for a line of its own).
std::vector<std::pair<std::string, double>> laidOutLines(const std::string& bytes, const PDFFontMetrics& metrics,
                                                         double room)
{
    std::vector<std::pair<std::string, double>> lines;
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        const std::string paragraph = bytes.substr(start, end - start);
        const std::vector<PDFGlyph> glyphs = metrics.glyphs(paragraph);
        size_t first = 0;
        do {
            double width = 0;
            size_t last = first;
            size_t lastSpace = std::string::npos;
            double widthAtSpace = 0;
            while (last < glyphs.size()) {
                const double advance = glyphs[last].advance;
                if (width + advance > room && last > first) {
                    break;
                }
                if (glyphs[last].code == " ") {
                    lastSpace = last;
                    widthAtSpace = width;
                }
                width += advance;
                ++last;
            }
            size_t next = last;
            if (last < glyphs.size() && lastSpace != std::string::npos && lastSpace > first) {
                // Broken at the last space, which is left out.
                last = lastSpace;
                width = widthAtSpace;
                next = lastSpace + 1;
            }
            std::string line;
            for (size_t i = first; i < last; ++i) {
                line += glyphs[i].code;
            }
            lines.emplace_back(line, width);
            first = next;
        } while (first < glyphs.size());
        start = end + 1;
    }
    return lines;
}

QPDFObjectHandle newForm(QPDF& pdf, const std::string& content, const QRectF& box, QPDFObjectHandle resources)
{
    QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf, content);
    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", QPDFObjectHandle::newArray(
                                 QPDFObjectHandle::Rectangle(box.left(), box.top(), box.right(), box.bottom())));
    dict.replaceKey("/Resources", resources.isDictionary() ? resources : QPDFObjectHandle::newDictionary());
    return form;
}

// The annotation's opacity (/CA) as a graphics state the content sets
// first; empty when it is opaque.
std::string opacity(QPDFObjectHandle annotation, QPDFObjectHandle& resources)
{
    QPDFObjectHandle alpha = annotation.getKey("/CA");
    if (!alpha.isNumber() || alpha.getNumericValue() >= 1) {
        return {};
    }
    const std::string value = number(std::clamp(alpha.getNumericValue(), 0.0, 1.0));
    if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
    }
    resources.replaceKey("/ExtGState", QPDFObjectHandle::parse("<< /ZelvaneOpacity << /ca " + value + " /CA " + value
                                                               + " >> >>"));
    return "/ZelvaneOpacity gs\n";
}

std::optional<PDFAnnotationAppearance> freeTextAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation)
{
    QPDFObjectHandle dictionary = annotation.getObjectHandle();
    const QPDFObjectHandle::Rectangle rect = annotation.getRect();
    const double width = std::abs(rect.urx - rect.llx);
    const double height = std::abs(rect.ury - rect.lly);
    if (!(width > 0) || !(height > 0)) {
        return std::nullopt;
    }
    QPDFObjectHandle appearanceString = dictionary.getKey("/DA");
    DefaultAppearance da = readDefaultAppearance(appearanceString.isString() ? appearanceString.getStringValue()
                                                                             : std::string());
    if (da.fontName.empty()) {
        da.fontName = "/ZelvaneAnnotationFont";
    }
    if (!(da.fontSize > 0)) {
        da.fontSize = 10;
    }
    const Border border = borderOf(dictionary);
    const double line = border.width;

    // The font of the form's default resources under that name, or Helvetica.
    QPDFObjectHandle resources;
    QPDFObjectHandle font;
    QPDFObjectHandle form = pdf.getRoot().getKey("/AcroForm");
    QPDFObjectHandle defaults = form.isDictionary() ? form.getKey("/DR") : QPDFObjectHandle::newNull();
    if (defaults.isDictionary() && defaults.getKey("/Font").isDictionary()) {
        QPDFObjectHandle named = defaults.getKey("/Font").getKey(da.fontName);
        if (named.isDictionary() && !named.getKey("/Subtype").isNameAndEquals("/Type0")
            && !named.getKey("/Subtype").isNameAndEquals("/Type3")) {
            font = named;
            resources = defaults.shallowCopy();
        }
    }
    if (!font.isDictionary()) {
        font = QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                       "/Encoding /WinAnsiEncoding >>");
        resources = QPDFObjectHandle::newDictionary();
        QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
        fonts.replaceKey(da.fontName, font);
        resources.replaceKey("/Font", fonts);
    }
    const PDFFontMetrics metrics(font);

    std::string content = "q\n" + opacity(dictionary, resources);
    if (line > 0) {
        content += number(line) + " w\n[";
        for (const double dash : border.dashes) {
            content += number(dash) + " ";
        }
        content += "] 0 d\n";
    }
    const std::string fill = colourOperators(dictionary.getKey("/C"), false);
    if (!fill.empty() || line != 0) {
        if (line != 0) {
            content += da.colourOperands + " " + strokeOperator(da.colourOperator) + "\n";
        }
        content += number(line / 2) + " " + number(line / 2) + " " + number(width - line) + " "
                   + number(height - line) + " re\n";
        if (!fill.empty()) {
            content += fill + "\n" + (line != 0 ? "B\n" : "f\n");
        } else {
            content += "S\n";
        }
    }
    const double margin = 2 * line;
    const double textWidth = width - 2 * margin;
    content += number(margin) + " " + number(margin) + " " + number(textWidth) + " " + number(height - 2 * margin)
               + " re W n\n";
    content += da.colourOperands + " " + da.colourOperator + "\n";
    // Each line a font size under the one above, the first under the top.
    content += "BT 1 0 0 1 " + number(margin) + " " + number(height - margin) + " Tm\n" + da.fontName + " " + number(da.fontSize) + " Tf\n";
    QPDFObjectHandle contents = dictionary.getKey("/Contents");
    const std::string bytes =
        winAnsiBytes(contents.isString() ? QString::fromStdString(contents.getUTF8Value()) : QString());
    QPDFObjectHandle quadding = dictionary.getKey("/Q");
    const long long alignment = quadding.isInteger() ? quadding.getIntValue() : 0;
    double previous = 0;
    if (!bytes.empty()) {
        for (const auto& [text, advance] : laidOutLines(bytes, metrics, textWidth / da.fontSize)) {
            const double lineWidth = advance * da.fontSize;
            const double x = alignment == 1 ? (textWidth - lineWidth) / 2 : alignment == 2 ? textWidth - lineWidth : 0;
            content += number(x - previous) + " " + number(-da.fontSize) + " Td\n"
                       + QPDFObjectHandle::newString(text).unparse() + " Tj\n";
            previous = x;
        }
    }
    content += "ET Q\n";
    return PDFAnnotationAppearance{newForm(pdf, content, QRectF(0, 0, width, height), resources),
                                   QPointF(std::min(rect.llx, rect.urx), std::min(rect.lly, rect.ury))};
}

// A rounded square from `low` to `high` on both axes, as a closed path.
std::string roundedSquare(double low, double high, double radius)
{
    const double k = radius * 0.5523;
    const auto n = [](double v) { return number(v); };
    std::string path = n(low + radius) + " " + n(high) + " m ";
    path += n(high - radius) + " " + n(high) + " l ";
    path += n(high - radius + k) + " " + n(high) + " " + n(high) + " " + n(high - radius + k) + " " + n(high) + " "
            + n(high - radius) + " c ";
    path += n(high) + " " + n(low + radius) + " l ";
    path += n(high) + " " + n(low + radius - k) + " " + n(high - radius + k) + " " + n(low) + " " + n(high - radius)
            + " " + n(low) + " c ";
    path += n(low + radius) + " " + n(low) + " l ";
    path += n(low + radius - k) + " " + n(low) + " " + n(low) + " " + n(low + radius - k) + " " + n(low) + " "
            + n(low + radius) + " c ";
    path += n(low) + " " + n(high - radius) + " l ";
    path += n(low) + " " + n(high - radius + k) + " " + n(low + radius - k) + " " + n(high) + " " + n(low + radius)
            + " " + n(high) + " c h\n";
    return path;
}

// A circle as a closed path.
std::string circle(double x, double y, double r)
{
    const double k = r * 0.5523;
    const auto n = [](double v) { return number(v); };
    return n(x + r) + " " + n(y) + " m " + n(x + r) + " " + n(y + k) + " " + n(x + k) + " " + n(y + r) + " " + n(x)
           + " " + n(y + r) + " c " + n(x - k) + " " + n(y + r) + " " + n(x - r) + " " + n(y + k) + " " + n(x - r)
           + " " + n(y) + " c " + n(x - r) + " " + n(y - k) + " " + n(x - k) + " " + n(y - r) + " " + n(x) + " "
           + n(y - r) + " c " + n(x + k) + " " + n(y - r) + " " + n(x + r) + " " + n(y - k) + " " + n(x + r) + " "
           + n(y) + " c h\n";
}

// The strokes of a note's icon on its 24-point square, drawn as poppler
// draws them: once in a dark grey, then once a point higher in a light one.
// Empty for a name poppler draws nothing for.
std::string iconStrokes(const std::string& name, double& squareLow, double& squareHigh)
{
    squareLow = 1;
    squareHigh = 23;
    std::string strokes;
    if (name == "/Note") {
        squareLow = 0;
        squareHigh = 24;
        strokes = "1 J 1 j 2 w 9 18 m 4 18 l 4 7 4 4 6 3 c 20 3 l 18 4 18 7 18 18 c "
                  "17 18 l S\n0 j 1.5 w 10 16 m 14 21 l S\n1 j 1.8 w "
                  + circle(13.5, 20.5, 1.5) + "S\n0 j 1 w 6.5 13.5 m 15.5 13.5 l S 6.5 10.5 m 13.5 10.5 l S "
                  "6.8 7.5 m 15.5 7.5 l S\n";
    } else if (name == "/Comment") {
        strokes = "0 J 1 j 2 w 8 20 m 16 20 l 18.4 20 20 18.2 20 16 c 20 13 l 20 10.8 18.4 9 "
                  "16 9 c 13 9 l 8 3 l 8 9 l 5.6 9 4 10.8 4 13 c 4 16 l 4 18.2 5.6 20 "
                  "8 20 c h S\n";
    } else if (name == "/Key") {
        strokes = "1 J 0 j 2 w " + circle(15.5, 15.5, 3.8) + "S\n13 13 m 5 5 l S 7 7 m 9.5 4.5 l S "
                  "9.5 9.5 m 11.5 7.5 l S\n";
    } else if (name == "/Help") {
        strokes = "1 J 1 j 2.5 w 8 15.5 m 8 18.2 9.8 19.8 12 19.8 c 14.3 19.8 16 18.2 16 16 c 16 13.5 12 12.8 12 10 c "
                  "12 9 l S 12 5.2 m 12 5.4 l S\n";
    } else if (name == "/NewParagraph") {
        strokes = "1 J 1 j 2 w 9.5 4 m 9.5 16 l S 13 4 m 13 16 l S 14.5 16 m 8 16 l 5.8 16 4.2 14.6 4.2 12.8 c "
                  "4.2 11 5.8 9.6 8 9.6 c 9.5 9.6 l S\n1 w 18 21.5 m 19 19 l 21.5 19 l 19.5 17.5 l 20.3 15 l 18 16.5 l "
                  "15.7 15 l 16.5 17.5 l 14.5 19 l 17 19 l h S\n";
    } else if (name == "/Paragraph") {
        strokes = "1 J 1 j 2 w 13 4 m 13 19 l S 16.5 4 m 16.5 19 l S 18.5 19 m 10.5 19 l "
                  "7.5 19 5.5 17 5.5 15 c 5.5 13 7.5 11 10.5 11 c 13 11 l S\n";
    } else if (name == "/Insert") {
        strokes = "1 J 1 j 2 w 11.5 18 m 20 18 l S 8.5 12 m 20 12 l S 11.5 6 m 20 6 l S 4.2 14 m 6.8 12 l 4.2 10 l h S\n";
    } else if (name == "/Cross") {
        strokes = "1 J 0 j 2.5 w 18 5 m 6 17 l S 6 5 m 18 17 l S\n";
    } else if (name == "/Circle") {
        strokes = "1 J 1 j 2.5 w " + circle(12, 11.5, 7.5) + "S\n";
    }
    return strokes;
}

std::optional<PDFAnnotationAppearance> noteAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation)
{
    QPDFObjectHandle dictionary = annotation.getObjectHandle();
    QPDFObjectHandle icon = dictionary.getKey("/Name");
    const std::string name = icon.isName() ? icon.getName() : std::string("/Note");
    double low = 0;
    double high = 24;
    const std::string strokes = iconStrokes(name, low, high);
    if (strokes.empty()) {
        return std::nullopt;
    }
    QPDFObjectHandle resources;
    std::string content = "q\n" + opacity(dictionary, resources);
    const std::string fill = colourOperators(dictionary.getKey("/C"), false);
    content += (fill.empty() ? std::string("1 1 1 rg") : fill) + "\n" + roundedSquare(low, high, 3.6) + "f\n";
    content += "[] 0 d 4 M 0.5333 0.5412 0.5216 RG\n" + strokes;
    content += "0.7294 0.7412 0.7137 RG\nq 1 0 0 1 0 1 cm\n" + strokes + "Q\n";
    content += "Q\n";
    const QPDFObjectHandle::Rectangle rect = annotation.getRect();
    return PDFAnnotationAppearance{newForm(pdf, content, QRectF(0, 0, 24, 24), resources),
                                   QPointF(std::min(rect.llx, rect.urx), std::max(rect.lly, rect.ury) - 24)};
}

// The border's line width and dashes as operators (nothing when it has no
// width).
std::string lineStyle(const Border& border)
{
    if (border.width <= 0) {
        return {};
    }
    std::string style = number(border.width) + " w [";
    for (const double dash : border.dashes) {
        style += number(dash) + " ";
    }
    return style + "] 0 d\n";
}

std::vector<double> numbersOf(QPDFObjectHandle array)
{
    std::vector<double> numbers;
    if (array.isArray()) {
        for (QPDFObjectHandle item : array.aitems()) {
            if (!item.isNumber() || !std::isfinite(item.getNumericValue())) {
                return {};
            }
            numbers.push_back(item.getNumericValue());
        }
    }
    return numbers;
}

// A square or circle: its border in /C, inside its rectangle by half the
// border's width, filled with /IC.
std::optional<PDFAnnotationAppearance> shapeAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation,
                                                       bool ellipse)
{
    QPDFObjectHandle dictionary = annotation.getObjectHandle();
    const QPDFObjectHandle::Rectangle rect = annotation.getRect();
    const double width = std::abs(rect.urx - rect.llx);
    const double height = std::abs(rect.ury - rect.lly);
    if (!(width > 0) || !(height > 0)) {
        return std::nullopt;
    }
    const Border border = borderOf(dictionary);
    QPDFObjectHandle resources;
    std::string content = "q\n" + opacity(dictionary, resources) + colourOperators(dictionary.getKey("/C"), true)
                          + "\n" + lineStyle(border);
    const std::string inside = colourOperators(dictionary.getKey("/IC"), false);
    content += inside + "\n";
    const bool fill = !inside.empty();
    const bool stroke = border.width > 0;
    if (!fill && !stroke) {
        return std::nullopt;
    }
    const double half = border.width / 2;
    if (ellipse) {
        const double rx = width / 2 - half;
        const double ry = height / 2 - half;
        const double kx = rx * 0.5523;
        const double ky = ry * 0.5523;
        const double cx = width / 2;
        const double cy = height / 2;
        const auto n = [](double v) { return number(v); };
        content += n(cx + rx) + " " + n(cy) + " m " + n(cx + rx) + " " + n(cy + ky) + " " + n(cx + kx) + " "
                   + n(cy + ry) + " " + n(cx) + " " + n(cy + ry) + " c " + n(cx - kx) + " " + n(cy + ry) + " "
                   + n(cx - rx) + " " + n(cy + ky) + " " + n(cx - rx) + " " + n(cy) + " c " + n(cx - rx) + " "
                   + n(cy - ky) + " " + n(cx - kx) + " " + n(cy - ry) + " " + n(cx) + " " + n(cy - ry) + " c "
                   + n(cx + kx) + " " + n(cy - ry) + " " + n(cx + rx) + " " + n(cy - ky) + " " + n(cx + rx) + " "
                   + n(cy) + " c h\n";
    } else {
        content += number(half) + " " + number(half) + " " + number(width - border.width) + " "
                   + number(height - border.width) + " re\n";
    }
    content += std::string(fill && stroke ? "b" : fill ? "f" : "S") + "\nQ\n";
    return PDFAnnotationAppearance{newForm(pdf, content, QRectF(0, 0, width, height), resources),
                                   QPointF(std::min(rect.llx, rect.urx), std::min(rect.lly, rect.ury))};
}

// A form drawn in page space: its box the annotation's rectangle, grown to
// hold `points` and `reach` around them.
PDFAnnotationAppearance inPageSpace(QPDF& pdf, QPDFAnnotationObjectHelper& annotation, const std::string& content,
                                    const std::vector<QPointF>& points, double reach, QPDFObjectHandle resources)
{
    const QPDFObjectHandle::Rectangle rect = annotation.getRect();
    QRectF box = QRectF(QPointF(rect.llx, rect.lly), QPointF(rect.urx, rect.ury)).normalized();
    for (const QPointF& point : points) {
        box |= QRectF(point.x() - reach, point.y() - reach, 2 * reach, 2 * reach);
    }
    return PDFAnnotationAppearance{newForm(pdf, content, box, resources), QPointF(0, 0)};
}

// Ink, polygons and polylines: their paths stroked in /C with the border's
// line (a polygon closed and filled with /IC); a line from /L to /L.
std::optional<PDFAnnotationAppearance> pathAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation,
                                                      const std::string& subtype)
{
    QPDFObjectHandle dictionary = annotation.getObjectHandle();
    std::vector<std::vector<double>> paths;
    if (subtype == "/Ink") {
        QPDFObjectHandle list = dictionary.getKey("/InkList");
        if (list.isArray()) {
            for (QPDFObjectHandle path : list.aitems()) {
                paths.push_back(numbersOf(path));
            }
        }
    } else if (subtype == "/Line") {
        paths.push_back(numbersOf(dictionary.getKey("/L")));
        if (paths.back().size() != 4) {
            return std::nullopt;
        }
    } else {
        paths.push_back(numbersOf(dictionary.getKey("/Vertices")));
    }
    const Border border = borderOf(dictionary);
    QPDFObjectHandle resources;
    std::string content = "q\n" + opacity(dictionary, resources) + colourOperators(dictionary.getKey("/C"), true)
                          + "\n" + lineStyle(border);
    const bool closed = subtype == "/Polygon";
    const std::string inside = closed ? colourOperators(dictionary.getKey("/IC"), false) : std::string();
    if (!inside.empty()) {
        content += inside + "\n";
    }
    const bool stroke = border.width > 0;
    if (!stroke && inside.empty()) {
        return std::nullopt;
    }
    std::vector<QPointF> points;
    for (const std::vector<double>& path : paths) {
        if (path.size() < 2) {
            continue;
        }
        for (size_t i = 0; i + 1 < path.size(); i += 2) {
            points.emplace_back(path[i], path[i + 1]);
            content += number(path[i]) + " " + number(path[i + 1]) + (i == 0 ? " m\n" : " l\n");
        }
        if (closed) {
            content += std::string(stroke && !inside.empty() ? "b" : !inside.empty() ? "f" : "s") + "\n";
        } else {
            content += "S\n";
        }
    }
    if (points.empty()) {
        return std::nullopt;
    }
    content += "Q\n";
    return inPageSpace(pdf, annotation, content, points, std::max(1.0, border.width), resources);
}

// Highlights, underlines, strike-outs and squiggly lines over their
// quadrilaterals, in /C, multiplied with what lies under them but for the
// strike-outs.
std::optional<PDFAnnotationAppearance> markupAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation,
                                                        const std::string& subtype)
{
    QPDFObjectHandle dictionary = annotation.getObjectHandle();
    const std::vector<double> quads = numbersOf(dictionary.getKey("/QuadPoints"));
    if (quads.size() < 8) {
        return std::nullopt;
    }
    QPDFObjectHandle resources;
    std::string content = "q\n" + opacity(dictionary, resources);
    if (subtype != "/StrikeOut") {
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
        }
        QPDFObjectHandle states = resources.getKey("/ExtGState");
        if (!states.isDictionary()) {
            states = QPDFObjectHandle::newDictionary();
            resources.replaceKey("/ExtGState", states);
        }
        states.replaceKey("/ZelvaneMultiply", QPDFObjectHandle::parse("<< /BM /Multiply >>"));
        content += "/ZelvaneMultiply gs\n";
    }
    const bool highlight = subtype == "/Highlight";
    content += colourOperators(dictionary.getKey("/C"), !highlight) + "\n";
    if (!highlight) {
        content += "[] 0 d 1 w\n";
    }
    std::vector<QPointF> points;
    double reach = 2;
    const auto n = [](double v) { return number(v); };
    for (size_t i = 0; i + 7 < quads.size(); i += 8) {
        // The top edge from (x1, y1) to (x2, y2), the bottom one from (x3, y3) to (x4, y4).
        const double x1 = quads[i], y1 = quads[i + 1], x2 = quads[i + 2], y2 = quads[i + 3];
        const double x3 = quads[i + 4], y3 = quads[i + 5], x4 = quads[i + 6], y4 = quads[i + 7];
        points.insert(points.end(), {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}});
        if (highlight) {
            // Ends bulging out by a quarter of the height.
            const double bulge = std::abs(y1 - y3) / 4;
            reach = std::max(reach, bulge + 1);
            content += n(x3) + " " + n(y3) + " m " + n(x3 - bulge) + " " + n(y3 + bulge) + " " + n(x1 - bulge) + " "
                       + n(y1 - bulge) + " " + n(x1) + " " + n(y1) + " c " + n(x2) + " " + n(y2) + " l "
                       + n(x2 + bulge) + " " + n(y2 - bulge) + " " + n(x4 + bulge) + " " + n(y4 + bulge) + " "
                       + n(x4) + " " + n(y4) + " c f\n";
        } else if (subtype == "/Underline") {
            content += n(x3) + " " + n(y3) + " m " + n(x4) + " " + n(y4) + " l S\n";
        } else if (subtype == "/StrikeOut") {
            content += n((x1 + x3) / 2) + " " + n((y1 + y3) / 2) + " m " + n((x2 + x4) / 2) + " " + n((y2 + y4) / 2)
                       + " l S\n";
        } else {
            // A zigzag two points a step, a sixth of the height high, on the bottom edge.
            const double rise = (y1 - y3) / 6;
            double x = x1;
            content += n(x) + " " + n(y3 + rise) + " m\n";
            bool down = false;
            int steps = 0;
            do {
                down = !down;
                x += 2;
                content += n(x) + " " + n(y3 + (down ? 0 : rise)) + " l\n";
            } while (x < x2 && ++steps < 100000);
            content += "S\n";
        }
    }
    content += "Q\n";
    return inPageSpace(pdf, annotation, content, points, reach, resources);
}

}  // namespace

std::optional<PDFAnnotationAppearance> madeAnnotationAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation)
{
    try {
        QPDFObjectHandle dictionary = annotation.getObjectHandle();
        QPDFObjectHandle appearances = dictionary.getKey("/AP");
        if (appearances.isDictionary() && !appearances.getKey("/N").isNull()) {
            return std::nullopt;
        }
        const std::string subtype = annotation.getSubtype();
        if (subtype == "/FreeText") {
            return freeTextAppearance(pdf, annotation);
        }
        if (subtype == "/Text") {
            return noteAppearance(pdf, annotation);
        }
        if (subtype == "/Square" || subtype == "/Circle") {
            return shapeAppearance(pdf, annotation, subtype == "/Circle");
        }
        if (subtype == "/Ink" || subtype == "/Line" || subtype == "/Polygon" || subtype == "/PolyLine") {
            return pathAppearance(pdf, annotation, subtype);
        }
        if (subtype == "/Highlight" || subtype == "/Underline" || subtype == "/StrikeOut" || subtype == "/Squiggly") {
            return markupAppearance(pdf, annotation, subtype);
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace zelvane
