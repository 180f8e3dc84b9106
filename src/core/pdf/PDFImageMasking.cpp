#include "pdf/PDFImageMasking.h"

#include "pdf/PDFResourcePruning.h"

#include <QPolygonF>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>

#include <algorithm>
#include <cmath>
#include <map>

namespace zelvane {

namespace {

double numberOf(QPDFObjectHandle value, double fallback)
{
    double number = fallback;
    return value.getValueAsNumber(number) && std::isfinite(number) ? number : fallback;
}

std::string nameOf(QPDFObjectHandle value)
{
    return value.isName() ? value.getName() : std::string();
}

// How a colour is written in an image's colour space: the values of its
// components before the decode array, for the mask colours.
class ColourWriter {
public:
    ColourWriter(QPDFObjectHandle space, QPDFObjectHandle resources, int depth = 0)
    {
        if (depth > 4) {
            throw PDFUnfilterableContent("colour space nested too deep");
        }
        if (space.isName()) {
            const std::string name = space.getName();
            if (name == "/DeviceGray" || name == "/G" || name == "/CalGray") {
                m_kind = Kind::gray;
            } else if (name == "/DeviceRGB" || name == "/RGB" || name == "/CalRGB") {
                m_kind = Kind::rgb;
            } else if (name == "/DeviceCMYK" || name == "/CMYK") {
                m_kind = Kind::cmyk;
            } else {
                QPDFObjectHandle spaces = resources.isDictionary() ? resources.getKey("/ColorSpace")
                                                                         : QPDFObjectHandle::newNull();
                if (!spaces.isDictionary() || !spaces.hasKey(name)) {
                    throw PDFUnfilterableContent("unknown image colour space " + name);
                }
                *this = ColourWriter(spaces.getKey(name), resources, depth + 1);
            }
            return;
        }
        if (!space.isArray() || space.getArrayNItems() < 1) {
            throw PDFUnfilterableContent("image colour space not readable");
        }
        const std::string family = nameOf(space.getArrayItem(0));
        if (family == "/CalGray") {
            m_kind = Kind::gray;
        } else if (family == "/CalRGB") {
            m_kind = Kind::rgb;
        } else if (family == "/ICCBased") {
            QPDFObjectHandle profile = space.getArrayItem(1);
            const int n = profile.isStream() ? int(numberOf(profile.getDict().getKey("/N"), 0)) : 0;
            m_kind = n == 1 ? Kind::gray : n == 3 ? Kind::rgb : n == 4 ? Kind::cmyk : Kind::none;
        } else if (family == "/Separation") {
            m_kind = Kind::noInk;
            m_components = 1;
        } else if (family == "/DeviceN" && space.getArrayItem(1).isArray()) {
            m_kind = Kind::noInk;
            m_components = space.getArrayItem(1).getArrayNItems();
        } else if ((family == "/Indexed" || family == "/I") && space.getArrayNItems() == 4) {
            m_kind = Kind::indexed;
            m_base = std::make_shared<ColourWriter>(space.getArrayItem(1), resources, depth + 1);
            m_highest = int(numberOf(space.getArrayItem(2), -1));
            QPDFObjectHandle lookup = space.getArrayItem(3);
            if (lookup.isString()) {
                m_palette = lookup.getStringValue();
            } else if (lookup.isStream()) {
                const std::shared_ptr<Buffer> bytes = lookup.getStreamData(qpdf_dl_generalized);
                m_palette.assign(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
            }
            if (m_highest < 0 || m_highest > 255 || m_base->m_kind == Kind::indexed
                || m_palette.size() < size_t(m_highest + 1) * size_t(m_base->components())) {
                throw PDFUnfilterableContent("damaged indexed colour space");
            }
        }
        if (m_kind == Kind::none) {
            throw PDFUnfilterableContent("image colour space " + family + " not supported");
        }
    }

    int components() const
    {
        switch (m_kind) {
        case Kind::gray:
        case Kind::indexed:
            return 1;
        case Kind::rgb:
            return 3;
        case Kind::cmyk:
            return 4;
        case Kind::noInk:
            return m_components;
        case Kind::none:
            break;
        }
        return 0;
    }

    bool indexed() const { return m_kind == Kind::indexed; }

    // Component values of `colour` (0...1, or a palette index).
    std::vector<double> values(const QColor& colour) const
    {
        const double r = colour.redF(), g = colour.greenF(), b = colour.blueF();
        switch (m_kind) {
        case Kind::gray:
            return {0.299 * r + 0.587 * g + 0.114 * b};
        case Kind::rgb:
            return {r, g, b};
        case Kind::cmyk: {
            const double k = 1 - std::max({r, g, b});
            const double rest = k < 1 ? 1 - k : 1;
            return {(1 - r - k) / rest, (1 - g - k) / rest, (1 - b - k) / rest, k};
        }
        case Kind::noInk:
            return std::vector<double>(size_t(m_components), 0.0);
        case Kind::indexed:
            return {double(nearestEntry(colour))};
        case Kind::none:
            break;
        }
        return {};
    }

private:
    enum class Kind { none, gray, rgb, cmyk, noInk, indexed };

    QColor rgbOf(const std::vector<double>& v) const
    {
        const auto unit = [](double x) { return std::clamp(x, 0.0, 1.0); };
        switch (m_kind) {
        case Kind::gray:
            return QColor::fromRgbF(unit(v[0]), unit(v[0]), unit(v[0]));
        case Kind::rgb:
            return QColor::fromRgbF(unit(v[0]), unit(v[1]), unit(v[2]));
        case Kind::cmyk:
            return QColor::fromRgbF(unit((1 - v[0]) * (1 - v[3])), unit((1 - v[1]) * (1 - v[3])),
                                    unit((1 - v[2]) * (1 - v[3])));
        default:
            return QColor(Qt::white);
        }
    }

    int nearestEntry(const QColor& colour) const
    {
        const int n = m_base->components();
        int best = 0;
        double bestDistance = 1e9;
        for (int entry = 0; entry <= m_highest; ++entry) {
            std::vector<double> v;
            for (int c = 0; c < n; ++c) {
                v.push_back(static_cast<unsigned char>(m_palette[size_t(entry * n + c)]) / 255.0);
            }
            const QColor candidate = m_base->rgbOf(v);
            const double distance = std::pow(candidate.redF() - colour.redF(), 2)
                                    + std::pow(candidate.greenF() - colour.greenF(), 2)
                                    + std::pow(candidate.blueF() - colour.blueF(), 2);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = entry;
            }
        }
        return best;
    }

    Kind m_kind = Kind::none;
    int m_components = 0;
    std::shared_ptr<ColourWriter> m_base;
    int m_highest = 0;
    std::string m_palette;
};

struct Raster {
    int width = 0;
    int height = 0;
    int bits = 8;
    int components = 1;
    size_t stride = 0;
    std::string data;

    void set(int x, int y, int component, unsigned value)
    {
        const size_t bitOffset = size_t(x * components + component) * size_t(bits);
        const size_t byte = size_t(y) * stride + bitOffset / 8;
        if (bits == 16) {
            data[byte] = char(value >> 8);
            data[byte + 1] = char(value & 0xFF);
        } else if (bits == 8) {
            data[byte] = char(value);
        } else {
            const int shift = 8 - int(bitOffset % 8) - bits;
            const unsigned mask = ((1u << bits) - 1) << shift;
            data[byte] = char((static_cast<unsigned char>(data[byte]) & ~mask) | ((value << shift) & mask));
        }
    }
};

// Pixels of an image of `width` x `height` (row 0 on top) drawn through
// `imageToUser` that lie under a mask, with the mask they lie under; calls
// `paint(x, y, maskIndex)` for each.
template <typename Paint>
bool forPixelsUnderMasks(int width, int height, const QTransform& imageToUser, const QList<PDFMaskRect>& masks,
                         Paint paint)
{
    const QTransform pixelToUser = QTransform(1.0 / width, 0, 0, -1.0 / height, 0, 1) * imageToUser;
    bool invertible = false;
    const QTransform userToPixel = pixelToUser.inverted(&invertible);
    if (!invertible) {
        return false;
    }
    const bool aligned = std::abs(pixelToUser.m12()) < 1e-12 && std::abs(pixelToUser.m21()) < 1e-12;
    bool any = false;
    for (qsizetype m = 0; m < masks.size(); ++m) {
        const QPolygonF area = userToPixel.map(QPolygonF(masks[m].rect));
        const QRectF bounds = area.boundingRect();
        const int left = std::max(0, int(std::floor(bounds.left())));
        const int right = std::min(width, int(std::ceil(bounds.right())));
        const int top = std::max(0, int(std::floor(bounds.top())));
        const int bottom = std::min(height, int(std::ceil(bounds.bottom())));
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                if (aligned || area.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::OddEvenFill)) {
                    paint(x, y, int(m));
                    any = true;
                }
            }
        }
    }
    return any;
}

// Decoded samples of an image stream, checked against its size.
Raster decodedRaster(QPDFObjectHandle stream, int width, int height, int bits, int components)
{
    if (width <= 0 || height <= 0 || components <= 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8
                                                          && bits != 16)) {
        throw PDFUnfilterableContent("image of unsupported size or depth");
    }
    std::shared_ptr<Buffer> bytes;
    try {
        bytes = stream.getStreamData(qpdf_dl_all);
    } catch (const std::exception& error) {
        throw PDFUnfilterableContent(std::string("image cannot be decoded: ") + error.what());
    }
    Raster raster;
    raster.width = width;
    raster.height = height;
    raster.bits = bits;
    raster.components = components;
    raster.stride = (size_t(width) * size_t(components) * size_t(bits) + 7) / 8;
    raster.data.assign(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
    if (raster.data.size() < raster.stride * size_t(height)) {
        throw PDFUnfilterableContent("image data shorter than its size");
    }
    return raster;
}

struct ImageDescription {
    int width = 0;
    int height = 0;
    int bits = 8;
    bool stencil = false;
    QPDFObjectHandle colourSpace;
    QPDFObjectHandle decode;
};

ImageDescription describe(QPDFObjectHandle dict)
{
    ImageDescription image;
    image.width = int(numberOf(dict.getKey("/Width"), 0));
    image.height = int(numberOf(dict.getKey("/Height"), 0));
    QPDFObjectHandle stencil = dict.getKey("/ImageMask");
    image.stencil = stencil.isBool() && stencil.getBoolValue();
    image.bits = image.stencil ? 1 : int(numberOf(dict.getKey("/BitsPerComponent"), 8));
    image.colourSpace = dict.getKey("/ColorSpace");
    image.decode = dict.getKey("/Decode");
    const std::string filter = nameOf(dict.getKey("/Filter"));
    if (filter == "/JPXDecode") {
        throw PDFUnfilterableContent("JPEG 2000 image under a mask");
    }
    return image;
}

// Paints the image's pixels under the masks; false when none is.
bool paintRaster(Raster& raster, ImageDescription image, const QTransform& imageToUser,
                 const QList<PDFMaskRect>& masks, QPDFObjectHandle resources)
{
    const unsigned highest = raster.bits == 16 ? 0xFFFF : (1u << raster.bits) - 1;
    std::vector<std::vector<unsigned>> samples;
    if (image.stencil) {
        // Samples that leave the page unpainted.
        const bool inverted = image.decode.isArray() && numberOf(image.decode.getArrayItem(0), 0) > 0.5;
        samples.assign(size_t(masks.size()), {inverted ? 0u : 1u});
    } else {
        const ColourWriter writer(image.colourSpace, resources);
        for (const PDFMaskRect& mask : masks) {
            const std::vector<double> values = writer.values(mask.color);
            std::vector<unsigned> written;
            for (size_t c = 0; c < values.size(); ++c) {
                double low = 0;
                double high = writer.indexed() ? double(highest) : 1.0;
                if (image.decode.isArray() && image.decode.getArrayNItems() >= int(2 * (c + 1))) {
                    low = numberOf(image.decode.getArrayItem(int(2 * c)), low);
                    high = numberOf(image.decode.getArrayItem(int(2 * c + 1)), high);
                }
                const double share = high == low ? 0 : (values[c] - low) / (high - low);
                written.push_back(unsigned(std::lround(std::clamp(share, 0.0, 1.0) * highest)));
            }
            samples.push_back(written);
        }
    }
    return forPixelsUnderMasks(raster.width, raster.height, imageToUser, masks, [&](int x, int y, int mask) {
        const std::vector<unsigned>& values = samples[size_t(mask)];
        for (int c = 0; c < raster.components && c < int(values.size()); ++c) {
            raster.set(x, y, c, values[size_t(c)]);
        }
    });
}

int componentsOf(ImageDescription image, QPDFObjectHandle resources)
{
    return image.stencil ? 1 : ColourWriter(image.colourSpace, resources).components();
}

}  // namespace

std::optional<QPDFObjectHandle> paintImageUnderMasks(QPDFObjectHandle image, const QTransform& imageToUser,
                                                     const QList<PDFMaskRect>& masks, QPDFObjectHandle resources)
{
    QPDFObjectHandle dict = image.getDict();
    const ImageDescription description = describe(dict);
    if (description.width <= 0 || description.height <= 0) {
        throw PDFUnfilterableContent("image without a size");
    }
    // Nothing to do when no pixel lies under a mask: the image stays as it is.
    if (!forPixelsUnderMasks(description.width, description.height, imageToUser, masks, [](int, int, int) {})) {
        return std::nullopt;
    }
    Raster raster = decodedRaster(image, description.width, description.height, description.bits,
                                  componentsOf(description, resources));
    paintRaster(raster, description, imageToUser, masks, resources);
    QPDFObjectHandle painted = image.copyStream();
    painted.replaceStreamData(raster.data, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    painted.getDict().removeKey("/DecodeParms");
    // Its other versions (one for print, say) would still show it whole.
    dropPrivateData(painted);

    // A soft mask could still show the shapes under the mask: make it opaque there.
    QPDFObjectHandle softMask = dict.getKey("/SMask");
    if (softMask.isStream()) {
        QPDFObjectHandle maskDict = softMask.getDict();
        const int width = int(numberOf(maskDict.getKey("/Width"), 0));
        const int height = int(numberOf(maskDict.getKey("/Height"), 0));
        const int bits = int(numberOf(maskDict.getKey("/BitsPerComponent"), 8));
        Raster alpha = decodedRaster(softMask, width, height, bits, 1);
        const unsigned opaque = bits == 16 ? 0xFFFF : (1u << bits) - 1;
        forPixelsUnderMasks(width, height, imageToUser, masks,
                            [&](int x, int y, int) { alpha.set(x, y, 0, opaque); });
        QPDFObjectHandle paintedMask = softMask.copyStream();
        paintedMask.replaceStreamData(alpha.data, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        paintedMask.getDict().removeKey("/DecodeParms");
        dropPrivateData(paintedMask);
        painted.getDict().replaceKey("/SMask", paintedMask);
    }
    // So could a stencil naming the image's shape: it shows the image there.
    QPDFObjectHandle stencil = dict.getKey("/Mask");
    if (stencil.isStream()) {
        ImageDescription shape = describe(stencil.getDict());
        Raster bits = decodedRaster(stencil, shape.width, shape.height, 1, 1);
        const bool inverted = shape.decode.isArray() && numberOf(shape.decode.getArrayItem(0), 0) > 0.5;
        forPixelsUnderMasks(shape.width, shape.height, imageToUser, masks,
                            [&](int x, int y, int) { bits.set(x, y, 0, inverted ? 1 : 0); });
        QPDFObjectHandle paintedStencil = stencil.copyStream();
        paintedStencil.replaceStreamData(bits.data, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        paintedStencil.getDict().removeKey("/DecodeParms");
        dropPrivateData(paintedStencil);
        painted.getDict().replaceKey("/Mask", paintedStencil);
    }
    return painted;
}

std::optional<std::string> paintInlineImageUnderMasks(QPDF& pdf, QPDFObjectHandle dictionary,
                                                      const std::string& data, const QTransform& imageToUser,
                                                      const QList<PDFMaskRect>& masks,
                                                      QPDFObjectHandle resources)
{
    static const std::map<std::string, std::string> keys = {
        {"/W", "/Width"},          {"/H", "/Height"},     {"/BPC", "/BitsPerComponent"},
        {"/CS", "/ColorSpace"},    {"/F", "/Filter"},     {"/DP", "/DecodeParms"},
        {"/IM", "/ImageMask"},     {"/D", "/Decode"},     {"/I", "/Interpolate"},
    };
    static const std::map<std::string, std::string> filters = {
        {"/AHx", "/ASCIIHexDecode"}, {"/A85", "/ASCII85Decode"}, {"/LZW", "/LZWDecode"},
        {"/Fl", "/FlateDecode"},     {"/RL", "/RunLengthDecode"}, {"/CCF", "/CCITTFaxDecode"},
        {"/DCT", "/DCTDecode"},
    };
    QPDFObjectHandle full = QPDFObjectHandle::newDictionary();
    for (const std::string& key : dictionary.getKeys()) {
        const auto found = keys.find(key);
        full.replaceKey(found == keys.end() ? key : found->second, dictionary.getKey(key));
    }
    const auto expandFilter = [&](QPDFObjectHandle value) {
        if (value.isName() && filters.count(value.getName())) {
            return QPDFObjectHandle::newName(filters.at(value.getName()));
        }
        return value;
    };
    QPDFObjectHandle filter = full.getKey("/Filter");
    if (filter.isArray()) {
        QPDFObjectHandle expanded = QPDFObjectHandle::newArray();
        for (int i = 0; i < filter.getArrayNItems(); ++i) {
            expanded.appendItem(expandFilter(filter.getArrayItem(i)));
        }
        full.replaceKey("/Filter", expanded);
    } else if (!filter.isNull()) {
        full.replaceKey("/Filter", expandFilter(filter));
    }
    const ImageDescription description = describe(full);
    if (description.width <= 0 || description.height <= 0) {
        throw PDFUnfilterableContent("inline image without a size");
    }
    if (!forPixelsUnderMasks(description.width, description.height, imageToUser, masks, [](int, int, int) {})) {
        return std::nullopt;
    }
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, data);
    for (const std::string& key : full.getKeys()) {
        stream.getDict().replaceKey(key, full.getKey(key));
    }
    stream.getDict().replaceKey("/Length", QPDFObjectHandle::newInteger(qlonglong(data.size())));
    Raster raster = decodedRaster(stream, description.width, description.height, description.bits,
                                  componentsOf(description, resources));
    paintRaster(raster, description, imageToUser, masks, resources);

    std::string written = "BI\n";
    for (const std::string& key : dictionary.getKeys()) {
        if (key == "/F" || key == "/Filter" || key == "/DP" || key == "/DecodeParms" || key == "/L"
            || key == "/Length") {
            continue;
        }
        written += key + " " + dictionary.getKey(key).unparse() + "\n";
    }
    written += "/F /AHx\nID\n";
    static const char digits[] = "0123456789abcdef";
    const size_t used = raster.stride * size_t(raster.height);
    for (size_t i = 0; i < used; ++i) {
        const auto byte = static_cast<unsigned char>(raster.data[i]);
        written += digits[byte >> 4];
        written += digits[byte & 15];
        if (i % 40 == 39) {
            written += '\n';
        }
    }
    written += ">\nEI\n";
    return written;
}

}  // namespace zelvane
