#include "fonts/FontLookup.h"

#include "fonts/FontDatabaseCalls.h"
#include "fonts/FontMemo.h"
#include "fonts/FontSubstitutions.h"
#include "fonts/SfntReader.h"

#include <QGuiApplication>
#include <QHash>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QSet>

#include <algorithm>
#include <mutex>

namespace zelvane::fonts {

bool hasFontSupport()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QPaintDevice* pointDevice()
{
    thread_local QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        // 72 dots per inch.
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

namespace {

// The resolution Qt sizes fonts by when no paint device is given.
int defaultFontDpi()
{
    static const int dpi = [] {
        QFont probe;
        probe.setPointSizeF(72);
        const int pixels = QFontInfo(probe).pixelSize();
        return pixels > 0 ? pixels : 96;
    }();
    return dpi;
}

}  // namespace

QFont layoutFont(const QFont& font, double kern)
{
    return FontMemo::remembered(&FontMemo::layoutFonts, std::pair(font, kern), [&] {
        QFont copy = font;
        copy.setPointSizeF(std::max(font.pointSizeF(), 0.01) * 72.0 / defaultFontDpi());
        copy.setLetterSpacing(QFont::AbsoluteSpacing, kern);
        return copy;
    });
}

QRawFont rawFontOf(const QFont& font)
{
    return FontMemo::remembered(&FontMemo::rawFonts, font, [&] { return QRawFont::fromFont(font); });
}

namespace {

double measuredCapHeight(const QFont& font)
{
    const QFontMetricsF metrics(font, pointDevice());
    if (const double capHeight = metrics.capHeight(); capHeight > 0) {
        return capHeight;
    }
    const QRawFont raw = rawFontOf(layoutFont(font, 0));
    if (raw.isValid()) {
        for (const QChar letter : QStringLiteral("HIETFLNKMUVWXZBDPR")) {
            const QList<quint32> glyphs = raw.glyphIndexesForString(QString(letter));
            if (glyphs.size() != 1 || glyphs.front() == 0) {
                continue;
            }
            const QRectF ink = raw.pathForGlyph(glyphs.front()).boundingRect();
            if (ink.height() > 0 && ink.top() < 0) {
                return -ink.top();
            }
        }
    }
    return 0.7 * metrics.ascent();
}

}  // namespace

double capHeightOf(const QFont& font)
{
    return FontMemo::remembered(&FontMemo::capHeights, font, [&] { return measuredCapHeight(font); });
}

QFont makeFont(const QStringList& families, double size, bool bold, bool italic)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(size > 0 ? size : 1);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont faceFont(const QString& family, const QString& styleName, double size)
{
    QFont font = makeFont({family}, size, false, false);
    if (!styleName.isEmpty())
        font.setStyleName(styleName);
    return font;
}

QString withoutFoundry(const QString& family)
{
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    return bracket > 0 ? family.left(bracket) : family;
}

namespace {

// Family names without blanks, punctuation or a foundry suffix, lower-cased.
QString compactName(const QString& name)
{
    QString out;
    for (const QChar c : withoutFoundry(name)) {
        if (c.isLetterOrNumber())
            out.append(c.toLower());
    }
    return out;
}

struct FaceIndex {
    std::mutex mutex;
    QHash<QString, InstalledFace> facesByPostScriptName;
    QSet<QString> indexedFamilies;
    // Each family's compact name, worked out once: every lookup goes
    // through all installed families.
    QHash<QString, QString> compactFamilies;
};

FaceIndex& faceIndex()
{
    static FaceIndex index;
    return index;
}

}  // namespace

std::optional<InstalledFace> findFaceByPostScriptName(const QString& postScriptName)
{
    if (!hasFontSupport() || postScriptName.trimmed().isEmpty())
        return std::nullopt;
    const QString key = postScriptName.toLower();
    const QString compact = compactName(postScriptName);
    FaceIndex& index = faceIndex();
    const std::lock_guard<std::mutex> locker(index.mutex);
    for (const QString& family : fontDatabase::families()) {
        auto known = index.compactFamilies.constFind(family);
        if (known == index.compactFamilies.constEnd())
            known = index.compactFamilies.insert(family, compactName(family));
        const QString& familyKey = *known;
        if (familyKey.isEmpty() || !compact.startsWith(familyKey) || index.indexedFamilies.contains(family))
            continue;
        index.indexedFamilies.insert(family);
        for (const QString& style : fontDatabase::styles(family)) {
            const QString name = postScriptNameOf(QRawFont::fromFont(faceFont(family, style, 12)));
            if (!name.isEmpty() && !index.facesByPostScriptName.contains(name.toLower()))
                index.facesByPostScriptName.insert(name.toLower(), {family, style});
        }
    }
    const auto found = index.facesByPostScriptName.constFind(key);
    if (found == index.facesByPostScriptName.constEnd())
        return std::nullopt;
    return *found;
}

void forgetInstalledFaces()
{
    FaceIndex& index = faceIndex();
    const std::lock_guard<std::mutex> locker(index.mutex);
    index.facesByPostScriptName.clear();
    index.indexedFamilies.clear();
}

std::optional<QString> installedFamily(const QString& family)
{
    if (!hasFontSupport())
        return std::nullopt;
    const QStringList installed = fontDatabase::families();
    for (const QString& candidate : substituteFamilies(family)) {
        const QString wanted = compactName(candidate);
        if (wanted.isEmpty())
            continue;
        // Families installed by several foundries are listed as "Name [foundry]";
        // the plain name lets Qt choose among them.
        for (const QString& listed : installed) {
            const QString name = withoutFoundry(listed);
            if (name.compare(candidate, Qt::CaseInsensitive) == 0)
                return name;
        }
    }
    return std::nullopt;
}

namespace {

// The installed families among `families`, in the same order.
QStringList installedAmong(const QStringList& families)
{
    if (!hasFontSupport())
        return {};
    QSet<QString> installed;
    for (const QString& listed : fontDatabase::families())
        installed.insert(withoutFoundry(listed).toLower());
    QStringList found;
    for (const QString& family : families) {
        if (installed.contains(family.toLower()))
            found.append(family);
    }
    return found;
}

}  // namespace

QStringList offeredTextFamilies()
{
    static const QStringList kOffered{
        QStringLiteral("Liberation Sans"), QStringLiteral("Liberation Serif"), QStringLiteral("Liberation Mono"),
        QStringLiteral("Nimbus Sans"),     QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("Nimbus Roman"),
        QStringLiteral("Nimbus Mono PS"),  QStringLiteral("URW Gothic"),       QStringLiteral("URW Bookman"),
        QStringLiteral("C059"),            QStringLiteral("P052"),             QStringLiteral("DejaVu Sans"),
        QStringLiteral("DejaVu Serif"),    QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans"),
        QStringLiteral("Noto Serif"),      QStringLiteral("Noto Sans Mono"),   QStringLiteral("Noto Mono"),
    };
    return installedAmong(kOffered);
}

QString defaultTextFamily()
{
    const QStringList sans = installedAmong({QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                                             QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans")});
    return sans.isEmpty() ? QStringLiteral("Liberation Sans") : sans.first();
}

bool familyHasFace(const QString& family, bool bold, bool italic)
{
    for (const QString& style : fontDatabase::styles(family)) {
        const bool styleBold = fontDatabase::weight(family, style) >= QFont::DemiBold;
        const bool styleItalic = fontDatabase::italic(family, style);
        if (styleBold == bold && styleItalic == italic)
            return true;
    }
    return false;
}

QString postScriptNameOf(const QRawFont& font)
{
    if (!font.isValid())
        return {};
    const QByteArray table = font.fontTable("name");
    const truetype::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(table.constData()),
                                   std::size_t(table.size()));
    return QString::fromStdString(truetype::nameTableString(bytes, 6));
}

QString postScriptNameOf(const QFont& font)
{
    if (!hasFontSupport())
        return {};
    return FontMemo::remembered(&FontMemo::postScriptNames, font,
                                [&] { return postScriptNameOf(rawFontOf(font)); });
}

bool hasCharacters(const QRawFont& face, const QString& text)
{
    if (!face.isValid() || text.isEmpty())
        return false;
    const QList<quint32> glyphs = face.glyphIndexesForString(text);
    if (glyphs.isEmpty())
        return false;
    for (quint32 glyph : glyphs) {
        if (glyph == 0)
            return false;
    }
    return true;
}

}  // namespace zelvane::fonts
