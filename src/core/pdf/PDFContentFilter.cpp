#include "pdf/PDFContentFilter.h"

#include "pdf/PDFFontMetrics.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace zelvane {

namespace {

// Forms inside forms deeper than this are refused.
constexpr int kMaxFormDepth = 24;

double numberOf(QPDFObjectHandle value)
{
    double number = 0;
    if (!value.getValueAsNumber(number) || !std::isfinite(number)) {
        throw PDFUnfilterableContent("operand is not a number");
    }
    return number;
}

QTransform matrixOf(const std::vector<QPDFObjectHandle>& operands, size_t first = 0)
{
    return QTransform(numberOf(operands[first]), numberOf(operands[first + 1]), numberOf(operands[first + 2]),
                      numberOf(operands[first + 3]), numberOf(operands[first + 4]), numberOf(operands[first + 5]));
}

QTransform matrixOf(QPDFObjectHandle array)
{
    if (!array.isArray() || array.getArrayNItems() != 6) {
        return {};
    }
    return matrixOf(array.getArrayAsVector());
}

std::string numberText(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.contains('.') && (text.endsWith('0') || text.endsWith('.'))) {
        text.chop(1);
    }
    return text == "-0" ? std::string("0") : text.toStdString();
}

struct FontCache {
    std::map<QPDFObjGen, std::shared_ptr<const PDFFontMetrics>> byObject;

    std::shared_ptr<const PDFFontMetrics> metricsOf(QPDFObjectHandle font)
    {
        try {
            if (!font.isIndirect()) {
                return std::make_shared<const PDFFontMetrics>(font);
            }
            auto found = byObject.find(font.getObjGen());
            if (found == byObject.end()) {
                found = byObject.emplace(font.getObjGen(), std::make_shared<const PDFFontMetrics>(font)).first;
            }
            return found->second;
        } catch (const PDFUnmeasurableFont& error) {
            throw PDFUnfilterableContent(error.what());
        }
    }
};

struct GraphicsState {
    QTransform ctm;
    QPDFObjectHandle font;
    std::shared_ptr<const PDFFontMetrics> metrics;
    double fontSize = 0;
    double charSpacing = 0;
    double wordSpacing = 0;
    double horizontalScale = 1;
    double leading = 0;
    double rise = 0;
};

struct FilteredContent {
    std::string content;
    QPDFObjectHandle resources;
    bool changed = false;
    bool resourcesChanged = false;
};

// The masks in order of their top edge, so that a point is tested against
// the few masks that reach its height rather than against all of them (a
// page with every line changed has as many masks as lines).
class MaskIndex {
public:
    explicit MaskIndex(const QList<PDFMaskRect>& masks)
    {
        for (const PDFMaskRect& mask : masks) {
            const QRectF rect = mask.rect.normalized();
            if (!std::isfinite(rect.top()) || !std::isfinite(rect.height())) {
                m_unordered.push_back(mask.rect);
                continue;
            }
            m_ordered.push_back({rect.top(), mask.rect});
            m_tallest = std::max(m_tallest, rect.height());
        }
        std::sort(m_ordered.begin(), m_ordered.end(),
                  [](const Entry& a, const Entry& b) { return a.top < b.top; });
    }

    bool contains(const QPointF& point) const
    {
        for (const QRectF& rect : m_unordered) {
            if (rect.contains(point)) {
                return true;
            }
        }
        // A mask holding the point starts at most its height above it; the
        // margin keeps rounding from leaving one out.
        const double lowest = point.y() - m_tallest * (1 + 1e-9) - 1e-6;
        auto above = std::upper_bound(m_ordered.begin(), m_ordered.end(), point.y(),
                                      [](double y, const Entry& entry) { return y < entry.top; });
        while (above != m_ordered.begin()) {
            --above;
            if (above->top < lowest) {
                break;
            }
            if (above->rect.contains(point)) {
                return true;
            }
        }
        return false;
    }

private:
    struct Entry {
        double top;
        QRectF rect;
    };
    std::vector<Entry> m_ordered;
    std::vector<QRectF> m_unordered;
    double m_tallest = 0;
};

struct Context {
    QPDF& pdf;
    const QList<PDFMaskRect>& masks;
    MaskIndex maskIndex;
    FontCache fonts;
    std::set<QPDFObjGen> openForms;
};

FilteredContent filterContent(Context& context, QPDFObjectHandle content, QPDFObjectHandle resources,
                              const QTransform& ctm, int depth);

// Walks one content stream, writing it again with what lies under the
// masks removed.
class ContentWalker : public QPDFObjectHandle::ParserCallbacks {
public:
    ContentWalker(Context& context, QPDFObjectHandle resources, const QTransform& ctm, int depth)
        : m_context(context), m_depth(depth)
    {
        m_result.resources = resources;
        m_state.ctm = ctm;
    }

    void handleObject(QPDFObjectHandle object, size_t, size_t) override
    {
        if (object.isOperator()) {
            operate(object.getOperatorValue());
            m_operands.clear();
        } else {
            m_operands.push_back(object);
        }
    }

    void handleEOF() override
    {
        if (!m_operands.empty() || m_inInlineImage) {
            throw PDFUnfilterableContent("content ends inside an operation");
        }
    }

    // The content's result, its resources without the objects that every
    // use of was replaced (they would keep what lies under the masks).
    FilteredContent& result()
    {
        if (m_result.resourcesChanged) {
            QPDFObjectHandle objects = m_result.resources.getKey("/XObject");
            for (const std::string& name : m_replacedNames) {
                if (!m_usedNames.count(name)) {
                    objects.removeKey(name);
                }
            }
        }
        return m_result;
    }

private:
    void emitOriginal(const std::string& op)
    {
        for (QPDFObjectHandle& operand : m_operands) {
            m_result.content += operand.unparse();
            m_result.content += ' ';
        }
        m_result.content += op;
        m_result.content += '\n';
    }

    void need(size_t count, const std::string& op) const
    {
        if (m_operands.size() != count) {
            throw PDFUnfilterableContent("operator " + op + " with a wrong number of operands");
        }
    }

    bool underMasks(const QRectF& box) const
    {
        for (const PDFMaskRect& mask : m_context.masks) {
            if (mask.rect.intersects(box)) {
                return true;
            }
        }
        return false;
    }

    void operate(const std::string& op)
    {
        if (m_inInlineImage) {
            if (op == "ID") {
                m_inlineDictionary = m_operands;
                return;
            }
            if (op == "EI") {
                inlineImage();
                m_inInlineImage = false;
                return;
            }
            throw PDFUnfilterableContent("operator " + op + " inside an inline image");
        }
        if (op == "BI") {
            m_inInlineImage = true;
            return;
        }
        if (op == "q") {
            m_stack.push_back(m_state);
        } else if (op == "Q") {
            if (!m_stack.empty()) {
                m_state = m_stack.back();
                m_stack.pop_back();
            }
        } else if (op == "cm") {
            need(6, op);
            m_state.ctm = matrixOf(m_operands) * m_state.ctm;
        } else if (op == "BT") {
            m_textMatrix = m_lineMatrix = QTransform();
        } else if (op == "Tf") {
            need(2, op);
            QPDFObjectHandle fonts =
                m_result.resources.isDictionary() ? m_result.resources.getKey("/Font") : QPDFObjectHandle::newNull();
            if (!m_operands[0].isName() || !fonts.isDictionary() || !fonts.hasKey(m_operands[0].getName())) {
                throw PDFUnfilterableContent("text set in a font the page does not have");
            }
            m_state.font = fonts.getKey(m_operands[0].getName());
            m_state.metrics.reset();
            m_state.fontSize = numberOf(m_operands[1]);
        } else if (op == "Tc") {
            need(1, op);
            m_state.charSpacing = numberOf(m_operands[0]);
        } else if (op == "Tw") {
            need(1, op);
            m_state.wordSpacing = numberOf(m_operands[0]);
        } else if (op == "Tz") {
            need(1, op);
            m_state.horizontalScale = numberOf(m_operands[0]) / 100.0;
        } else if (op == "TL") {
            need(1, op);
            m_state.leading = numberOf(m_operands[0]);
        } else if (op == "Ts") {
            need(1, op);
            m_state.rise = numberOf(m_operands[0]);
        } else if (op == "Td" || op == "TD") {
            need(2, op);
            if (op == "TD") {
                m_state.leading = -numberOf(m_operands[1]);
            }
            moveLine(numberOf(m_operands[0]), numberOf(m_operands[1]));
        } else if (op == "Tm") {
            need(6, op);
            m_textMatrix = m_lineMatrix = matrixOf(m_operands);
        } else if (op == "T*") {
            moveLine(0, -m_state.leading);
        } else if (op == "Tj" || op == "'" || op == "\"" || op == "TJ") {
            showText(op);
            return;
        } else if (op == "gs") {
            need(1, op);
            graphicsStateDictionary();
        } else if (op == "Do") {
            need(1, op);
            if (drawObject()) {
                m_replacedNames.insert(m_operands[0].getName());
                return;
            }
            if (m_operands[0].isName()) {
                m_usedNames.insert(m_operands[0].getName());
            }
        } else if (op == "BDC" || op == "BMC") {
            beginMarkedContent(op);
            return;
        } else if (op == "EMC") {
            endMarkedContent();
        }
        emitOriginal(op);
    }

    void moveLine(double tx, double ty)
    {
        m_lineMatrix = QTransform(1, 0, 0, 1, tx, ty) * m_lineMatrix;
        m_textMatrix = m_lineMatrix;
    }

    void graphicsStateDictionary()
    {
        QPDFObjectHandle states = m_result.resources.isDictionary() ? m_result.resources.getKey("/ExtGState")
                                                                          : QPDFObjectHandle::newNull();
        if (!m_operands[0].isName() || !states.isDictionary()) {
            return;
        }
        QPDFObjectHandle state = states.getKey(m_operands[0].getName());
        QPDFObjectHandle font = state.isDictionary() ? state.getKey("/Font") : QPDFObjectHandle::newNull();
        if (font.isArray() && font.getArrayNItems() == 2) {
            m_state.font = font.getArrayItem(0);
            m_state.metrics.reset();
            m_state.fontSize = numberOf(font.getArrayItem(1));
        }
    }

    // Marked content that states the text it holds (/ActualText) would keep
    // removed words: the statement goes when any of its glyphs does.
    void beginMarkedContent(const std::string& op)
    {
        OpenMark mark;
        mark.start = m_result.content.size();
        mark.states = op == "BDC" && m_operands.size() == 2 && m_operands[1].isDictionary()
                      && m_operands[1].hasKey("/ActualText");
        emitOriginal(op);
        mark.length = m_result.content.size() - mark.start;
        m_marks.push_back(mark);
    }

    void endMarkedContent()
    {
        if (m_marks.empty()) {
            return;
        }
        const OpenMark mark = m_marks.back();
        m_marks.pop_back();
        if (!mark.states || !mark.lostGlyphs) {
            return;
        }
        // Writes the opening again without the statement.
        const std::string opening = m_result.content.substr(mark.start, mark.length);
        QPDFObjectHandle tag;
        QPDFObjectHandle properties;
        std::vector<QPDFObjectHandle> parsed;
        struct Collector : QPDFObjectHandle::ParserCallbacks {
            std::vector<QPDFObjectHandle>* objects;
            void handleObject(QPDFObjectHandle object, size_t, size_t) override { objects->push_back(object); }
            void handleEOF() override {}
        } collector;
        collector.objects = &parsed;
        QPDFObjectHandle::parseContentStream(QPDFObjectHandle::newStream(&m_context.pdf, opening), &collector);
        if (parsed.size() != 3 || !parsed[1].isDictionary()) {
            throw PDFUnfilterableContent("marked content could not be rewritten");
        }
        QPDFObjectHandle copy = parsed[1].shallowCopy();
        copy.removeKey("/ActualText");
        const std::string rewritten = parsed[0].unparse() + " " + copy.unparse() + " BDC\n";
        m_result.content.replace(mark.start, mark.length, rewritten);
    }

    void glyphRemoved()
    {
        m_result.changed = true;
        for (OpenMark& mark : m_marks) {
            mark.lostGlyphs = true;
        }
    }

    // One shown string or TJ array, rewritten when glyphs of it lie under a
    // mask: the kept glyphs in order, the removed ones replaced by the
    // positioning that moves as far.
    void showText(const std::string& op)
    {
        std::vector<QPDFObjectHandle> items;
        std::string prefix;
        if (op == "Tj" || op == "'") {
            need(1, op);
            items.push_back(m_operands[0]);
            if (op == "'") {
                moveLine(0, -m_state.leading);
                prefix = "T*\n";
            }
        } else if (op == "\"") {
            need(3, op);
            m_state.wordSpacing = numberOf(m_operands[0]);
            m_state.charSpacing = numberOf(m_operands[1]);
            moveLine(0, -m_state.leading);
            items.push_back(m_operands[2]);
            prefix = m_operands[0].unparse() + " Tw " + m_operands[1].unparse() + " Tc T*\n";
        } else {
            need(1, op);
            if (!m_operands[0].isArray()) {
                throw PDFUnfilterableContent("TJ without an array");
            }
            items = m_operands[0].getArrayAsVector();
        }
        if (m_state.font.isNull()) {
            throw PDFUnfilterableContent("text shown without a font");
        }
        if (!m_state.metrics) {
            m_state.metrics = m_context.fonts.metricsOf(m_state.font);
        }
        const PDFFontMetrics& metrics = *m_state.metrics;
        const bool vertical = metrics.vertical();
        const double size = m_state.fontSize;
        const double scale = m_state.horizontalScale;
        const QTransform glyphToText(size * scale, 0, 0, size, 0, m_state.rise);

        // Written again as a TJ array: strings of kept glyphs and numbers.
        std::string array;
        std::string kept;
        double pending = 0;
        bool removedAny = false;
        const auto flushString = [&]() {
            if (!kept.empty()) {
                array += QPDFObjectHandle::newString(kept).unparse();
                kept.clear();
            }
        };
        const auto move = [&](double advance) {
            m_textMatrix = (vertical ? QTransform(1, 0, 0, 1, 0, advance) : QTransform(1, 0, 0, 1, advance, 0))
                           * m_textMatrix;
        };
        for (QPDFObjectHandle& item : items) {
            if (item.isString()) {
                std::vector<PDFGlyph> glyphs;
                try {
                    glyphs = metrics.glyphs(item.getStringValue());
                } catch (const PDFUnmeasurableFont& error) {
                    throw PDFUnfilterableContent(error.what());
                }
                for (const PDFGlyph& glyph : glyphs) {
                    const double spacing = m_state.charSpacing + (glyph.wordSpace ? m_state.wordSpacing : 0);
                    const double advance =
                        vertical ? glyph.advance * size + spacing : (glyph.advance * size + spacing) * scale;
                    const QRectF box = vertical ? QRectF(-glyph.originX, metrics.descent() - glyph.originY,
                                                         glyph.width, metrics.ascent() - metrics.descent())
                                                : QRectF(0, metrics.descent(), glyph.advance,
                                                         metrics.ascent() - metrics.descent());
                    const QPolygonF onPage = (glyphToText * m_textMatrix * m_state.ctm).map(QPolygonF(box));
                    QPointF centre;
                    for (const QPointF& corner : onPage) {
                        centre += corner / qreal(onPage.size());
                    }
                    if (centreUnderMask(centre)) {
                        removedAny = true;
                        if (size == 0 || scale == 0) {
                            throw PDFUnfilterableContent("text of size zero under a mask");
                        }
                        pending -= (glyph.advance * size + spacing) * 1000.0 / size;
                    } else {
                        if (pending != 0) {
                            flushString();
                            array += numberText(pending) + ' ';
                            pending = 0;
                        }
                        kept += glyph.code;
                    }
                    move(advance);
                }
            } else {
                const double adjustment = numberOf(item);
                move(vertical ? -adjustment / 1000.0 * size : -adjustment / 1000.0 * size * scale);
                flushString();
                pending += adjustment;
            }
        }
        if (!removedAny) {
            emitOriginal(op);
            return;
        }
        glyphRemoved();
        flushString();
        if (pending != 0) {
            array += numberText(pending);
        }
        m_result.content += prefix + "[" + array + "] TJ\n";
    }

    bool centreUnderMask(const QPointF& point) const { return m_context.maskIndex.contains(point); }

    // Gives `object` a new name among the resources (copied once for this
    // content) and returns the name.
    std::string addXObject(QPDFObjectHandle object)
    {
        if (!m_result.resourcesChanged) {
            m_result.resources = m_result.resources.isDictionary() ? m_result.resources.shallowCopy()
                                                                   : QPDFObjectHandle::newDictionary();
            QPDFObjectHandle objects = m_result.resources.getKey("/XObject");
            m_result.resources.replaceKey(
                "/XObject", objects.isDictionary() ? objects.shallowCopy() : QPDFObjectHandle::newDictionary());
            m_result.resourcesChanged = true;
        }
        QPDFObjectHandle objects = m_result.resources.getKey("/XObject");
        std::string name;
        do {
            name = "/ZelvaneMasked" + std::to_string(m_nextName++);
        } while (objects.hasKey(name));
        objects.replaceKey(name, object);
        return name;
    }

    // True when the drawing was written (changed) here.
    bool drawObject()
    {
        QPDFObjectHandle objects = m_result.resources.isDictionary() ? m_result.resources.getKey("/XObject")
                                                                           : QPDFObjectHandle::newNull();
        if (!m_operands[0].isName() || !objects.isDictionary()) {
            return false;
        }
        QPDFObjectHandle object = objects.getKey(m_operands[0].getName());
        if (!object.isStream()) {
            return false;
        }
        QPDFObjectHandle subtype = object.getDict().getKey("/Subtype");
        const std::string kind = subtype.isName() ? subtype.getName() : std::string();
        if (kind == "/Image") {
            if (!underMasks(m_state.ctm.mapRect(QRectF(0, 0, 1, 1)))) {
                return false;
            }
            std::optional<QPDFObjectHandle> painted =
                paintImageUnderMasks(object, m_state.ctm, m_context.masks, m_result.resources);
            if (!painted) {
                return false;
            }
            m_result.changed = true;
            m_result.content += addXObject(*painted) + " Do\n";
            return true;
        }
        if (kind != "/Form") {
            return false;
        }
        if (m_depth >= kMaxFormDepth) {
            throw PDFUnfilterableContent("forms nested too deep");
        }
        const QPDFObjGen id = object.getObjGen();
        if (m_context.openForms.count(id)) {
            throw PDFUnfilterableContent("form that draws itself");
        }
        QPDFObjectHandle resources = object.getDict().getKey("/Resources");
        if (!resources.isDictionary()) {
            resources = m_result.resources;
        }
        const QTransform formCtm = matrixOf(object.getDict().getKey("/Matrix")) * m_state.ctm;
        m_context.openForms.insert(id);
        FilteredContent inner = filterContent(m_context, object, resources, formCtm, m_depth + 1);
        m_context.openForms.erase(id);
        if (!inner.changed) {
            return false;
        }
        QPDFObjectHandle copy = object.copyStream();
        copy.replaceStreamData(inner.content, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        if (inner.resourcesChanged) {
            copy.getDict().replaceKey("/Resources", inner.resources);
        }
        m_result.changed = true;
        m_result.content += addXObject(copy) + " Do\n";
        return true;
    }

    void inlineImage()
    {
        if (m_operands.size() != 1 || !m_operands[0].isInlineImage() || m_inlineDictionary.size() % 2 != 0) {
            throw PDFUnfilterableContent("damaged inline image");
        }
        const std::string data = m_operands[0].getInlineImageValue();
        std::string pairs;
        QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
        for (size_t i = 0; i < m_inlineDictionary.size(); i += 2) {
            if (!m_inlineDictionary[i].isName()) {
                throw PDFUnfilterableContent("damaged inline image");
            }
            dictionary.replaceKey(m_inlineDictionary[i].getName(), m_inlineDictionary[i + 1]);
            pairs += m_inlineDictionary[i].unparse() + " " + m_inlineDictionary[i + 1].unparse() + "\n";
        }
        std::optional<std::string> painted;
        if (underMasks(m_state.ctm.mapRect(QRectF(0, 0, 1, 1)))) {
            painted = paintInlineImageUnderMasks(m_context.pdf, dictionary, data, m_state.ctm, m_context.masks,
                                                 m_result.resources);
        }
        if (painted) {
            m_result.changed = true;
            m_result.content += *painted;
        } else {
            m_result.content += "BI\n" + pairs + "ID " + data + "\nEI\n";
        }
    }

    struct OpenMark {
        size_t start = 0;
        size_t length = 0;
        bool states = false;
        bool lostGlyphs = false;
    };

    Context& m_context;
    int m_depth = 0;
    FilteredContent m_result;
    std::vector<QPDFObjectHandle> m_operands;
    GraphicsState m_state;
    std::vector<GraphicsState> m_stack;
    QTransform m_textMatrix;
    QTransform m_lineMatrix;
    std::vector<OpenMark> m_marks;
    bool m_inInlineImage = false;
    std::vector<QPDFObjectHandle> m_inlineDictionary;
    int m_nextName = 0;
    std::set<std::string> m_replacedNames;
    std::set<std::string> m_usedNames;
};

FilteredContent filterContent(Context& context, QPDFObjectHandle content, QPDFObjectHandle resources,
                              const QTransform& ctm, int depth)
{
    ContentWalker walker(context, resources, ctm, depth);
    const size_t warnings = context.pdf.numWarnings();
    try {
        QPDFObjectHandle::parseContentStream(content, &walker);
    } catch (const PDFUnfilterableContent&) {
        throw;
    } catch (const std::exception& error) {
        throw PDFUnfilterableContent(std::string("content cannot be read: ") + error.what());
    }
    if (context.pdf.numWarnings() != warnings) {
        throw PDFUnfilterableContent("content is damaged");
    }
    return std::move(walker.result());
}

}  // namespace

QPDFObjectHandle removeContentUnderMasks(QPDF& pdf, QPDFObjectHandle form, const QList<PDFMaskRect>& masks)
{
    if (masks.isEmpty()) {
        return form;
    }
    if (!form.isStream()) {
        throw PDFUnfilterableContent("page content is not a form");
    }
    Context context{pdf, masks, MaskIndex(masks), {}, {}};
    if (form.isIndirect()) {
        context.openForms.insert(form.getObjGen());
    }
    const FilteredContent filtered =
        filterContent(context, form, form.getDict().getKey("/Resources"), QTransform(), 0);
    if (!filtered.changed) {
        return form;
    }
    QPDFObjectHandle copy = form.copyStream();
    copy.replaceStreamData(filtered.content, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    if (filtered.resourcesChanged) {
        copy.getDict().replaceKey("/Resources", filtered.resources);
    }
    return copy;
}

}  // namespace zelvane
