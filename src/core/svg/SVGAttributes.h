#pragma once

#include "model/VectorGeometry.h"
#include "model/VectorStyle.h"

#include <QAnyStringView>
#include <QList>
#include <QString>
#include <QXmlStreamAttributes>
#include <utility>
#include <optional>

namespace zelvane {

// The attributes of one start tag, by name as the XML reader reports it
// (namespace prefixes included). The reader's own attribute list is kept
// as it is and searched in place; names set afterwards (the declarations
// of a "style" attribute) are held beside it and win over the reader's.
// A start tag has few attributes, so a linear search beats any hashing.
class SVGAttributeTable {
public:
    // Where a name was found: a set value, a reader's attribute, or nowhere.
    class const_iterator {
    public:
        QString value() const;
        // The value in place, valid while the table is not changed.
        QStringView view() const;
        bool operator==(const const_iterator&) const = default;

    private:
        friend class SVGAttributeTable;
        const_iterator(const SVGAttributeTable* table, qsizetype set, qsizetype read)
            : m_table(table), m_set(set), m_read(read) {}
        const SVGAttributeTable* m_table = nullptr;
        qsizetype m_set = -1;
        qsizetype m_read = -1;
    };

    SVGAttributeTable() = default;
    explicit SVGAttributeTable(const QXmlStreamAttributes& read) : m_read(read) {}

    const_iterator constFind(QAnyStringView name) const;
    const_iterator constEnd() const { return {this, -1, -1}; }
    bool contains(QAnyStringView name) const { return constFind(name) != constEnd(); }
    // The value under `name`, or an empty text.
    QString value(QAnyStringView name) const;
    // The number of distinct names.
    qsizetype size() const;
    // Sets `name`, replacing any value it had.
    void insert(const QString& name, const QString& value);

    // Calls f(name, value) for every attribute, in an order in which a later
    // call for the same name gives the value constFind finds.
    template <typename F>
    void forEach(F&& f) const
    {
        for (const QXmlStreamAttribute& attribute : m_read) {
            f(attribute.qualifiedName(), attribute.value());
        }
        for (const auto& [name, value] : m_set) {
            f(QStringView(name), QStringView(value));
        }
    }

private:
    QXmlStreamAttributes m_read;
    QList<std::pair<QString, QString>> m_set;
};

// The translate and scale parts of a group's transform.
struct SVGTransform {
    double translateX = 0;
    double translateY = 0;
    double scaleX = 1;
    double scaleY = 1;

    bool operator==(const SVGTransform&) const = default;
};

// Maps element coordinates to page coordinates: (offset + scale * p).
struct SVGCurrentTransform {
    VectorPoint offset{0, 0};
    VectorPoint scale{1, 1};

    VectorPoint apply(double x, double y) const { return {offset.x + scale.x * x, offset.y + scale.y * y}; }
    // This transform followed by a group's own: its translation, then its scale.
    SVGCurrentTransform then(const SVGTransform& group) const;
};

// The presentation a group hands down to its content.
struct SVGInheritedStyle {
    std::optional<QString> strokeHex;
    std::optional<QString> fillHex;
    std::optional<double> strokeWidth;
    double opacity = 1;
};

namespace SVGCodec {

// The table with the declarations of its "style" attribute merged in (keys
// lower-cased; a declaration wins over a plain attribute of the same name).
SVGAttributeTable mergedAttributes(const SVGAttributeTable& attributes);

// A length in points: px and pt count as points, mm are converted; other
// units, percentages, non-finite values and unreadable texts give nothing.
std::optional<double> parseDimension(const std::optional<QString>& text);
std::optional<double> parseDimension(const SVGAttributeTable& attributes, const QString& name);

// The first translate(...) and the first scale(...) of a transform text;
// every other transform function is ignored.
SVGTransform parseTransform(const QString& text);

// Stroke and fill colours, stroke width, opacity and dash flag of an element,
// falling back on the enclosing group's values and then on `defaultFill`.
VectorStyle buildStyle(const SVGAttributeTable& attributes, const std::optional<QString>& defaultFill,
                       const SVGInheritedStyle& parent);

// A colour text read and written back in the model's form ("#RRGGBB"), or
// nothing when it is not a colour.
std::optional<QString> normalizedColor(const QString& text);

}  // namespace SVGCodec

}  // namespace zelvane
