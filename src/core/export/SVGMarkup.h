#pragma once

#include "svg/SVGValueText.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace zelvane::SVGCodec {

// Lines of SVG markup written one after the other into one text, each ended
// by a line feed, with numbers and escaped texts written in place. Where each
// line ends is noted when the caller wants the lines apart.
class SVGMarkup {
public:
    explicit SVGMarkup(QString& out, QList<qsizetype>* lineEnds = nullptr) : m_out(out), m_lineEnds(lineEnds) {}

    QString& text() { return m_out; }

    SVGMarkup& operator<<(const char* ascii)
    {
        m_out.append(QLatin1String(ascii));
        return *this;
    }
    SVGMarkup& operator<<(QLatin1String text)
    {
        m_out.append(text);
        return *this;
    }
    SVGMarkup& operator<<(QStringView text)
    {
        m_out.append(text);
        return *this;
    }
    SVGMarkup& operator<<(char16_t c)
    {
        m_out.append(QChar(c));
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
        m_out.append(u'\n');
        if (m_lineEnds) {
            m_lineEnds->append(m_out.size());
        }
    }

private:
    QString& m_out;
    QList<qsizetype>* m_lineEnds;
};

}  // namespace zelvane::SVGCodec
