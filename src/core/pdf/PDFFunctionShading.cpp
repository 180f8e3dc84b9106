#include "pdf/PDFFunctionShading.h"

#include "pdf/PDFFunction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zelvane {

namespace {

// The cell poppler aims at, in units of the space the shading is drawn in.
constexpr double kCellSide = 10;
// Cells along each side of the domain in the lattice written instead.
constexpr int kMostLatticeCells = 128;
// Colour components a shading may have, as poppler allows.
constexpr int kMostComponents = 32;

std::vector<double> numbers(QPDFObjectHandle array)
{
    std::vector<double> values;
    if (!array.isArray())
        return values;
    for (QPDFObjectHandle item : array.aitems()) {
        if (!item.isNumber() || !std::isfinite(item.getNumericValue()))
            return {};
        values.push_back(item.getNumericValue());
    }
    return values;
}

// The components of a colour in `space`; 0 when unknown.
int colourComponents(QPDFObjectHandle space, int depth = 0)
{
    if (depth > 4)
        return 0;
    if (space.isName()) {
        const std::string name = space.getName();
        if (name == "/DeviceGray" || name == "/G" || name == "/CalGray" || name == "/Indexed" || name == "/I")
            return 1;
        if (name == "/DeviceRGB" || name == "/RGB" || name == "/CalRGB" || name == "/Lab")
            return 3;
        if (name == "/DeviceCMYK" || name == "/CMYK")
            return 4;
        return 0;
    }
    if (!space.isArray() || space.getArrayNItems() < 1 || !space.getArrayItem(0).isName())
        return 0;
    const std::string family = space.getArrayItem(0).getName();
    if (space.getArrayNItems() == 1)
        return colourComponents(space.getArrayItem(0), depth + 1);
    if (family == "/ICCBased") {
        QPDFObjectHandle profile = space.getArrayItem(1);
        QPDFObjectHandle count = profile.isStream() ? profile.getDict().getKey("/N") : QPDFObjectHandle::newNull();
        return count.isInteger() ? int(std::clamp<long long>(count.getIntValue(), 0, kMostComponents)) : 0;
    }
    if (family == "/Separation" || family == "/Indexed" || family == "/I" || family == "/CalGray")
        return 1;
    if (family == "/CalRGB" || family == "/Lab")
        return 3;
    if (family == "/DeviceN") {
        QPDFObjectHandle names = space.getArrayItem(1);
        return names.isArray() ? std::min(names.getArrayNItems(), kMostComponents) : 0;
    }
    return colourComponents(space.getArrayItem(0), depth + 1);
}

void appendBigEndian(std::string& bytes, uint64_t value, int byteCount)
{
    for (int i = byteCount - 1; i >= 0; --i)
        bytes.push_back(char((value >> (8 * i)) & 0xFF));
}

// The code of `value` in [low, high] on `bits` bits.
uint64_t code(double value, double low, double high, int bits)
{
    const double largest = std::ldexp(1.0, bits) - 1;
    return uint64_t(std::llround(std::clamp((value - low) / (high - low), 0.0, 1.0) * largest));
}

QPDFObjectHandle numberArray(const std::vector<double>& values)
{
    QPDFObjectHandle array = QPDFObjectHandle::newArray();
    for (const double value : values)
        array.appendItem(QPDFObjectHandle::newReal(value, 6, true));
    return array;
}

}  // namespace

QPDFObjectHandle boundedFunctionShading(QPDFObjectHandle shading)
{
    QPDFObjectHandle none = QPDFObjectHandle::newNull();
    QPDFObjectHandle dictionary = shading.isStream() ? shading.getDict() : shading;
    QPDF* owner = shading.getOwningQPDF();
    if (!dictionary.isDictionary() || !owner)
        return none;
    QPDFObjectHandle type = dictionary.getKey("/ShadingType");
    if (!type.isInteger() || type.getIntValue() != 1)
        return none;
    std::vector<double> domain = dictionary.hasKey("/Domain") ? numbers(dictionary.getKey("/Domain"))
                                                              : std::vector<double>{0, 1, 0, 1};
    std::vector<double> matrix = dictionary.hasKey("/Matrix") ? numbers(dictionary.getKey("/Matrix"))
                                                              : std::vector<double>{1, 0, 0, 1, 0, 0};
    if (domain.size() != 4 || matrix.size() != 6)
        return none;
    const double x0 = domain[0], x1 = domain[1], y0 = domain[2], y1 = domain[3];
    const double a = matrix[0], b = matrix[1], c = matrix[2], d = matrix[3], e = matrix[4], f = matrix[5];
    // An empty domain makes no cell; a matrix that cannot be inverted sends
    // the shading to poppler's own subdivision, which is bounded.
    const double determinant = a * d - b * c;
    if (!(x1 > x0 && y1 > y0) || !std::isfinite(determinant) || determinant == 0)
        return none;
    // Ten units along both axes of the drawing space, in the domain.
    const double stepX = (d - c) * kCellSide / determinant;
    const double stepY = (a - b) * kCellSide / determinant;
    if (stepX > 0 && stepY > 0 && std::isfinite(stepX) && std::isfinite(stepY)) {
        const double cells = std::ceil((x1 - x0) / stepX) * std::ceil((y1 - y0) / stepY);
        if (cells <= kMostFunctionShadingCells)
            return none;
    }

    // The functions: one giving every component, or one a component.
    std::vector<std::unique_ptr<PDFFunction>> functions;
    QPDFObjectHandle function = dictionary.getKey("/Function");
    if (function.isArray()) {
        for (QPDFObjectHandle item : function.aitems())
            functions.push_back(PDFFunction::read(item));
    } else {
        functions.push_back(PDFFunction::read(function));
    }
    int outputs = 0;
    for (size_t i = 0; i < functions.size(); ++i) {
        if (!functions[i]) {
            functions.clear();
            break;
        }
        outputs = std::max(outputs, int(i) + functions[i]->outputCount());
    }
    const int components = colourComponents(dictionary.getKey("/ColorSpace")) > 0
                               ? colourComponents(dictionary.getKey("/ColorSpace"))
                               : outputs;
    // Functions too few for the colour space leave poppler drawing nothing.
    const bool tooFew = functions.size() == 1 ? functions.front()->outputCount() < components
                                              : int(functions.size()) != components;
    if (tooFew || outputs > kMostComponents || components < 1 || components > kMostComponents)
        functions.clear();

    // Cells about ten units wide along each side of the domain as drawn.
    const auto cellsAlong = [](double length) {
        return std::isfinite(length) ? std::clamp(int(std::ceil(length / kCellSide)), 1, kMostLatticeCells)
                                     : kMostLatticeCells;
    };
    const int columns = cellsAlong(std::hypot(a, b) * (x1 - x0));
    const int rows = cellsAlong(std::hypot(c, d) * (y1 - y0));

    std::vector<double> places;
    std::vector<double> colours;
    if (!functions.empty()) {
        const size_t vertices = size_t(columns + 1) * size_t(rows + 1);
        places.reserve(2 * vertices);
        colours.reserve(size_t(components) * vertices);
        double out[2 * kMostComponents];
        for (int row = 0; row <= rows; ++row) {
            for (int column = 0; column <= columns; ++column) {
                // Inputs past the two a shading gives are 0.
                const double in[4] = {x0 + (x1 - x0) * column / columns, y0 + (y1 - y0) * row / rows, 0, 0};
                places.push_back(a * in[0] + c * in[1] + e);
                places.push_back(b * in[0] + d * in[1] + f);
                std::fill(std::begin(out), std::end(out), 0.0);
                for (size_t i = 0; i < functions.size(); ++i)
                    functions[i]->evaluate(in, out + i);
                colours.insert(colours.end(), out, out + components);
            }
        }
    }

    // The range each value takes, for the codes.
    std::vector<double> decode;
    const auto rangeOf = [&](const std::vector<double>& values, size_t first, size_t stride) {
        double low = 0, high = 0;
        for (size_t i = first; i < values.size(); i += stride) {
            low = i == first ? values[i] : std::min(low, values[i]);
            high = i == first ? values[i] : std::max(high, values[i]);
        }
        decode.push_back(low);
        decode.push_back(high > low ? high : low + 1);
    };
    rangeOf(places, 0, 2);
    rangeOf(places, 1, 2);
    for (int component = 0; component < std::max(components, 1); ++component)
        rangeOf(colours, size_t(component), size_t(std::max(components, 1)));

    std::string data;
    data.reserve(places.size() * 4 + colours.size() * 2);
    for (size_t vertex = 0; vertex < places.size() / 2; ++vertex) {
        appendBigEndian(data, code(places[2 * vertex], decode[0], decode[1], 32), 4);
        appendBigEndian(data, code(places[2 * vertex + 1], decode[2], decode[3], 32), 4);
        for (int component = 0; component < components; ++component) {
            const size_t at = vertex * size_t(components) + size_t(component);
            appendBigEndian(data, code(colours[at], decode[4 + 2 * component], decode[5 + 2 * component], 16), 2);
        }
    }

    QPDFObjectHandle lattice = QPDFObjectHandle::newStream(owner, data);
    QPDFObjectHandle keys = lattice.getDict();
    keys.replaceKey("/ShadingType", QPDFObjectHandle::newInteger(5));
    for (const char* kept : {"/ColorSpace", "/Background", "/BBox", "/AntiAlias"}) {
        if (dictionary.hasKey(kept))
            keys.replaceKey(kept, dictionary.getKey(kept));
    }
    keys.replaceKey("/BitsPerCoordinate", QPDFObjectHandle::newInteger(32));
    keys.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(16));
    keys.replaceKey("/VerticesPerRow", QPDFObjectHandle::newInteger(columns + 1));
    keys.replaceKey("/Decode", numberArray(decode));
    return lattice;
}

}  // namespace zelvane
