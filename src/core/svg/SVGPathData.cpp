#include "svg/SVGPathData.h"

#include "svg/SVGValueText.h"

#include <algorithm>
#include <optional>

namespace zelvane::SVGCodec {

namespace {

// Hands each point of sampleCubic to `visit`, in order.
template <typename Visit>
void visitCubicSamples(const VectorPoint& from, const VectorPoint& c1, const VectorPoint& c2, const VectorPoint& to,
                       int steps, Visit visit)
{
    const int divisions = std::max(steps, 1);
    const int count = std::max(steps, 2);
    for (int i = 1; i <= count; ++i) {
        const double t = double(i) / divisions;
        const double mt = 1 - t;
        const double a = mt * mt * mt;
        const double b = 3 * mt * mt * t;
        const double c = 3 * mt * t * t;
        const double e = t * t * t;
        visit(VectorPoint{a * from.x + b * c1.x + c * c2.x + e * to.x, a * from.y + b * c1.y + c * c2.y + e * to.y});
    }
}

bool isCommandToken(QStringView token)
{
    return token.size() == 1 && token[0].isLetter();
}

// The state of one pass over the tokens.
class PathReader {
public:
    PathReader(const QList<QStringView>& tokens, const VectorPoint& offset, const VectorPoint& scale)
        : m_tokens(tokens), m_offset(offset), m_scale(scale)
    {
    }

    QList<VectorSubpath> read()
    {
        const qsizetype count = m_tokens.size();
        while (m_index < count) {
            const QStringView token = m_tokens[m_index];
            if (isCommandToken(token)) {
                m_command = token[0];
                ++m_index;
                if (m_command == u'Z' || m_command == u'z') {
                    finishSubpath(true);
                    m_current = m_start;
                    m_lastControl.reset();
                }
                continue;
            }
            readArguments();
        }
        finishSubpath(false);
        return m_subpaths;
    }

private:
    // Reads `count` numbers into `values`; on failure the index moves one past
    // the token where reading stopped and nothing is to be drawn.
    bool take(int count, double* values)
    {
        for (int k = 0; k < count; ++k) {
            std::optional<double> value;
            if (m_index < m_tokens.size()) {
                value = readFiniteNumber(m_tokens[m_index]);
            }
            if (!value) {
                ++m_index;
                return false;
            }
            values[k] = *value;
            ++m_index;
        }
        return true;
    }

    void readArguments()
    {
        const char16_t command = m_command.unicode();
        const bool relative = m_command.isLower();
        const double dx = relative ? m_current.x : 0;
        const double dy = relative ? m_current.y : 0;
        double v[6];
        switch (command) {
        case u'M':
        case u'm':
            if (take(2, v)) {
                finishSubpath(false);
                const VectorPoint p{v[0] + dx, v[1] + dy};
                addPoint(p);
                m_current = p;
                m_start = p;
                m_command = relative ? QChar(u'l') : QChar(u'L');
                m_lastControl.reset();
            }
            break;
        case u'L':
        case u'l':
            if (take(2, v)) {
                lineTo({v[0] + dx, v[1] + dy});
            }
            break;
        case u'H':
        case u'h':
            if (take(1, v)) {
                lineTo({v[0] + dx, m_current.y});
            }
            break;
        case u'V':
        case u'v':
            if (take(1, v)) {
                lineTo({m_current.x, v[0] + dy});
            }
            break;
        case u'C':
        case u'c':
            if (take(6, v)) {
                curveTo({v[0] + dx, v[1] + dy}, {v[2] + dx, v[3] + dy}, {v[4] + dx, v[5] + dy});
            }
            break;
        case u'S':
        case u's':
            if (take(4, v)) {
                const VectorPoint c1 =
                    m_lastControl ? VectorPoint{2 * m_current.x - m_lastControl->x, 2 * m_current.y - m_lastControl->y}
                                  : m_current;
                curveTo(c1, {v[0] + dx, v[1] + dy}, {v[2] + dx, v[3] + dy});
            }
            break;
        case u'Q':
        case u'q':
            if (take(4, v)) {
                quadTo({v[0] + dx, v[1] + dy}, {v[2] + dx, v[3] + dy});
            }
            break;
        default:
            // Closepath takes no numbers; arcs and unknown commands are not
            // drawn. Either way the token is passed over.
            ++m_index;
            break;
        }
    }

    void lineTo(const VectorPoint& p)
    {
        addPoint(p);
        m_current = p;
        m_lastControl.reset();
    }

    void curveTo(const VectorPoint& c1, const VectorPoint& c2, const VectorPoint& to)
    {
        visitCubicSamples(m_current, c1, c2, to, 10, [this](const VectorPoint& p) { addPoint(p); });
        m_current = to;
        m_lastControl = c2;
    }

    void quadTo(const VectorPoint& c, const VectorPoint& to)
    {
        const VectorPoint p0 = m_current;
        for (int i = 1; i <= 8; ++i) {
            const double t = i / 8.0;
            const double mt = 1 - t;
            addPoint(
                {mt * mt * p0.x + 2 * t * mt * c.x + t * t * to.x, mt * mt * p0.y + 2 * t * mt * c.y + t * t * to.y});
        }
        m_current = to;
        m_lastControl = c;
    }

    void addPoint(const VectorPoint& p)
    {
        m_points.append({p.x * m_scale.x + m_offset.x, p.y * m_scale.y + m_offset.y});
    }

    void finishSubpath(bool closed)
    {
        if (!m_points.isEmpty()) {
            m_subpaths.append(VectorSubpath{std::move(m_points), closed});
            m_points = {};
        }
    }

    const QList<QStringView>& m_tokens;
    const VectorPoint m_offset;
    const VectorPoint m_scale;
    qsizetype m_index = 0;
    QChar m_command{u'M'};
    VectorPoint m_current;
    VectorPoint m_start;
    std::optional<VectorPoint> m_lastControl;
    QList<VectorPoint> m_points;
    QList<VectorSubpath> m_subpaths;
};

}  // namespace

QList<QStringView> pathTokens(QStringView d)
{
    QList<QStringView> tokens;
    // The number being read: d.sliced(start, length), its characters always
    // side by side.
    qsizetype start = 0;
    qsizetype length = 0;
    const auto flush = [&] {
        if (length > 0) {
            tokens.append(d.sliced(start, length));
            length = 0;
        }
    };
    const auto extend = [&](qsizetype at) {
        if (length == 0) {
            start = at;
        }
        ++length;
    };
    for (qsizetype i = 0; i < d.size(); ++i) {
        const QChar c = d[i];
        if (c == u'e' || c == u'E') {
            extend(i);
        } else if (c.isLetter()) {
            flush();
            tokens.append(d.sliced(i, 1));
        } else if (c == u',' || c.isSpace()) {
            flush();
        } else if (c == u'-') {
            if (length > 0 && d[i - 1] != u'e' && d[i - 1] != u'E') {
                flush();
            }
            extend(i);
        } else {
            extend(i);
        }
    }
    flush();
    return tokens;
}

QStringList tokenizePathD(const QString& d)
{
    QStringList tokens;
    for (const QStringView token : pathTokens(d)) {
        tokens.append(token.toString());
    }
    return tokens;
}

QList<VectorSubpath> parsePathData(QStringView d, const VectorPoint& offset, const VectorPoint& scale)
{
    const QList<QStringView> tokens = pathTokens(d);
    return PathReader(tokens, offset, scale).read();
}

QList<VectorPoint> sampleCubic(const VectorPoint& from, const VectorPoint& c1, const VectorPoint& c2,
                               const VectorPoint& to, int steps)
{
    QList<VectorPoint> points;
    points.reserve(std::max(steps, 2));
    visitCubicSamples(from, c1, c2, to, steps, [&](const VectorPoint& p) { points.append(p); });
    return points;
}

}  // namespace zelvane::SVGCodec
