#include "pdf/PDFContentFilter.h"

#include "pdf/PDFContentOperand.h"
#include "pdf/PDFContentTokens.h"
#include "pdf/PDFFontMetrics.h"
#include "pdf/PDFResourcePruning.h"

#include <QTransform>

#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>
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

double numberOf(const PDFContentOperand& value)
{
    double number = 0;
    if (!value.getValueAsNumber(number) || !std::isfinite(number)) {
        throw PDFUnfilterableContent("operand is not a number");
    }
    return number;
}

template <typename Operands>
QTransform matrixOf(const Operands& operands, size_t first = 0)
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

std::shared_ptr<const PDFFontMetrics> metricsOf(PDFMeasuredFonts& fonts, QPDFObjectHandle font)
{
    try {
        if (!font.isIndirect()) {
            return std::make_shared<const PDFFontMetrics>(font);
        }
        auto found = fonts.byObject.find(font.getObjGen());
        if (found == fonts.byObject.end()) {
            found = fonts.byObject.emplace(font.getObjGen(), std::make_shared<const PDFFontMetrics>(font)).first;
        }
        return found->second;
    } catch (const PDFUnmeasurableFont& error) {
        throw PDFUnfilterableContent(error.what());
    }
}

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

// Masks in order of their top edge, so that a point is tested against the
// few masks that reach its height rather than against all of them (a page
// with every line changed has as many masks as lines).
class MaskIndex {
public:
    MaskIndex(const QList<PDFMaskRect>& masks, bool lines)
    {
        for (qsizetype i = 0; i < masks.size(); ++i) {
            if (masks[i].line.has_value() != lines) {
                continue;
            }
            const QRectF rect = masks[i].rect.normalized();
            if (!std::isfinite(rect.top()) || !std::isfinite(rect.height())) {
                m_unordered.emplace_back(0, masks[i].rect, i);
                continue;
            }
            m_ordered.emplace_back(rect.top(), masks[i].rect, i);
            m_tallest = std::max(m_tallest, rect.height());
        }
        std::sort(m_ordered.begin(), m_ordered.end(),
                  [](const Entry& a, const Entry& b) { return a.top < b.top; });
        m_reach = m_tallest * (1 + 1e-9);
    }

    // True when a mask holding `point` passes `test` (given the mask's index).
    // `hint` is where a previous search succeeded: glyphs in a row mostly
    // lie under one mask, which is then tried first (when the search below
    // would reach it, so that the answer is the same).
    template <typename Test>
    bool any(const QPointF& point, Test test, size_t& hint) const
    {
        if (m_ordered.empty() && m_unordered.empty()) {
            return false;
        }
        for (const Entry& entry : m_unordered) {
            if (entry.contains(point) && test(entry.index)) {
                return true;
            }
        }
        // A mask holding the point starts at most its height above it; the
        // margin keeps rounding from leaving one out.
        const double lowest = point.y() - m_reach - 1e-6;
        if (hint < m_ordered.size()) {
            const Entry& entry = m_ordered[hint];
            if (entry.top <= point.y() && !(entry.top < lowest) && entry.contains(point) && test(entry.index)) {
                return true;
            }
        }
        auto above = std::upper_bound(m_ordered.begin(), m_ordered.end(), point.y(),
                                      [](double y, const Entry& entry) { return y < entry.top; });
        while (above != m_ordered.begin()) {
            --above;
            if (above->top < lowest) {
                break;
            }
            if (above->contains(point) && test(above->index)) {
                hint = size_t(above - m_ordered.begin());
                return true;
            }
        }
        return false;
    }

private:
    struct Entry {
        Entry(double top_, const QRectF& rect, qsizetype index_) : top(top_), index(index_)
        {
            // The edges as QRectF::contains() finds them.
            left = right = rect.x();
            (rect.width() < 0 ? left : right) += rect.width();
            upper = lower = rect.y();
            (rect.height() < 0 ? upper : lower) += rect.height();
        }

        // As QRectF::contains() tells.
        bool contains(const QPointF& point) const
        {
            if (left == right || point.x() < left || point.x() > right) {
                return false;
            }
            return upper != lower && !(point.y() < upper) && !(point.y() > lower);
        }

        double top;
        double left, right, upper, lower;
        qsizetype index;
    };
    std::vector<Entry> m_ordered;
    std::vector<Entry> m_unordered;
    double m_tallest = 0;
    double m_reach = 0;
};

// True when `op` is the operator `name`: compared in place, as most
// operators of a content differ from a name in their length or first
// character.
template <size_t N>
bool isOperator(std::string_view op, const char (&name)[N])
{
    if (op.size() != N - 1) {
        return false;
    }
    for (size_t i = 0; i + 1 < N; ++i) {
        if (op[i] != name[i]) {
            return false;
        }
    }
    return true;
}

// Whether `op` shows text or moves the text position.
bool isTextPlacing(std::string_view op)
{
    return isOperator(op, "Tj") || isOperator(op, "TJ") || isOperator(op, "'") || isOperator(op, "\"")
           || isOperator(op, "Td") || isOperator(op, "TD") || isOperator(op, "Tm") || isOperator(op, "T*");
}

// Whether `op` builds a path (m, l, c, v, y, h, re).
bool isPathConstruction(std::string_view op)
{
    return isOperator(op, "m") || isOperator(op, "l") || isOperator(op, "c") || isOperator(op, "v")
           || isOperator(op, "y") || isOperator(op, "h") || isOperator(op, "re");
}

// An affine map as plain numbers: products and points without QTransform's
// classification of every matrix (a page of text maps each glyph).
struct Affine {
    double a, b, c, d, e, f;

    explicit Affine(const QTransform& t)
        : a(t.m11()), b(t.m12()), c(t.m21()), d(t.m22()), e(t.dx()), f(t.dy())
    {
    }

    Affine(double a_, double b_, double c_, double d_, double e_, double f_)
        : a(a_), b(b_), c(c_), d(d_), e(e_), f(f_)
    {
    }

    // This map, then `then`.
    Affine operator*(const Affine& then) const
    {
        return {a * then.a + b * then.c,     a * then.b + b * then.d,     c * then.a + d * then.c,
                c * then.b + d * then.d,     e * then.a + f * then.c + then.e, e * then.b + f * then.d + then.f};
    }

    QPointF map(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }

    // Affine(matrix) * then, for a matrix translated by (x, y), when this is
    // that product for a matrix of the same linear part: the same numbers,
    // with only the translation computed again.
    Affine placed(double x, double y, const Affine& then) const
    {
        return {a, b, c, d, x * then.a + y * then.c + then.e, x * then.b + y * then.d + then.f};
    }
};

double distanceToLine(const QPointF& point, const QLineF& line)
{
    const QPointF direction = line.p2() - line.p1();
    const double length = std::hypot(direction.x(), direction.y());
    const QPointF offset = point - line.p1();
    if (length < 1e-9) {
        return std::hypot(offset.x(), offset.y());
    }
    return std::abs(offset.x() * direction.y() - offset.y() * direction.x()) / length;
}

// A glyph lies on a printed line when its baseline is this close to the
// line's, in units of the line's size.
constexpr double kOnBaseline = 0.3;

// The characters of the removed and kept lines as the page's text lays
// them out, in a grid of cells over their extent: a glyph belongs to the
// line of the character whose box holds it and is most like its own.
class CharacterIndex {
public:
    CharacterIndex(const QList<PDFMaskRect>& masks, const QList<PDFPrintedLine>& keptLines)
    {
        const auto add = [&](const QList<PDFPrintedCharacter>& characters, bool removed) {
            for (const PDFPrintedCharacter& character : characters) {
                const QRectF box = character.box.normalized();
                if (!std::isfinite(box.top()) || !std::isfinite(box.bottom()) || !std::isfinite(box.left())
                    || !std::isfinite(box.right()) || box.isEmpty()) {
                    continue;
                }
                m_boxes.push_back({box, character.place, removed});
                m_extent |= box;
            }
        };
        for (const PDFMaskRect& mask : masks) {
            if (mask.line) {
                add(mask.line->characters, true);
            }
        }
        for (const PDFPrintedLine& kept : keptLines) {
            add(kept.characters, false);
        }
        if (m_boxes.empty() || !std::isfinite(m_extent.width()) || !std::isfinite(m_extent.height())) {
            m_boxes.clear();
            return;
        }
        m_taken.assign(m_boxes.size(), false);
        // Cells of about a third of a line, at most kMostCells a side.
        constexpr double kCell = 4;
        constexpr int kMostCells = 512;
        m_cell = std::max({kCell, m_extent.width() / kMostCells, m_extent.height() / kMostCells});
        m_columns = std::min(kMostCells, int(m_extent.width() / m_cell) + 1);
        m_rows = std::min(kMostCells, int(m_extent.height() / m_cell) + 1);
        m_cells.resize(size_t(m_columns) * size_t(m_rows));
        for (size_t i = 0; i < m_boxes.size(); ++i) {
            const QRectF& box = m_boxes[i].box;
            for (int row = rowOf(box.top()); row <= rowOf(box.bottom()); ++row) {
                for (int column = columnOf(box.left()); column <= columnOf(box.right()); ++column) {
                    m_cells[size_t(row) * size_t(m_columns) + size_t(column)].push_back(i);
                }
            }
        }
    }

    bool empty() const { return m_boxes.empty(); }

    // Whether the glyph whose box has its middle at `centre` (and its
    // advance's middle at `onBaseline`) is one of a removed line's
    // characters (true) or of a kept line's (false); nothing when it lies
    // in no character's box. Of the boxes holding it, the glyph is the
    // character whose box is most like its own `glyphBox` (stacked pieces
    // of a formula lie in one another's boxes); of boxes alike (an accent
    // drawn over its letter), the first in the reader's order not taken by
    // an earlier glyph.
    std::optional<bool> removed(const QPointF& centre, const QPointF& onBaseline, const QRectF& glyphBox) const
    {
        std::optional<size_t> chosen;
        double nearest = qInf();
        const auto look = [&](const QPointF& point) {
            if (!m_extent.contains(point)) {
                return;
            }
            for (const size_t i : m_cells[size_t(rowOf(point.y())) * size_t(m_columns) + size_t(columnOf(point.x()))]) {
                const QRectF& box = m_boxes[i].box;
                if (point.x() < box.left() || point.x() > box.right() || point.y() < box.top()
                    || point.y() > box.bottom()) {
                    continue;
                }
                const double distance = std::abs(glyphBox.left() - box.left())
                                        + std::abs(glyphBox.right() - box.right())
                                        + std::abs(glyphBox.top() - box.top())
                                        + std::abs(glyphBox.bottom() - box.bottom());
                constexpr double kAlike = 1e-3;
                bool better = distance < nearest - kAlike;
                if (!better && chosen && *chosen != i && distance <= nearest + kAlike) {
                    const Box& other = m_boxes[*chosen];
                    better = m_taken[*chosen] != m_taken[i] ? !m_taken[i] : m_boxes[i].place < other.place;
                }
                if (!chosen || better) {
                    nearest = std::min(nearest, distance);
                    chosen = i;
                }
            }
        };
        look(centre);
        if (onBaseline != centre) {
            look(onBaseline);
        }
        if (!chosen) {
            return std::nullopt;
        }
        m_taken[*chosen] = true;
        return m_boxes[*chosen].removed;
    }

private:
    int rowOf(double y) const { return std::clamp(int((y - m_extent.top()) / m_cell), 0, m_rows - 1); }
    int columnOf(double x) const { return std::clamp(int((x - m_extent.left()) / m_cell), 0, m_columns - 1); }

    struct Box {
        QRectF box;
        qsizetype place;
        bool removed;
    };
    std::vector<Box> m_boxes;
    // Boxes a glyph was found in.
    mutable std::vector<bool> m_taken;
    QRectF m_extent;
    double m_cell = 1;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<size_t>> m_cells;
};

// Which glyphs go: those under masks, decided by the line they belong to
// where a mask covers a printed line: by the characters of the lines where
// the page's text found them, else by the line's baseline.
class GlyphFate {
public:
    GlyphFate(const QList<PDFMaskRect>& masks, const QList<PDFPrintedLine>& keptLines)
        : m_masks(masks), m_keptLines(keptLines), m_areas(masks, false), m_lines(masks, true),
          m_characters(masks, keptLines)
    {
    }

    // Whether lines carry their characters: `goes` then needs the glyph's box.
    bool byCharacters() const { return !m_characters.empty(); }

    // `centre` is the middle of the glyph's box, `onBaseline` the middle of
    // its advance on the baseline of its line (without rise), `box` the
    // rectangle its box fills (needed only by characters).
    bool goes(const QPointF& centre, const QPointF& onBaseline, const QRectF& box = {}) const
    {
        if (m_areas.any(centre, [](qsizetype) { return true; }, m_areaHint)) {
            return true;
        }
        if (!m_characters.empty()) {
            if (const std::optional<bool> removed = m_characters.removed(centre, onBaseline, box)) {
                return *removed;
            }
        }
        const auto ofThisLine = [&](qsizetype index) { return !keptFrom(index, onBaseline); };
        if (m_lines.any(centre, ofThisLine, m_lineHint)) {
            return true;
        }
        return m_lines.any(
            onBaseline,
            [&](qsizetype index) {
                const PDFPrintedLine& line = *m_masks[index].line;
                return distanceToLine(onBaseline, line.baseline) <= kOnBaseline * std::abs(line.size)
                       && ofThisLine(index);
            },
            m_baselineHint);
    }

private:
    // True when the glyph belongs to a kept line rather than to the line
    // the mask covers.
    bool keptFrom(qsizetype index, const QPointF& onBaseline) const
    {
        std::optional<double> toMasked;
        for (const PDFPrintedLine& kept : m_keptLines) {
            if (!kept.box.contains(onBaseline)) {
                continue;
            }
            const double toKept = distanceToLine(onBaseline, kept.baseline);
            if (toKept > kOnBaseline * std::abs(kept.size)) {
                continue;
            }
            if (!toMasked) {
                toMasked = distanceToLine(onBaseline, m_masks[index].line->baseline);
            }
            if (toKept < *toMasked) {
                return true;
            }
        }
        return false;
    }

    const QList<PDFMaskRect>& m_masks;
    const QList<PDFPrintedLine>& m_keptLines;
    MaskIndex m_areas;
    MaskIndex m_lines;
    CharacterIndex m_characters;
    mutable size_t m_areaHint = 0;
    mutable size_t m_lineHint = 0;
    mutable size_t m_baselineHint = 0;
};

// A glyph as a survey of the content finds it, in the page's user space:
// where its advance starts and ends on its line's baseline, and its size.
struct SurveyedGlyph {
    QPointF start;
    QPointF end;
    double size = 0;
};

struct Context {
    QPDF& pdf;
    const QList<PDFMaskRect>& masks;
    GlyphFate fate;
    PDFMeasuredFonts& fonts;
    std::set<QPDFObjGen> openForms;
    // Set for a survey: the glyphs are gathered here and nothing changes.
    std::vector<SurveyedGlyph>* survey = nullptr;
    // Property lists whose statements go wherever they are named, and those
    // found in this walk to lose them (each content names a list as its
    // resources call it: they are told apart by the object).
    std::vector<QPDFObjectHandle> lostLists;
    std::vector<QPDFObjectHandle> foundLost;
};

bool holdsList(const std::vector<QPDFObjectHandle>& lists, QPDFObjectHandle list)
{
    return std::any_of(lists.begin(), lists.end(),
                       [&](const QPDFObjectHandle& held) { return held.isSameObjectAs(list); });
}

FilteredContent filterContent(Context& context, QPDFObjectHandle content, QPDFObjectHandle resources,
                              const QTransform& ctm, int depth);

// Walks one content stream, writing it again with what lies under the
// masks removed.
class ContentWalker {
public:
    ContentWalker(Context& context, QPDFObjectHandle resources, const QTransform& ctm, int depth)
        : m_context(context), m_depth(depth)
    {
        m_result.resources = resources;
        m_state.ctm = ctm;
    }

    void handleOperand(PDFContentOperand&& operand) { m_operands.push_back(std::move(operand)); }

    void handleOperator(std::string_view op)
    {
        operate(op);
        m_operands.clear();
    }

    void handleEOF()
    {
        if (!m_operands.empty() || m_inInlineImage) {
            throw PDFUnfilterableContent("content ends inside an operation");
        }
        dropLostStatements();
    }

    FilteredContent& result() { return m_result; }

private:
    void emitOriginal(std::string_view op)
    {
        for (const PDFContentOperand& operand : m_operands) {
            m_result.content += operand.unparse();
            m_result.content += ' ';
        }
        m_result.content += op;
        m_result.content += '\n';
    }

    void need(size_t count, std::string_view op) const
    {
        if (m_operands.size() != count) {
            throw PDFUnfilterableContent("operator " + std::string(op) + " with a wrong number of operands");
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

    void operate(std::string_view op)
    {
        if (m_inInlineImage) {
            if (isOperator(op, "ID")) {
                m_inlineDictionary = m_operands;
                return;
            }
            if (isOperator(op, "EI")) {
                inlineImage();
                m_inInlineImage = false;
                return;
            }
            throw PDFUnfilterableContent("operator " + std::string(op) + " inside an inline image");
        }
        if (isOperator(op, "BI")) {
            m_inInlineImage = true;
            return;
        }
        if (isOperator(op, "q")) {
            m_stack.push_back(m_state);
        } else if (isOperator(op, "Q")) {
            if (!m_stack.empty()) {
                m_state = m_stack.back();
                m_stack.pop_back();
            }
        } else if (isOperator(op, "cm")) {
            need(6, op);
            m_state.ctm = matrixOf(m_operands) * m_state.ctm;
        } else if (isOperator(op, "BT")) {
            m_textMatrix = m_lineMatrix = QTransform();
            m_textBegun = true;
            m_textAtPathPoint = false;
        } else if (isOperator(op, "Tf")) {
            need(2, op);
            QPDFObjectHandle fonts =
                m_result.resources.isDictionary() ? m_result.resources.getKey("/Font") : QPDFObjectHandle::newNull();
            if (!m_operands[0].isName() || !fonts.isDictionary() || !fonts.hasKey(m_operands[0].getName())) {
                throw PDFUnfilterableContent("text set in a font the page does not have");
            }
            m_state.font = fonts.getKey(m_operands[0].getName());
            m_state.metrics.reset();
            m_state.fontSize = numberOf(m_operands[1]);
        } else if (isOperator(op, "Tc")) {
            need(1, op);
            m_state.charSpacing = numberOf(m_operands[0]);
        } else if (isOperator(op, "Tw")) {
            need(1, op);
            m_state.wordSpacing = numberOf(m_operands[0]);
        } else if (isOperator(op, "Tz")) {
            need(1, op);
            m_state.horizontalScale = numberOf(m_operands[0]) / 100.0;
        } else if (isOperator(op, "TL")) {
            need(1, op);
            m_state.leading = numberOf(m_operands[0]);
        } else if (isOperator(op, "Ts")) {
            need(1, op);
            m_state.rise = numberOf(m_operands[0]);
        } else if (!m_textBegun && isTextPlacing(op)) {
            // Before its first BT, a content's text is placed where the
            // content that drew it left readers, each its own way.
            throw PDFUnfilterableContent("text placed before any text object");
        } else if (isOperator(op, "Td") || isOperator(op, "TD")) {
            need(2, op);
            if (isOperator(op, "TD")) {
                m_state.leading = -numberOf(m_operands[1]);
            }
            moveLine(numberOf(m_operands[0]), numberOf(m_operands[1]));
        } else if (isOperator(op, "Tm")) {
            need(6, op);
            m_textMatrix = m_lineMatrix = matrixOf(m_operands);
            m_textAtPathPoint = false;
        } else if (isOperator(op, "T*")) {
            moveLine(0, -m_state.leading);
        } else if (isOperator(op, "Tj") || isOperator(op, "'") || isOperator(op, "\"") || isOperator(op, "TJ")) {
            showText(op);
            return;
        } else if (isOperator(op, "gs")) {
            need(1, op);
            if (graphicsStateDictionary()) {
                return;
            }
        } else if (isOperator(op, "Do")) {
            need(1, op);
            if (drawObject()) {
                return;
            }
        } else if (isOperator(op, "BDC") || isOperator(op, "BMC") || isOperator(op, "DP")) {
            beginMarkedContent(op);
            return;
        } else if (isOperator(op, "EMC")) {
            endMarkedContent();
        } else if (isPathConstruction(op)) {
            // Until the text is placed again, poppler shows it at the path's
            // point, other readers where it was.
            m_textAtPathPoint = true;
        }
        emitOriginal(op);
    }

    void moveLine(double tx, double ty)
    {
        m_lineMatrix = QTransform(1, 0, 0, 1, tx, ty) * m_lineMatrix;
        m_textMatrix = m_lineMatrix;
        m_textAtPathPoint = false;
    }

    // True when the state was written (changed) here: its soft mask's group
    // drew something under the masks.
    bool graphicsStateDictionary()
    {
        QPDFObjectHandle states = m_result.resources.isDictionary() ? m_result.resources.getKey("/ExtGState")
                                                                          : QPDFObjectHandle::newNull();
        if (!m_operands[0].isName() || !states.isDictionary()) {
            return false;
        }
        QPDFObjectHandle state = states.getKey(m_operands[0].getName());
        QPDFObjectHandle font = state.isDictionary() ? state.getKey("/Font") : QPDFObjectHandle::newNull();
        if (font.isArray() && font.getArrayNItems() == 2) {
            m_state.font = font.getArrayItem(0);
            m_state.metrics.reset();
            m_state.fontSize = numberOf(font.getArrayItem(1));
        }
        // The group of a soft mask is drawn where the state is set.
        QPDFObjectHandle softMask = state.isDictionary() ? state.getKey("/SMask") : QPDFObjectHandle::newNull();
        QPDFObjectHandle group = softMask.isDictionary() ? softMask.getKey("/G") : QPDFObjectHandle::newNull();
        if (!group.isStream() || m_context.survey) {
            return false;
        }
        const std::optional<QPDFObjectHandle> cleaned = cleanedForm(group);
        if (!cleaned) {
            return false;
        }
        QPDFObjectHandle maskCopy = softMask.shallowCopy();
        maskCopy.replaceKey("/G", *cleaned);
        QPDFObjectHandle stateCopy = state.shallowCopy();
        stateCopy.replaceKey("/SMask", maskCopy);
        contentRemoved();
        m_result.content += addResource("/ExtGState", stateCopy, "/ZelvaneState") + " gs\n";
        return true;
    }

    // Marked content that states what it holds (/ActualText, /Alt, /E)
    // would keep removed words: the statement goes when any of its glyphs or
    // images does, also from every marked content around it. A marked-content
    // point (DP) loses its statement inside marked content that lost
    // something, and next to text that lost glyphs. A named property list
    // that lost its statement anywhere loses it in all its uses here, so the
    // original is no longer named.
    void beginMarkedContent(std::string_view op)
    {
        Statement mark;
        mark.op = isOperator(op, "DP") ? "DP" : "BDC";
        mark.start = m_result.content.size();
        if ((isOperator(op, "BDC") || isOperator(op, "DP")) && m_operands.size() == 2) {
            QPDFObjectHandle properties;
            if (m_operands[1].isName()) {
                mark.name = m_operands[1].getName();
                QPDFObjectHandle lists = m_result.resources.isDictionary() ? m_result.resources.getKey("/Properties")
                                                                           : QPDFObjectHandle::newNull();
                properties = lists.isDictionary() ? lists.getKey(mark.name) : QPDFObjectHandle::newNull();
            } else {
                properties = m_operands[1].handle();
            }
            if (properties.isDictionary()) {
                for (const char* key : kStatements) {
                    mark.states = mark.states || properties.hasKey(key);
                }
            }
            mark.tag = m_operands[0].handle();
            mark.properties = properties;
        }
        if (isOperator(op, "DP")) {
            mark.around = m_marks;
            mark.lostGlyphs = m_lastTextLost;
        }
        emitOriginal(op);
        mark.length = m_result.content.size() - mark.start;
        m_statements.push_back(mark);
        if (isOperator(op, "DP")) {
            m_pointsBeforeText.push_back(m_statements.size() - 1);
        } else {
            m_marks.push_back(m_statements.size() - 1);
        }
    }

    void endMarkedContent()
    {
        if (!m_marks.empty()) {
            m_marks.pop_back();
        }
    }

    // Writes the openings and points that lost their statements again
    // without them, from the last, so that earlier places stay.
    void dropLostStatements()
    {
        std::set<std::string> lostNames;
        for (Statement& statement : m_statements) {
            for (size_t index : statement.around) {
                statement.lostGlyphs = statement.lostGlyphs || m_statements[index].lostGlyphs;
            }
            if (statement.states && statement.lostGlyphs && !statement.name.empty()) {
                lostNames.insert(statement.name);
                if (!holdsList(m_context.foundLost, statement.properties)) {
                    m_context.foundLost.push_back(statement.properties);
                }
            }
        }
        std::map<std::string, std::string> renamed;
        for (auto it = m_statements.rbegin(); it != m_statements.rend(); ++it) {
            Statement& statement = *it;
            const bool lostElsewhere = !statement.name.empty() && statement.states
                                       && holdsList(m_context.lostLists, statement.properties);
            const bool lostByName = lostElsewhere || (!statement.name.empty() && lostNames.count(statement.name));
            if (!statement.states || !(statement.lostGlyphs || lostByName)) {
                continue;
            }
            // A content that lost nothing of its own changes for it too.
            m_result.changed = true;
            QPDFObjectHandle copy = statement.properties.shallowCopy();
            for (const char* key : kStatements) {
                copy.removeKey(key);
            }
            std::string properties = copy.unparse();
            if (!statement.name.empty()) {
                auto name = renamed.find(statement.name);
                if (name == renamed.end()) {
                    name = renamed.emplace(statement.name, addResource("/Properties", copy, "/ZelvaneMark")).first;
                }
                properties = name->second;
            }
            m_result.content.replace(statement.start, statement.length,
                                     statement.tag.unparse() + " " + properties + " " + statement.op + "\n");
        }
    }

    // Something under the masks went: the content changed, and the marked
    // content around it no longer holds what it states.
    void contentRemoved()
    {
        m_result.changed = true;
        for (size_t index : m_marks) {
            m_statements[index].lostGlyphs = true;
        }
        textShown(true);
    }

    // Text was shown (or something else drawn that lost content): points
    // waiting for it are tied to it.
    void textShown(bool lost)
    {
        for (size_t index : m_pointsBeforeText) {
            m_statements[index].lostGlyphs = m_statements[index].lostGlyphs || lost;
        }
        m_pointsBeforeText.clear();
        m_lastTextLost = lost;
    }

    // One shown string or TJ array, rewritten when glyphs of it lie under a
    // mask: the kept glyphs in order, the removed ones replaced by the
    // positioning that moves as far.
    void showText(std::string_view op)
    {
        std::span<const PDFContentOperand> items;
        // The items of an array read by qpdf.
        std::vector<PDFContentOperand> arrayItems;
        std::string prefix;
        if (isOperator(op, "Tj") || isOperator(op, "'")) {
            need(1, op);
            items = std::span(m_operands.data(), 1);
            if (isOperator(op, "'")) {
                moveLine(0, -m_state.leading);
                prefix = "T*\n";
            }
        } else if (isOperator(op, "\"")) {
            need(3, op);
            m_state.wordSpacing = numberOf(m_operands[0]);
            m_state.charSpacing = numberOf(m_operands[1]);
            moveLine(0, -m_state.leading);
            items = std::span(m_operands.data() + 2, 1);
            prefix = m_operands[0].unparse() + " Tw " + m_operands[1].unparse() + " Tc T*\n";
        } else {
            need(1, op);
            if (!m_operands[0].isArray()) {
                throw PDFUnfilterableContent("TJ without an array");
            }
            if (const std::vector<PDFContentOperand>* read = m_operands[0].readItems()) {
                items = *read;
            } else {
                arrayItems = m_operands[0].arrayItems();
                items = arrayItems;
            }
        }
        if (m_textAtPathPoint) {
            throw PDFUnfilterableContent("text shown after a path was built");
        }
        if (!isOperator(op, "TJ") && !items.front().isString()) {
            // Readers show nothing and move nowhere for a number given as
            // the text; taken as an adjustment it would move the text.
            throw PDFUnfilterableContent("operator " + std::string(op) + " without a string");
        }
        if (m_state.font.isNull()) {
            throw PDFUnfilterableContent("text shown without a font");
        }
        if (!m_state.metrics) {
            m_state.metrics = metricsOf(m_context.fonts, m_state.font);
        }
        const PDFFontMetrics& metrics = *m_state.metrics;
        const bool vertical = metrics.vertical();
        const double size = m_state.fontSize;
        const double scale = m_state.horizontalScale;

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
        // The text matrix's translation, moved in the matrix's own space
        // glyph by glyph and written back when the show ends (its other
        // numbers stay).
        const double m11 = m_textMatrix.m11();
        const double m12 = m_textMatrix.m12();
        const double m21 = m_textMatrix.m21();
        const double m22 = m_textMatrix.m22();
        double textX = m_textMatrix.dx();
        double textY = m_textMatrix.dy();
        bool moved = false;
        const auto move = [&](double advance) {
            const double tx = vertical ? 0 : advance;
            const double ty = vertical ? advance : 0;
            textX = textX + tx * m11 + ty * m21;
            textY = textY + tx * m12 + ty * m22;
            moved = true;
        };
        const bool sizeless = size == 0 || scale == 0;
        const Affine userSpace(m_state.ctm);
        const Affine towardsUser = Affine(m_textMatrix) * userSpace;
        for (const PDFContentOperand& item : items) {
            if (item.isString()) {
                std::vector<PDFGlyph> glyphs;
                try {
                    glyphs = metrics.glyphs(item.stringBytes());
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
                    // Text space to the page's user space (only the text
                    // matrix's translation changes from glyph to glyph).
                    const Affine textToUser = towardsUser.placed(textX, textY, userSpace);
                    // (An affine map keeps the middle of a box the middle.)
                    const QPointF middle = box.center();
                    const QPointF centre =
                        textToUser.map(middle.x() * size * scale, middle.y() * size + m_state.rise);
                    // The middle of the advance, on the line's baseline.
                    const QPointF onBaseline =
                        vertical ? centre : textToUser.map(glyph.advance / 2 * size * scale, 0);
                    if (m_context.survey && !vertical) {
                        const QPointF origin = textToUser.map(0, 0);
                        const QPointF up = textToUser.map(0, size) - origin;
                        m_context.survey->push_back(
                            {origin, textToUser.map(glyph.advance * size * scale, 0), std::hypot(up.x(), up.y())});
                    }
                    QRectF glyphBox;
                    if (!m_context.survey && m_context.fate.byCharacters()) {
                        // The glyph's box in the page's user space, as a reader lays it out.
                        const double x0 = box.left() * size * scale;
                        const double x1 = box.right() * size * scale;
                        const double y0 = box.top() * size + m_state.rise;
                        const double y1 = box.bottom() * size + m_state.rise;
                        const QPointF corners[] = {textToUser.map(x0, y0), textToUser.map(x1, y0),
                                                   textToUser.map(x0, y1), textToUser.map(x1, y1)};
                        double left = corners[0].x(), right = left, top = corners[0].y(), bottom = top;
                        for (const QPointF& corner : corners) {
                            left = std::min(left, corner.x());
                            right = std::max(right, corner.x());
                            top = std::min(top, corner.y());
                            bottom = std::max(bottom, corner.y());
                        }
                        glyphBox = QRectF(QPointF(left, top), QPointF(right, bottom));
                    }
                    if (!m_context.survey && m_context.fate.goes(centre, onBaseline, glyphBox)) {
                        removedAny = true;
                        if (sizeless) {
                            throw PDFUnfilterableContent("text of size zero under a mask");
                        }
                        pending -= (glyph.advance * size + spacing) * 1000.0 / size;
                    } else {
                        if (pending != 0) {
                            flushString();
                            array += contentNumberText(pending) + ' ';
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
        if (moved) {
            m_textMatrix = QTransform(m11, m12, m21, m22, textX, textY);
        }
        if (!removedAny) {
            textShown(false);
            emitOriginal(op);
            return;
        }
        contentRemoved();
        flushString();
        if (pending != 0) {
            array += contentNumberText(pending);
        }
        m_result.content += prefix + "[" + array + "] TJ\n";
    }

    // Gives `object` a new name in the category of the resources (copied
    // once for this content) and returns the name.
    std::string addResource(const std::string& category, QPDFObjectHandle object, const std::string& prefix)
    {
        if (!m_result.resourcesChanged) {
            m_result.resources = m_result.resources.isDictionary() ? m_result.resources.shallowCopy()
                                                                   : QPDFObjectHandle::newDictionary();
            m_result.resourcesChanged = true;
        }
        if (!m_copiedCategories.count(category)) {
            QPDFObjectHandle entries = m_result.resources.getKey(category);
            m_result.resources.replaceKey(
                category, entries.isDictionary() ? entries.shallowCopy() : QPDFObjectHandle::newDictionary());
            m_copiedCategories.insert(category);
        }
        QPDFObjectHandle entries = m_result.resources.getKey(category);
        std::string name;
        do {
            name = prefix + std::to_string(m_nextName++);
        } while (entries.hasKey(name));
        entries.replaceKey(name, object);
        return name;
    }

    std::string addXObject(QPDFObjectHandle object) { return addResource("/XObject", object, "/ZelvaneMasked"); }

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
            if (m_context.survey || !underMasks(m_state.ctm.mapRect(QRectF(0, 0, 1, 1)))) {
                return false;
            }
            std::optional<QPDFObjectHandle> painted =
                paintImageUnderMasks(object, m_state.ctm, m_context.masks, m_result.resources);
            if (!painted) {
                return false;
            }
            contentRemoved();
            m_result.content += addXObject(*painted) + " Do\n";
            return true;
        }
        if (kind != "/Form") {
            return false;
        }
        const std::optional<QPDFObjectHandle> cleaned = cleanedForm(object);
        if (!cleaned) {
            return false;
        }
        contentRemoved();
        m_result.content += addXObject(*cleaned) + " Do\n";
        return true;
    }

    // A copy of `form`, drawn here, without what lies under the masks;
    // nothing when nothing of it does.
    std::optional<QPDFObjectHandle> cleanedForm(QPDFObjectHandle form)
    {
        if (m_depth >= kMaxFormDepth) {
            throw PDFUnfilterableContent("forms nested too deep");
        }
        const QPDFObjGen id = form.getObjGen();
        if (m_context.openForms.count(id)) {
            throw PDFUnfilterableContent("form that draws itself");
        }
        QPDFObjectHandle resources = form.getDict().getKey("/Resources");
        const bool inherits = !resources.isDictionary();
        if (inherits) {
            resources = m_result.resources;
        }
        const QTransform formCtm = matrixOf(form.getDict().getKey("/Matrix")) * m_state.ctm;
        m_context.openForms.insert(id);
        FilteredContent inner = filterContent(m_context, form, resources, formCtm, m_depth + 1);
        m_context.openForms.erase(id);
        if (!inner.changed) {
            return std::nullopt;
        }
        QPDFObjectHandle copy = form.copyStream();
        copy.replaceStreamData(inner.content, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        dropPrivateData(copy);
        // A copy of a form that drew with these resources names them: what
        // replaced its objects here must not take them from it.
        if (inner.resourcesChanged || inherits) {
            copy.getDict().replaceKey("/Resources", inner.resources);
        }
        return copy;
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
            dictionary.replaceKey(m_inlineDictionary[i].getName(), m_inlineDictionary[i + 1].handle());
            pairs += m_inlineDictionary[i].unparse() + " " + m_inlineDictionary[i + 1].unparse() + "\n";
        }
        std::optional<std::string> painted;
        if (!m_context.survey && underMasks(m_state.ctm.mapRect(QRectF(0, 0, 1, 1)))) {
            painted = paintInlineImageUnderMasks(m_context.pdf, dictionary, data, m_state.ctm, m_context.masks,
                                                 m_result.resources);
        }
        if (painted) {
            contentRemoved();
            m_result.content += *painted;
        } else {
            m_result.content += "BI\n" + pairs + "ID " + data + "\nEI\n";
        }
    }

    // The opening of marked content (BDC, BMC) or a marked-content point
    // (DP) as written.
    struct Statement {
        std::string op;
        size_t start = 0;
        size_t length = 0;
        QPDFObjectHandle tag;
        QPDFObjectHandle properties;
        // The name of a property list of the resources; empty when inline.
        std::string name;
        bool states = false;
        bool lostGlyphs = false;
        // For a point: the marked content it lies in.
        std::vector<size_t> around;
    };

    static constexpr const char* kStatements[] = {"/ActualText", "/Alt", "/E"};

    Context& m_context;
    int m_depth = 0;
    FilteredContent m_result;
    std::vector<PDFContentOperand> m_operands;
    GraphicsState m_state;
    std::vector<GraphicsState> m_stack;
    QTransform m_textMatrix;
    QTransform m_lineMatrix;
    std::vector<Statement> m_statements;
    // Indices into m_statements of the open marked content.
    std::vector<size_t> m_marks;
    std::vector<size_t> m_pointsBeforeText;
    bool m_lastTextLost = false;
    bool m_inInlineImage = false;
    // A BT was met: the text is placed by this content.
    bool m_textBegun = false;
    // A path was built since the text was last placed.
    bool m_textAtPathPoint = false;
    std::vector<PDFContentOperand> m_inlineDictionary;
    int m_nextName = 0;
    std::set<std::string> m_copiedCategories;
};

// Hands the operands and operators of `content` (a stream or an array of
// streams) to `walker` as qpdf's content parsing finds them, reading each
// token once. Throws PDFUnfilterableContent where the content is damaged.
void parseContent(QPDFObjectHandle content, ContentWalker& walker)
{
    Pl_Buffer buffer("content");
    std::string description;
    content.pipeContentStreams(&buffer, "content", description);
    const std::shared_ptr<Buffer> data = buffer.getBufferSharedPointer();
    const std::string_view plain(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    // Ordinary content is split by the quick scanner, the rest by qpdf's
    // tokenizer, token by token.
    std::vector<PDFContentToken> scanned;
    const bool quick = scanPlainContent(plain, scanned, true);
    size_t next = 0;
    const auto input = std::make_shared<BufferInputSource>("content", data.get());
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    // The arrays (true) and dictionaries (false) being read, with their items.
    std::vector<std::pair<bool, std::vector<PDFContentOperand>>> open;
    const auto take = [&](PDFContentOperand&& operand) {
        if (open.empty()) {
            walker.handleOperand(std::move(operand));
        } else {
            open.back().second.push_back(std::move(operand));
        }
    };
    for (;;) {
        QPDFTokenizer::Token read;
        QPDFTokenizer::token_type_e type = QPDFTokenizer::tt_eof;
        std::string_view written;
        // A string's bytes: the scanner's own (taken), or the tokenizer's.
        std::string* scannedBytes = nullptr;
        const std::string* bytes = nullptr;
        if (quick) {
            if (next < scanned.size()) {
                type = scanned[next].type;
                written = scanned[next].written;
                scannedBytes = &scanned[next].bytes;
                bytes = scannedBytes;
                ++next;
            }
        } else {
            read = tokenizer.readToken(input, "content", true);
            type = read.getType();
            written = read.getValue();
            bytes = &read.getValue();
        }
        switch (type) {
        case QPDFTokenizer::tt_eof:
            if (!open.empty()) {
                throw PDFUnfilterableContent("content ends inside an array or dictionary");
            }
            walker.handleEOF();
            return;
        case QPDFTokenizer::tt_array_open:
        case QPDFTokenizer::tt_dict_open:
            open.emplace_back(type == QPDFTokenizer::tt_array_open, std::vector<PDFContentOperand>());
            break;
        case QPDFTokenizer::tt_array_close:
        case QPDFTokenizer::tt_dict_close: {
            const bool array = type == QPDFTokenizer::tt_array_close;
            if (open.empty() || open.back().first != array) {
                throw PDFUnfilterableContent("content is damaged");
            }
            std::vector<PDFContentOperand> items = std::move(open.back().second);
            open.pop_back();
            if (array) {
                take(PDFContentOperand::array(std::move(items)));
                break;
            }
            if (items.size() % 2 != 0) {
                throw PDFUnfilterableContent("content is damaged");
            }
            QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
            for (size_t i = 0; i < items.size(); i += 2) {
                if (!items[i].isName()) {
                    throw PDFUnfilterableContent("content is damaged");
                }
                dictionary.replaceKey(items[i].getName(), items[i + 1].handle());
            }
            take(PDFContentOperand::object(dictionary));
            break;
        }
        case QPDFTokenizer::tt_integer:
            take(PDFContentOperand::integer(QUtil::string_to_ll(std::string(written).c_str())));
            break;
        case QPDFTokenizer::tt_real:
            take(PDFContentOperand::real(written));
            break;
        case QPDFTokenizer::tt_name:
            take(PDFContentOperand::name(written));
            break;
        case QPDFTokenizer::tt_string:
            take(PDFContentOperand::string(scannedBytes ? std::move(*scannedBytes) : std::string(*bytes)));
            break;
        case QPDFTokenizer::tt_bool:
            take(PDFContentOperand::object(QPDFObjectHandle::newBool(written == "true")));
            break;
        case QPDFTokenizer::tt_null:
            take(PDFContentOperand::object(QPDFObjectHandle::newNull()));
            break;
        case QPDFTokenizer::tt_word:
            // Readers take a word that starts as a number ("-40Td",
            // "1.2.3", "3e2") for a number and what follows it, so it may
            // move the text where this walk would not: such content is
            // not read as they read it.
            if (const char first = written.empty() ? ' ' : written.front();
                (first >= '0' && first <= '9') || first == '+' || first == '-' || first == '.') {
                throw PDFUnfilterableContent("a number runs into the characters after it");
            }
            if (!open.empty()) {
                take(PDFContentOperand::object(QPDFObjectHandle::newOperator(std::string(written))));
                break;
            }
            walker.handleOperator(written);
            if (!quick && written == "ID") {
                // The data runs from after the one character that ends ID
                // to EI (the quick scanner leaves inline images to qpdf).
                char skipped;
                input->read(&skipped, 1);
                tokenizer.expectInlineImage(input);
                const QPDFTokenizer::Token image = tokenizer.readToken(input, "content", true);
                if (image.getType() != QPDFTokenizer::tt_inline_image) {
                    throw PDFUnfilterableContent("content ends inside an inline image");
                }
                walker.handleOperand(PDFContentOperand::object(QPDFObjectHandle::newInlineImage(image.getValue())));
            }
            break;
        default:
            throw PDFUnfilterableContent("content is damaged");
        }
    }
}

FilteredContent filterContent(Context& context, QPDFObjectHandle content, QPDFObjectHandle resources,
                              const QTransform& ctm, int depth)
{
    ContentWalker walker(context, resources, ctm, depth);
    const size_t warnings = context.pdf.numWarnings();
    try {
        parseContent(content, walker);
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

// Gives the redacted areas that are the box of one printed line (a deleted
// line) that line, so that they take its glyphs as a changed line's mask
// does: the glyphs whose baselines lie in the area, but for those of kept
// lines, share one baseline, and their advances span the area along it.
void findLinesOfAreas(QList<PDFMaskRect>& masks, const std::vector<SurveyedGlyph>& glyphs,
                      const QList<PDFPrintedLine>& keptLines)
{
    // Areas holding more glyphs than this are no line.
    constexpr size_t kMostGlyphs = 2000;
    const auto ofKeptLine = [&](const QPointF& point) {
        for (const PDFPrintedLine& kept : keptLines) {
            if (kept.box.contains(point) && distanceToLine(point, kept.baseline) <= kOnBaseline * std::abs(kept.size)) {
                return true;
            }
        }
        return false;
    };
    for (PDFMaskRect& mask : masks) {
        if (mask.line) {
            continue;
        }
        const QRectF area = mask.rect.normalized();
        std::vector<const SurveyedGlyph*> inside;
        for (const SurveyedGlyph& glyph : glyphs) {
            const QPointF middle = (glyph.start + glyph.end) / 2;
            if (area.contains(middle) && glyph.size > 0 && !ofKeptLine(middle)) {
                inside.push_back(&glyph);
            }
        }
        if (inside.empty() || inside.size() > kMostGlyphs) {
            continue;
        }
        const SurveyedGlyph& first = *inside.front();
        const QLineF baseline(first.start, first.end == first.start ? first.start + QPointF(1, 0) : first.end);
        QRectF reach;
        bool oneLine = true;
        for (const SurveyedGlyph* glyph : inside) {
            if (distanceToLine((glyph->start + glyph->end) / 2, baseline) > kOnBaseline * first.size) {
                oneLine = false;
                break;
            }
            reach |= QRectF(glyph->start, glyph->end).normalized().adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
        }
        if (!oneLine) {
            continue;
        }
        const double slack = 0.25 * first.size + 1.5;
        const QPointF direction = baseline.p2() - baseline.p1();
        const bool across = std::abs(direction.x()) >= std::abs(direction.y());
        const bool spans = across ? std::abs(reach.left() - area.left()) <= slack
                                        && std::abs(reach.right() - area.right()) <= slack
                                  : std::abs(reach.top() - area.top()) <= slack
                                        && std::abs(reach.bottom() - area.bottom()) <= slack;
        if (spans) {
            mask.line = PDFPrintedLine{baseline, first.size, area};
        }
    }
}

}  // namespace

QPDFObjectHandle removeContentUnderMasks(QPDF& pdf, QPDFObjectHandle form, const QList<PDFMaskRect>& masks,
                                         const QList<PDFPrintedLine>& keptLines, PDFMeasuredFonts* measured)
{
    PDFMeasuredFonts ownFonts;
    PDFMeasuredFonts& fonts = measured ? *measured : ownFonts;
    if (masks.isEmpty()) {
        return form;
    }
    if (!form.isStream()) {
        throw PDFUnfilterableContent("page content is not a form");
    }
    // Where lines are kept, the redacted areas that are a line's box are
    // found first, by a survey of the glyphs.
    QList<PDFMaskRect> judged = masks;
    const bool areas = std::any_of(masks.begin(), masks.end(), [](const PDFMaskRect& mask) { return !mask.line; });
    if (!keptLines.isEmpty() && areas) {
        std::vector<SurveyedGlyph> glyphs;
        Context survey{pdf, masks, GlyphFate(masks, keptLines), fonts, {}, &glyphs};
        if (form.isIndirect()) {
            survey.openForms.insert(form.getObjGen());
        }
        filterContent(survey, form, form.getDict().getKey("/Resources"), QTransform(), 0);
        findLinesOfAreas(judged, glyphs, keptLines);
    }
    // A property list that lost its statements in one content loses them in
    // every content naming it, those walked before it included: the walk is
    // made again, knowing the lists, until it finds no more (the lists a
    // walk finds go by the glyphs alone, so a second walk finds the same).
    std::vector<QPDFObjectHandle> lostLists;
    FilteredContent filtered;
    for (int walk = 0;; ++walk) {
        Context context{pdf, judged, GlyphFate(judged, keptLines), fonts, {}};
        context.lostLists = lostLists;
        if (form.isIndirect()) {
            context.openForms.insert(form.getObjGen());
        }
        filtered = filterContent(context, form, form.getDict().getKey("/Resources"), QTransform(), 0);
        const bool more = std::any_of(context.foundLost.begin(), context.foundLost.end(),
                                      [&](const QPDFObjectHandle& list) { return !holdsList(lostLists, list); });
        if (!more || walk >= 3) {
            break;
        }
        for (const QPDFObjectHandle& list : context.foundLost) {
            if (!holdsList(lostLists, list)) {
                lostLists.push_back(list);
            }
        }
    }
    if (!filtered.changed) {
        return form;
    }
    QPDFObjectHandle copy = form.copyStream();
    copy.replaceStreamData(filtered.content, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    dropPrivateData(copy);
    if (filtered.resourcesChanged) {
        copy.getDict().replaceKey("/Resources", filtered.resources);
    }
    // What the copy no longer draws (the objects its cleaned copies replace)
    // must not stay reachable from it.
    dropUnnamedResources(copy);
    return copy;
}

}  // namespace zelvane
