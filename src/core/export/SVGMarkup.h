#pragma once

#include "svg/SVGValueText.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace zelvane::SVGCodec {

// Lines of SVG markup written one after the other into one UTF-8 text, each
// ended by a line feed, with numbers and escaped texts written in place.
// Where each line ends is noted when the caller wants the lines apart.
class SVGMarkup {
public:
    explicit SVGMarkup(QByteArray& out, QList<qsizetype>* lineEnds = nullptr) : m_out(out), m_lineEnds(lineEnds) {}

    QByteArray& bytes() { return m_out; }

    // Plain ASCII markup.
    template <qsizetype N>
    SVGMarkup& operator<<(const char (&ascii)[N])
    {
        m_out.append(ascii, N - 1);
        return *this;
    }
    SVGMarkup& operator<<(QLatin1String ascii)
    {
        m_out.append(ascii.data(), ascii.size());
        return *this;
    }
    SVGMarkup& operator<<(QByteArrayView ascii)
    {
        m_out.append(ascii);
        return *this;
    }
    SVGMarkup& operator<<(char c)
    {
        m_out.append(c);
        return *this;
    }
    // A text that needs no escaping (an indent, a number text).
    SVGMarkup& operator<<(QStringView text)
    {
        appendUtf8(m_out, text);
        return *this;
    }
    // A coordinate or length as formatNum writes it.
    SVGMarkup& num(double value)
    {
        appendNum(m_out, value);
        return *this;
    }
    // Character data and attribute values, escaped.
    SVGMarkup& xml(QStringView text)
    {
        appendEscapedXML(m_out, text);
        return *this;
    }
    SVGMarkup& attr(QStringView text)
    {
        appendEscapedAttribute(m_out, text);
        return *this;
    }
    void endLine()
    {
        m_out.append('\n');
        if (m_lineEnds) {
            m_lineEnds->append(m_out.size());
        }
    }

private:
    QByteArray& m_out;
    QList<qsizetype>* m_lineEnds;
};

}  // namespace zelvane::SVGCodec
