#include "fonts/PDFEmbeddedFontRegistry.h"

#include "fonts/FontDatabaseCalls.h"
#include "fonts/FontFamilyRenaming.h"
#include "fonts/FontLookup.h"
#include "fonts/FontSubstitutions.h"
#include "fonts/PDFFontCollector.h"
#include "fonts/ScanFaceMatching.h"
#include "fonts/WebFontTransport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRawFont>
#include <QScopeGuard>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <mutex>
#include <set>

namespace zelvane {

namespace {

PDFEmbeddedFontRegistry::Configuration defaultConfiguration()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    PDFEmbeddedFontRegistry::Configuration configuration;
    configuration.persistentCacheDir = QDir(base).filePath(QStringLiteral("Zelvane/Fonts"));
    configuration.subsetTempDir = QDir(QDir::tempPath()).filePath(QStringLiteral("ZelvaneEmbeddedFonts"));
    configuration.webFontTransport = std::make_shared<NetworkWebFontTransport>();
    return configuration;
}

// File names keep the PostScript name, with "/" made harmless.
QString fileBaseName(const QString& cleanPSName)
{
    QString name = cleanPSName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name;
}

truetype::ByteSpan bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())};
}

// The letters and digits the completeness test asks a face for.
const QString& completenessProbe()
{
    static const QString probe =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789éèêàùç");
    return probe;
}

// The style under which Qt lists a registered program in its family.
QString registeredStyleName(const QString& family, const QRawFont& raw)
{
    const QStringList styles = fonts::fontDatabase::styles(family);
    if (styles.contains(raw.styleName()))
        return raw.styleName();
    const bool italic = raw.style() != QFont::StyleNormal;
    for (const QString& style : styles) {
        if (fonts::fontDatabase::weight(family, style) == raw.weight()
            && fonts::fontDatabase::italic(family, style) == italic)
            return style;
    }
    return raw.styleName();
}

// The family a program is registered under: its own, made unique by the
// program's bytes, so that programs sharing a family and style never stand
// in for each other and never hide an installed family of that name.
QString uniqueFamilyName(const QByteArray& bytes, const QString& cleanPSName)
{
    QString name;
    for (const QChar c : cleanPSName.left(40)) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            name.append(c);
    }
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("Zelvane %1 %2").arg(name, QString::fromLatin1(digest));
}

QByteArray renamed(const QByteArray& bytes, const QString& family)
{
    const truetype::Bytes out = truetype::withFamilyName(bytesOf(bytes), family.toStdString());
    return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

// A subset lacks characters: the complete design stands behind it, the
// installed face of the same PostScript name or a free substitute of its
// program or its family.
QStringList complementFamilies(const QString& postScriptName, const QString& designFamily)
{
    QStringList families;
    if (const auto installed = fonts::findFaceByPostScriptName(postScriptName))
        families.append(fonts::withoutFoundry(installed->family));
    for (const QString& substitute : fonts::substitutesForProgram(postScriptName)) {
        const auto present = fonts::installedFamily(substitute);
        if (present && !families.contains(*present, Qt::CaseInsensitive))
            families.append(*present);
    }
    if (!designFamily.isEmpty()) {
        for (const QString& substitute : fonts::substituteFamilies(designFamily)) {
            const auto present = fonts::installedFamily(substitute);
            if (present && !families.contains(*present, Qt::CaseInsensitive))
                families.append(*present);
        }
    }
    return families;
}

}  // namespace

PDFEmbeddedFontRegistry& PDFEmbeddedFontRegistry::shared()
{
    static PDFEmbeddedFontRegistry registry;
    return registry;
}

PDFEmbeddedFontRegistry::PDFEmbeddedFontRegistry() : PDFEmbeddedFontRegistry(defaultConfiguration()) {}

PDFEmbeddedFontRegistry::PDFEmbeddedFontRegistry(Configuration configuration)
    : m_persistentCacheDir(configuration.persistentCacheDir),
      m_subsetTempDir(configuration.subsetTempDir),
      m_transport(std::move(configuration.webFontTransport)),
      m_webFontHost(configuration.webFontHost)
{
    // Failures are ignored: writing into a missing folder fails quietly later.
    QDir().mkpath(m_persistentCacheDir);
    QDir().mkpath(m_subsetTempDir);
}

PDFEmbeddedFontRegistry::~PDFEmbeddedFontRegistry() = default;

namespace {

// Everything the registration of an embedded program reads.
QByteArray programDigest(const QString& key, const fonts::ExtractedPDFFontEntry& entry)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& text : {key, entry.subtype, entry.fontStreamExt}) {
        hash.addData(text.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    for (const QString& text : entry.toUnicodeStrings) {
        hash.addData(text.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    hash.addData(entry.fontStreamData.value_or(QByteArray()));
    return hash.result();
}

}  // namespace

void PDFEmbeddedFontRegistry::registerFonts(const QByteArray& pdfData)
{
    if (!fonts::hasFontSupport())
        return;
    const QByteArray file = QCryptographicHash::hash(pdfData, QCryptographicHash::Sha1);
    {
        const qsizetype families = fonts::fontDatabase::families().size();
        const std::lock_guard<std::mutex> locker(m_lock);
        if (file == m_lastFile && m_facesEntered == m_lastFileEntered && families == m_lastFileFamilies)
            return;
    }
    const fonts::ExtractedPDFFonts entries = fonts::collectEmbeddedFonts(pdfData);
    if (entries.empty())
        return;

    // First pass: families with no complete face anywhere yet.
    std::set<QString> missing;
    for (const auto& [key, entry] : entries) {
        if (isCompleteSystemOrRegisteredFont(key) || loadFromLocalDiskCache(key))
            continue;
        const QString family = parsePostScriptFontName(key).family;
        if (!family.isEmpty())
            missing.insert(family);
    }
    if (!missing.empty())
        fetchAndCacheGoogleFonts(QStringList(missing.begin(), missing.end()));
    // Web-font families are asked once: reading the file again, with no
    // face entered and no family installed since, would register the same.
    const auto rememberFile = qScopeGuard([&] {
        const qsizetype families = fonts::fontDatabase::families().size();
        const std::lock_guard<std::mutex> locker(m_lock);
        m_lastFile = file;
        m_lastFileEntered = m_facesEntered;
        m_lastFileFamilies = families;
    });

    // Second pass: the embedded programs of the fonts still without a complete face.
    for (const auto& [key, entry] : entries) {
        if (isCompleteSystemOrRegisteredFont(key))
            continue;
        if (!entry.fontStreamData || entry.fontStreamData->size() < 33)
            continue;
        // A program registered before under the same name (from this file
        // or another) gets its names back; Qt already has it.
        const QByteArray program = programDigest(key, entry);
        {
            const std::lock_guard<std::mutex> locker(m_lock);
            const auto known = m_registeredPrograms.constFind(program);
            if (known != m_registeredPrograms.constEnd()) {
                enterFace(*known, key, false);
                continue;
            }
        }
        QByteArray bytes = stripSubsetPrefixFromTTF(*entry.fontStreamData);
        truetype::CodeMap map;
        for (const QString& text : entry.toUnicodeStrings) {
            for (const auto& [unicode, code] : parseToUnicode(text))
                map[unicode] = code;
        }
        if (!map.empty())
            bytes = patchTrueTypeCmapIfNeeded(bytes, map, entry.subtype == QLatin1String("Type0"));
        if (const std::optional<RegisteredFace> face = loadFace(bytes, key, entry.fontStreamExt, false, {})) {
            const std::lock_guard<std::mutex> locker(m_lock);
            enterFace(*face, key, false);
            m_registeredPrograms.insert(program, *face);
        }
    }
}

bool PDFEmbeddedFontRegistry::isCompleteSystemOrRegisteredFont(const QString& postScriptName)
{
    const QString key = postScriptName.toLower();
    {
        const std::lock_guard<std::mutex> locker(m_lock);
        if (m_completeFontsRegistered.contains(key))
            return true;
    }
    const auto face = fonts::findFaceByPostScriptName(postScriptName);
    if (!face)
        return false;
    const QRawFont raw = QRawFont::fromFont(fonts::faceFont(face->family, face->styleName, 12));
    if (!raw.isValid())
        return false;
    qsizetype found = 0;
    for (quint32 glyph : raw.glyphIndexesForString(completenessProbe())) {
        if (glyph != 0)
            ++found;
    }
    if (found < 60)
        return false;
    const std::lock_guard<std::mutex> locker(m_lock);
    m_completeFontsRegistered.insert(key);
    if (!face->family.isEmpty())
        m_registeredFamilies.insert(fonts::withoutFoundry(face->family));
    return true;
}

bool PDFEmbeddedFontRegistry::loadFromLocalDiskCache(const QString& cleanPSName)
{
    const QString path = QDir(m_persistentCacheDir).filePath(fileBaseName(cleanPSName) + QStringLiteral(".ttf"));
    QFile file(path);
    if (file.size() > 64 && file.size() <= kMaxFontProgramBytes && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (bytes.size() > 64)
            return registerFontBinary(bytes, cleanPSName, QStringLiteral("ttf"), true, path);
    }
    // Fontconfig already lists every installed face, office suites' fonts
    // included: nothing further is searched.
    return false;
}

bool PDFEmbeddedFontRegistry::registerFontBinary(const QByteArray& bytes, const QString& cleanPSName,
                                                 const QString& ext, bool isComplete, const QString& existingPath)
{
    const std::optional<RegisteredFace> face = loadFace(bytes, cleanPSName, ext, isComplete, existingPath);
    if (!face)
        return false;
    const std::lock_guard<std::mutex> locker(m_lock);
    enterFace(*face, cleanPSName, isComplete);
    return true;
}

std::optional<PDFEmbeddedFontRegistry::RegisteredFace> PDFEmbeddedFontRegistry::loadFace(
    const QByteArray& bytes, const QString& cleanPSName, const QString& ext, bool isComplete,
    const QString& existingPath)
{
    if (!fonts::hasFontSupport() || bytes.isEmpty() || bytes.size() > kMaxFontProgramBytes)
        return std::nullopt;
    QRawFont raw;
    raw.loadFromData(bytes, 12, QFont::PreferNoHinting);
    if (!raw.isValid())
        return std::nullopt;

    QString path = existingPath;
    if (path.isEmpty()) {
        const QString folder = isComplete ? m_persistentCacheDir : m_subsetTempDir;
        path = QDir(folder).filePath(fileBaseName(cleanPSName) + QLatin1Char('.') + ext);
        QSaveFile file(path);
        if (!(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()))
            path.clear();
    }

    // Qt is handed the program under a family of its own; the file keeps
    // the program as the PDF had it.
    const QString unique = uniqueFamilyName(bytes, cleanPSName);
    int id = fonts::fontDatabase::addApplicationFontFromData(renamed(bytes, unique));
    if (id < 0 && !path.isEmpty())
        id = fonts::fontDatabase::addApplicationFont(path);
    if (id < 0)
        id = fonts::fontDatabase::addApplicationFontFromData(bytes);
    const QString family = id >= 0 ? fonts::fontDatabase::applicationFontFamilies(id).value(0) : raw.familyName();
    RegisteredFace face;
    face.family = family;
    face.styleName = family.isEmpty() ? raw.styleName() : registeredStyleName(family, raw);
    face.designFamily = raw.familyName();
    face.weight = raw.weight();
    face.italic = raw.style() != QFont::StyleNormal;
    face.postScriptName = QString::fromStdString(truetype::postScriptName(bytesOf(bytes)));
    if (!isComplete)
        face.complementFamilies = complementFamilies(face.postScriptName.isEmpty() ? cleanPSName : face.postScriptName,
                                                     face.designFamily);
    fonts::forgetInstalledFaces();
    face.withoutOutlines = fonts::drawsNoOutlines(raw);
    return face;
}

void PDFEmbeddedFontRegistry::enterFace(const RegisteredFace& face, const QString& cleanPSName, bool isComplete)
{
    ++m_facesEntered;
    const QString& family = face.family;
    if (face.withoutOutlines) {
        m_withoutOutlines.insert(cleanPSName.toLower());
        if (!face.postScriptName.isEmpty())
            m_withoutOutlines.insert(face.postScriptName.toLower());
        m_anyWithoutOutlines.store(true, std::memory_order_release);
    }
    if (!family.isEmpty() && family != face.designFamily)
        m_namesByFamily.insert(family, cleanPSName);
    m_facesByKey.insert(cleanPSName.toLower(), face);
    if (!face.postScriptName.isEmpty())
        m_facesByKey.insert(face.postScriptName.toLower(), face);
    if (!face.designFamily.isEmpty()) {
        const QString familyKey = face.designFamily.toLower();
        if (isComplete || !m_facesByKey.contains(familyKey))
            m_facesByKey.insert(familyKey, face);
        m_registeredFamilies.insert(face.designFamily);
    }
    if (isComplete) {
        m_completeFontsRegistered.insert(cleanPSName.toLower());
        if (!face.postScriptName.isEmpty())
            m_completeFontsRegistered.insert(face.postScriptName.toLower());
    }
}

bool PDFEmbeddedFontRegistry::drawsNoOutlines(const QString& postScriptName) const
{
    if (!m_anyWithoutOutlines.load(std::memory_order_acquire))
        return false;
    const std::lock_guard<std::mutex> locker(m_lock);
    return m_withoutOutlines.contains(stripSubsetPrefix(postScriptName).toLower());
}

bool PDFEmbeddedFontRegistry::hasRegisteredFont(const std::optional<QString>& postScriptName,
                                                const std::optional<QString>& familyName) const
{
    const std::lock_guard<std::mutex> locker(m_lock);
    if (postScriptName && !postScriptName->isEmpty() && m_facesByKey.contains(postScriptName->toLower()))
        return true;
    if (familyName && !familyName->isEmpty() && m_facesByKey.contains(familyName->toLower()))
        return true;
    return false;
}

QFont PDFEmbeddedFontRegistry::fontForFace(const RegisteredFace& face, double size) const
{
    QFont font = fonts::faceFont(face.family, face.styleName, size);
    // The face's own weight and slant, so that the families behind it give
    // missing characters in the same style.
    font.setWeight(QFont::Weight(std::clamp(face.weight, 1, 1000)));
    font.setItalic(face.italic);
    if (!face.complementFamilies.isEmpty())
        font.setFamilies(font.families() + face.complementFamilies);
    return font;
}

QString PDFEmbeddedFontRegistry::postScriptNameOf(const QFont& font) const
{
    {
        const std::lock_guard<std::mutex> locker(m_lock);
        const auto found = m_namesByFamily.constFind(font.families().value(0, font.family()));
        if (found != m_namesByFamily.constEnd())
            return *found;
    }
    return fonts::postScriptNameOf(font);
}

std::optional<QString> PDFEmbeddedFontRegistry::designFamily(const QString& postScriptName) const
{
    const std::lock_guard<std::mutex> locker(m_lock);
    const auto found = m_facesByKey.constFind(postScriptName.toLower());
    if (found == m_facesByKey.constEnd() || found->designFamily.isEmpty())
        return std::nullopt;
    return found->designFamily;
}

std::optional<QFont> PDFEmbeddedFontRegistry::makeFont(const std::optional<QString>& postScriptName,
                                                       const std::optional<QString>& familyName, double size,
                                                       bool isBold, bool isItalic) const
{
    std::optional<RegisteredFace> face;
    {
        const std::lock_guard<std::mutex> locker(m_lock);
        if (postScriptName && !postScriptName->isEmpty()) {
            const auto found = m_facesByKey.constFind(postScriptName->toLower());
            if (found != m_facesByKey.constEnd())
                face = *found;
        }
        if (!face && familyName && !familyName->isEmpty()) {
            const auto found = m_facesByKey.constFind(familyName->toLower());
            if (found != m_facesByKey.constEnd())
                face = *found;
        }
    }
    if (!face || face->family.isEmpty() || !fonts::hasFontSupport())
        return std::nullopt;
    return withMatchingCascadeFallback(fontForFace(*face, size), size, isBold, isItalic);
}

QFont PDFEmbeddedFontRegistry::withMatchingCascadeFallback(const QFont& font, double size, bool isBold, bool isItalic)
{
    const QString fallbackFace = cascadeFallbackFaceName(fonts::postScriptNameOf(font), isBold, isItalic);
    // "Georgia-BoldItalic" is the family Georgia; "AvenirNext-..." is Avenir Next.
    const QString fallbackFamily = fallbackFace.startsWith(QLatin1String("Georgia")) ? QStringLiteral("Georgia")
                                                                                      : QStringLiteral("Avenir Next");
    QFont copy = font;
    QStringList families = copy.families();
    for (const QString& family : fonts::substituteFamilies(fallbackFamily)) {
        if (!families.contains(family, Qt::CaseInsensitive))
            families.append(family);
    }
    copy.setFamilies(families);
    copy.setPointSizeF(size > 0 ? size : 1);
    return copy;
}

QStringList PDFEmbeddedFontRegistry::registeredFamilyNames() const
{
    QStringList names;
    {
        const std::lock_guard<std::mutex> locker(m_lock);
        names = QStringList(m_registeredFamilies.begin(), m_registeredFamilies.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zelvane
