#include "model/ModelCoding.h"

#include "Localization.h"
#include "model/PageFormatPreset.h"
#include "model/Presets.h"
#include "model/RGBAColor.h"
#include "model/VectorDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <type_traits>

namespace zelvane {

namespace {

QString atPath(const QString& path)
{
    return path.isEmpty() ? QStringLiteral("at the top level") : QStringLiteral("at ") + path;
}

QString childPath(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

QString indexPath(const QString& path, qsizetype index)
{
    return path + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString jsonTypeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a text");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

[[noreturn]] void mismatch(const QString& path, const char* expected, const QJsonValue& found)
{
    throw DecodingError(DecodingError::Kind::typeMismatch, path,
                        QStringLiteral("Expected %1 but found %2 instead.").arg(QLatin1String(expected), jsonTypeName(found)));
}

[[noreturn]] void corrupted(const QString& path, const QString& description)
{
    throw DecodingError(DecodingError::Kind::dataCorrupted, path, description);
}

// ---- Coders of single values ------------------------------------------------

// Structures are coded through their list of fields (below); single values,
// enumerations, lists and the element kind have coders of their own.
template <class T>
struct Fields;

template <class T, class = void>
struct Coder {
    static QJsonValue encode(const T& value, const QString& path);
    static T decode(const QJsonValue& json, const QString& path);
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <>
struct Coder<double> {
    static QJsonValue encode(double value, const QString& path)
    {
        if (!std::isfinite(value)) {
            throw EncodingError(path, QStringLiteral("Unable to encode the number %1: only finite numbers can be written.")
                                          .arg(value));
        }
        return value;
    }
    static double decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isDouble()) {
            mismatch(path, "a number", json);
        }
        return json.toDouble();
    }
};

template <>
struct Coder<qint64> {
    static QJsonValue encode(qint64 value, const QString&) { return value; }
    static qint64 decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isDouble()) {
            mismatch(path, "an integer", json);
        }
        const double number = json.toDouble();
        if (std::trunc(number) == number && number >= -9.223372036854775808e18 && number < 9.223372036854775808e18) {
            return json.toInteger();
        }
        corrupted(path, QStringLiteral("The number %1 does not fit in a 64-bit integer.").arg(number));
    }
};

template <>
struct Coder<bool> {
    static QJsonValue encode(bool value, const QString&) { return value; }
    static bool decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isBool()) {
            mismatch(path, "a boolean", json);
        }
        return json.toBool();
    }
};

template <>
struct Coder<QString> {
    static QJsonValue encode(const QString& value, const QString&) { return value; }
    static QString decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isString()) {
            mismatch(path, "a text", json);
        }
        return json.toString();
    }
};

template <>
struct Coder<QUuid> {
    static QJsonValue encode(const QUuid& value, const QString&)
    {
        return value.toString(QUuid::WithoutBraces).toUpper();
    }
    static QUuid decode(const QJsonValue& json, const QString& path)
    {
        const QString text = Coder<QString>::decode(json, path);
        const QUuid uuid = QUuid::fromString(text);
        const bool wellFormed = text.size() == 36 && !text.startsWith(QLatin1Char('{'));
        if (!wellFormed || (uuid.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))) {
            corrupted(path, QStringLiteral("Attempted to decode a UUID from the invalid text \"%1\".").arg(text));
        }
        return uuid;
    }
};

template <>
struct Coder<QByteArray> {
    static QJsonValue encode(const QByteArray& value, const QString&)
    {
        return QString::fromLatin1(value.toBase64());
    }
    static QByteArray decode(const QJsonValue& json, const QString& path)
    {
        const QString text = Coder<QString>::decode(json, path);
        auto result = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!result || text.size() % 4 != 0) {
            corrupted(path, QStringLiteral("Encountered bytes that are not valid Base64."));
        }
        return *result;
    }
};

template <>
struct Coder<QUrl> {
    static QJsonValue encode(const QUrl& value, const QString&) { return value.toString(QUrl::FullyEncoded); }
    static QUrl decode(const QJsonValue& json, const QString& path)
    {
        const QString text = Coder<QString>::decode(json, path);
        const QUrl url(text, QUrl::StrictMode);
        if (text.isEmpty() || !url.isValid()) {
            corrupted(path, QStringLiteral("Invalid URL text \"%1\".").arg(text));
        }
        return url;
    }
};

// Enumerations coded as their raw texts.
template <class E>
struct Coder<E, std::enable_if_t<std::is_enum_v<E>>> {
    static QJsonValue encode(E value, const QString&) { return rawValue(value); }
    static E decode(const QJsonValue& json, const QString& path)
    {
        const QString text = Coder<QString>::decode(json, path);
        const std::optional<E> value = fromRawValue<E>(text);
        if (!value) {
            corrupted(path, QStringLiteral("Cannot initialize the enumeration from the invalid value \"%1\".").arg(text));
        }
        return *value;
    }
};

template <class T>
struct Coder<QList<T>> {
    static QJsonValue encode(const QList<T>& list, const QString& path)
    {
        QJsonArray array;
        for (qsizetype i = 0; i < list.size(); ++i) {
            array.append(Coder<T>::encode(list[i], indexPath(path, i)));
        }
        return array;
    }
    static QList<T> decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isArray()) {
            mismatch(path, "an array", json);
        }
        const QJsonArray array = json.toArray();
        QList<T> list;
        list.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QJsonValue item = array.at(i);
            if (item.isNull()) {
                throw DecodingError(DecodingError::Kind::valueNotFound, indexPath(path, i),
                                    QStringLiteral("Expected a value but found null instead."));
            }
            list.append(Coder<T>::decode(item, indexPath(path, i)));
        }
        return list;
    }
};

// A page's element list reads and writes as the array of its elements.
template <>
struct Coder<ElementList> {
    static QJsonValue encode(const ElementList& list, const QString& path)
    {
        QJsonArray array;
        qsizetype i = 0;
        for (const VectorElement& element : list) {
            array.append(Coder<VectorElement>::encode(element, indexPath(path, i)));
            ++i;
        }
        return array;
    }
    static ElementList decode(const QJsonValue& json, const QString& path)
    {
        return Coder<QList<VectorElement>>::decode(json, path);
    }
};

// ---- Structures: one list of fields serves both directions ------------------

class FieldWriter {
public:
    explicit FieldWriter(QString path) : m_path(std::move(path)) {}

    template <class T>
    void operator()(const char* key, const T& value)
    {
        const QString name = QLatin1String(key);
        if constexpr (IsOptional<T>::value) {
            if (value) {
                m_object.insert(name, Coder<typename T::value_type>::encode(*value, childPath(m_path, name)));
            }
        } else {
            m_object.insert(name, Coder<T>::encode(value, childPath(m_path, name)));
        }
    }

    // A field added after documents were first written: always written.
    template <class T>
    void withDefault(const char* key, const T& value, const T&)
    {
        (*this)(key, value);
    }

    QJsonObject result() const { return m_object; }

private:
    QString m_path;
    QJsonObject m_object;
};

class FieldReader {
public:
    FieldReader(const QJsonValue& json, QString path) : m_path(std::move(path))
    {
        if (!json.isObject()) {
            mismatch(m_path, "an object", json);
        }
        m_object = json.toObject();
    }

    template <class T>
    void operator()(const char* key, T& field)
    {
        const QString name = QLatin1String(key);
        const auto it = m_object.constFind(name);
        if constexpr (IsOptional<T>::value) {
            if (it == m_object.constEnd() || it->isNull()) {
                field.reset();
            } else {
                field = Coder<typename T::value_type>::decode(*it, childPath(m_path, name));
            }
        } else {
            if (it == m_object.constEnd()) {
                throw DecodingError(DecodingError::Kind::keyNotFound, m_path,
                                    QStringLiteral("No value associated with key \"%1\".").arg(name));
            }
            if (it->isNull()) {
                throw DecodingError(DecodingError::Kind::valueNotFound, childPath(m_path, name),
                                    QStringLiteral("Expected a value for key \"%1\" but found null instead.").arg(name));
            }
            field = Coder<T>::decode(*it, childPath(m_path, name));
        }
    }

    // A field added after documents were first written: missing or null
    // reads as its default, so older coded values stay readable.
    template <class T>
    void withDefault(const char* key, T& field, const T& fallback)
    {
        const auto it = m_object.constFind(QLatin1String(key));
        if (it == m_object.constEnd() || it->isNull()) {
            field = fallback;
            return;
        }
        (*this)(key, field);
    }

private:
    QString m_path;
    QJsonObject m_object;
};

template <class T, class Enable>
QJsonValue Coder<T, Enable>::encode(const T& value, const QString& path)
{
    FieldWriter writer(path);
    Fields<T>::visit(writer, const_cast<T&>(value));
    return writer.result();
}

template <class T, class Enable>
T Coder<T, Enable>::decode(const QJsonValue& json, const QString& path)
{
    FieldReader reader(json, path);
    T value;
    Fields<T>::visit(reader, value);
    return value;
}

// Each specialisation lists a structure's stored fields in declaration order.
template <>
struct Fields<VectorPoint> {
    template <class V>
    static void visit(V& v, VectorPoint& p)
    {
        v("x", p.x);
        v("y", p.y);
    }
};

template <>
struct Fields<VectorRect> {
    template <class V>
    static void visit(V& v, VectorRect& r)
    {
        v("x", r.x);
        v("y", r.y);
        v("width", r.width);
        v("height", r.height);
    }
};

template <>
struct Fields<RGBAColor> {
    template <class V>
    static void visit(V& v, RGBAColor& c)
    {
        v("r", c.r);
        v("g", c.g);
        v("b", c.b);
        v("a", c.a);
    }
};

template <>
struct Fields<VectorStyle> {
    template <class V>
    static void visit(V& v, VectorStyle& s)
    {
        v("strokeColorHex", s.strokeColorHex);
        v("fillColorHex", s.fillColorHex);
        v("strokeWidth", s.strokeWidth);
        v("opacity", s.opacity);
        v("dashed", s.dashed);
    }
};

template <>
struct Fields<TextPayload> {
    template <class V>
    static void visit(V& v, TextPayload& t)
    {
        v("text", t.text);
        v("fontFamily", t.fontFamily);
        v("postScriptFontName", t.postScriptFontName);
        v("fontSize", t.fontSize);
        v("isBold", t.isBold);
        v("isItalic", t.isItalic);
        v("alignment", t.alignment);
        v("baselineOffset", t.baselineOffset);
        v("letterSpacing", t.letterSpacing);
        v("isPDFExtracted", t.isPDFExtracted);
        v("originalPDFText", t.originalPDFText);
        v("originalPDFRect", t.originalPDFRect);
        v("originalFontSize", t.originalFontSize);
        v("originalIsBold", t.originalIsBold);
        v("originalIsItalic", t.originalIsItalic);
        v("originalTextColorHex", t.originalTextColorHex);
        v("maskColorHex", t.maskColorHex);
        v("originalRotationDegrees", t.originalRotationDegrees);
        v("originalFrameWidth", t.originalFrameWidth);
        v("originalFrameHeight", t.originalFrameHeight);
        v("originalFontFamily", t.originalFontFamily);
        v("originalPostScriptFontName", t.originalPostScriptFontName);
    }
};

template <>
struct Fields<SignaturePayload> {
    template <class V>
    static void visit(V& v, SignaturePayload& s)
    {
        v("signerName", s.signerName);
        v("dateLabel", s.dateLabel);
        v("caption", s.caption);
        v("strokes", s.strokes);
        v("assetData", s.assetData);
        v("assetExtension", s.assetExtension);
        v("removeWhiteBackground", s.removeWhiteBackground);
    }
};

template <>
struct Fields<VectorSubpath> {
    template <class V>
    static void visit(V& v, VectorSubpath& s)
    {
        v("points", s.points);
        v("isClosed", s.isClosed);
    }
};

template <>
struct Fields<PathPayload> {
    template <class V>
    static void visit(V& v, PathPayload& p)
    {
        v("subpaths", p.subpaths);
        v("startArrow", p.startArrow);
        v("endArrow", p.endArrow);
        v("smoothCurves", p.smoothCurves);
    }
};

template <>
struct Fields<ShapePayload> {
    template <class V>
    static void visit(V& v, ShapePayload& s)
    {
        v("shapeType", s.shapeType);
        v("cornerRadius", s.cornerRadius);
        v("startArrow", s.startArrow);
        v("endArrow", s.endArrow);
        v("points", s.points);
    }
};

template <>
struct Fields<StampPayload> {
    template <class V>
    static void visit(V& v, StampPayload& s)
    {
        v("stampKind", s.stampKind);
        v("title", s.title);
        v("subtitle", s.subtitle);
        v("assetData", s.assetData);
        v("assetExtension", s.assetExtension);
        v("removeWhiteBackground", s.removeWhiteBackground);
    }
};

template <>
struct Fields<VectorElement> {
    template <class V>
    static void visit(V& v, VectorElement& e)
    {
        v("id", e.id);
        v("name", e.name);
        v("kind", e.kind);
        v("frame", e.frame);
        v("rotationDegrees", e.rotationDegrees);
        v("style", e.style);
        v("visible", e.visible);
        v("locked", e.locked);
    }
};

template <>
struct Fields<VectorPage> {
    template <class V>
    static void visit(V& v, VectorPage& p)
    {
        v("id", p.id);
        v("title", p.title);
        v("width", p.width);
        v("height", p.height);
        v("backgroundColorHex", p.backgroundColorHex);
        v("pdfPageData", p.pdfPageData);
        v("pdfPageIndex", p.pdfPageIndex);
        v.withDefault("pdfRotation", p.pdfRotation, qint64(0));
        v("redactedPDFRects", p.redactedPDFRects);
        v("elements", p.elements);
    }
};

template <>
struct Fields<VectorDocument> {
    template <class V>
    static void visit(V& v, VectorDocument& d)
    {
        v("id", d.id);
        v("title", d.title);
        v("sourceFormat", d.sourceFormat);
        v("fileURL", d.fileURL);
        v("pages", d.pages);
        v("revision", d.revision);
    }
};

template <>
struct Fields<SignaturePreset> {
    template <class V>
    static void visit(V& v, SignaturePreset& s)
    {
        v("id", s.id);
        v("title", s.title);
        v("signerName", s.signerName);
        v("caption", s.caption);
        v("colorHex", s.colorHex);
        v("strokes", s.strokes);
        v("assetData", s.assetData);
        v("assetExtension", s.assetExtension);
        v("removeWhiteBackground", s.removeWhiteBackground);
        v("fileURL", s.fileURL);
    }
};

template <>
struct Fields<StampPreset> {
    template <class V>
    static void visit(V& v, StampPreset& s)
    {
        v("id", s.id);
        v("title", s.title);
        v("assetData", s.assetData);
        v("assetExtension", s.assetExtension);
        v("removeWhiteBackground", s.removeWhiteBackground);
        v("fileURL", s.fileURL);
    }
};

// The element kind: {"<case>": {"_0": <payload>}}.
template <>
struct Coder<VectorElementKind> {
    static constexpr std::array<const char*, 5> kCaseNames{"text", "signature", "path", "shape", "stamp"};

    static QJsonValue encode(const VectorElementKind& kind, const QString& path)
    {
        const QString caseName = kindName(kind);
        const QString payloadPath = childPath(childPath(path, caseName), QStringLiteral("_0"));
        const QJsonValue payload = std::visit(
            [&](const auto& p) { return Coder<std::decay_t<decltype(p)>>::encode(p, payloadPath); }, kind);
        return QJsonObject{{caseName, QJsonObject{{QStringLiteral("_0"), payload}}}};
    }

    static VectorElementKind decode(const QJsonValue& json, const QString& path)
    {
        if (!json.isObject()) {
            mismatch(path, "an object", json);
        }
        const QJsonObject object = json.toObject();
        int found = -1;
        int count = 0;
        for (int i = 0; i < int(kCaseNames.size()); ++i) {
            if (object.contains(QLatin1String(kCaseNames[size_t(i)]))) {
                found = i;
                ++count;
            }
        }
        if (count != 1) {
            throw DecodingError(DecodingError::Kind::typeMismatch, path,
                                QStringLiteral("Invalid number of keys found, expected one."));
        }
        const QString caseName = QLatin1String(kCaseNames[size_t(found)]);
        const QString casePath = childPath(path, caseName);
        const QJsonValue inner = object.value(caseName);
        if (!inner.isObject()) {
            mismatch(casePath, "an object", inner);
        }
        const QJsonObject innerObject = inner.toObject();
        const auto payload = innerObject.constFind(QStringLiteral("_0"));
        if (payload == innerObject.constEnd()) {
            throw DecodingError(DecodingError::Kind::keyNotFound, casePath,
                                QStringLiteral("No value associated with key \"_0\"."));
        }
        const QString payloadPath = childPath(casePath, QStringLiteral("_0"));
        switch (found) {
        case 0: return Coder<TextPayload>::decode(*payload, payloadPath);
        case 1: return Coder<SignaturePayload>::decode(*payload, payloadPath);
        case 2: return Coder<PathPayload>::decode(*payload, payloadPath);
        case 3: return Coder<ShapePayload>::decode(*payload, payloadPath);
        default: return Coder<StampPayload>::decode(*payload, payloadPath);
        }
    }
};

}  // namespace

DecodingError::DecodingError(Kind kind, QString codingPath, QString description)
    : std::runtime_error((description + QStringLiteral(" (") + atPath(codingPath) + QLatin1Char(')')).toStdString()),
      m_kind(kind),
      m_codingPath(std::move(codingPath)),
      m_description(std::move(description))
{
}

EncodingError::EncodingError(QString codingPath, QString description)
    : std::runtime_error((description + QStringLiteral(" (") + atPath(codingPath) + QLatin1Char(')')).toStdString()),
      m_codingPath(std::move(codingPath))
{
}

template <class T>
QJsonValue encodeToJson(const T& value)
{
    return Coder<T>::encode(value, QString());
}

template <class T>
T decodeFromJson(const QJsonValue& json)
{
    return Coder<T>::decode(json, QString());
}

template <class T>
QByteArray encodeToJsonData(const T& value)
{
    const QJsonValue json = encodeToJson(value);
    if (json.isArray()) {
        return QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
    }
    if (json.isObject()) {
        return QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
    }
    // A bare value: wrap it in an array and take the array's brackets off.
    const QByteArray wrapped = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

template <class T>
T decodeFromJsonData(const QByteArray& data)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, QString(),
                            QStringLiteral("The given data was not valid JSON: %1 at offset %2.")
                                .arg(error.errorString())
                                .arg(error.offset));
    }
    const QJsonValue root = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    return decodeFromJson<T>(root);
}

#define ZELVANE_CODED_TYPE(T)                                  \
    template QJsonValue encodeToJson<T>(const T&);             \
    template T decodeFromJson<T>(const QJsonValue&);           \
    template QByteArray encodeToJsonData<T>(const T&);         \
    template T decodeFromJsonData<T>(const QByteArray&);

ZELVANE_CODED_TYPE(VectorPoint)
ZELVANE_CODED_TYPE(VectorRect)
ZELVANE_CODED_TYPE(RGBAColor)
ZELVANE_CODED_TYPE(VectorStyle)
ZELVANE_CODED_TYPE(TextAlignmentMode)
ZELVANE_CODED_TYPE(TextPayload)
ZELVANE_CODED_TYPE(SignaturePayload)
ZELVANE_CODED_TYPE(VectorSubpath)
ZELVANE_CODED_TYPE(PathPayload)
ZELVANE_CODED_TYPE(VectorShapeType)
ZELVANE_CODED_TYPE(ShapePayload)
ZELVANE_CODED_TYPE(VectorStampKind)
ZELVANE_CODED_TYPE(StampPayload)
ZELVANE_CODED_TYPE(VectorElementKind)
ZELVANE_CODED_TYPE(VectorElement)
ZELVANE_CODED_TYPE(VectorPage)
ZELVANE_CODED_TYPE(PageFormatPreset)
ZELVANE_CODED_TYPE(DocumentSourceFormat)
ZELVANE_CODED_TYPE(VectorDocument)
ZELVANE_CODED_TYPE(SignaturePreset)
ZELVANE_CODED_TYPE(StampPreset)
ZELVANE_CODED_TYPE(QList<SignaturePreset>)
ZELVANE_CODED_TYPE(QList<StampPreset>)
ZELVANE_CODED_TYPE(AppLanguage)

}  // namespace zelvane
