#pragma once

#include "fonts/TrueTypeRepair.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace zelvane {

class WebFontTransport;

// The one registry of fonts taken from imported PDFs, from the local font
// cache and from the web-font service. PDF import fills it; font resolution
// and family-name normalisation read it; the font menu lists its families.
//
// Fonts are registered with Qt as application fonts, so the registry needs a
// QGuiApplication: without one, registering does nothing and lookups find
// nothing. Complete font files are kept under the XDG data folder
// ("Zelvane/Fonts"), repaired subsets of this run under the temporary folder
// ("ZelvaneEmbeddedFonts").
//
// Thread-safe: the collections sit behind the registry's own lock, which is
// never held while calling Qt's font database, touching files or waiting on
// the network. Nothing is ever reported or thrown: each failure ends its step
// quietly.
class PDFEmbeddedFontRegistry {
public:
    struct Configuration {
        QString persistentCacheDir;
        QString subsetTempDir;
        // Nothing means fonts are never downloaded.
        std::shared_ptr<WebFontTransport> webFontTransport;
        // Host of the web-font CSS service, asked over HTTPS on "/css".
        QString webFontHost = QStringLiteral("fonts.googleapis.com");
    };

    // What the family part, weight and slant of a PostScript name say.
    struct ParsedFontName {
        QString family;
        int weight = 400;
        bool italic = false;
    };

    // Font programs larger than this are never registered.
    static constexpr qsizetype kMaxFontProgramBytes = 32 * 1024 * 1024;

    // The process-wide instance, made on first use.
    static PDFEmbeddedFontRegistry& shared();

    // A registry of its own, apart from the shared one (tests use it with
    // temporary folders and a fake transport). Creates both folders.
    explicit PDFEmbeddedFontRegistry(Configuration configuration);
    ~PDFEmbeddedFontRegistry();
    PDFEmbeddedFontRegistry(const PDFEmbeddedFontRegistry&) = delete;
    PDFEmbeddedFontRegistry& operator=(const PDFEmbeddedFontRegistry&) = delete;

    // Finds every font embedded in the PDF and makes a complete face or the
    // repaired embedded program available under its names. May wait up to
    // 2.2 + 3.0 s for web fonts. The file read last, read again with
    // nothing registered nor installed since, is not read again: it would
    // register the same.
    void registerFonts(const QByteArray& pdfData);

    // The PostScript name or the family (lower-cased) is registered.
    bool hasRegisteredFont(const std::optional<QString>& postScriptName,
                           const std::optional<QString>& familyName) const;

    // The registered program under the PostScript name, else under the
    // family, at `size` points with a fallback cascade chosen by the flags
    // (which do not choose the face). Nothing when neither is registered.
    std::optional<QFont> makeFont(const std::optional<QString>& postScriptName,
                                  const std::optional<QString>& familyName, double size, bool isBold,
                                  bool isItalic) const;

    // The font with a fallback family for characters it lacks, chosen from
    // its PostScript name and the flags (see cascadeFallbackFaceName).
    static QFont withMatchingCascadeFallback(const QFont& font, double size, bool isBold, bool isItalic);
    // The fallback face for a PostScript name: a Georgia face for serif
    // names, an Avenir Next face otherwise ("Georgia-Bold", "AvenirNext-Regular", ...).
    static QString cascadeFallbackFaceName(const QString& postScriptName, bool isBold, bool isItalic);

    // The family the program registered under the PostScript name calls
    // itself by ("Computer Modern" for CMR10), whatever name Qt knows it by.
    std::optional<QString> designFamily(const QString& postScriptName) const;

    // The PostScript name of the font's primary face: the name a program
    // was registered under when the font is one of the registry's (Qt
    // cannot read it from Type 1 and CFF programs), else what the face's
    // own 'name' table says. Empty when unknown.
    QString postScriptNameOf(const QFont& font) const;

    // A program registered under the PostScript name has glyphs, none of
    // them with an outline: text printed in it shows nothing (the font of
    // a scan's invisible text layer).
    bool drawsNoOutlines(const QString& postScriptName) const;

    // Families made available through PDFs, sorted (case-sensitive).
    QStringList registeredFamilyNames() const;

    QString persistentCacheDir() const { return m_persistentCacheDir; }
    QString subsetTempDir() const { return m_subsetTempDir; }

    // Names.
    static QString stripSubsetPrefix(const QString& name);
    static ParsedFontName parsePostScriptFontName(const QString& name);

    // Byte-level repairs (see TrueTypeRepair.h).
    static QByteArray stripSubsetPrefixFromTTF(const QByteArray& font);
    static truetype::CodeMap parseToUnicode(const QString& cmapText);
    static QByteArray patchTrueTypeCmapIfNeeded(const QByteArray& font, const truetype::CodeMap& toUnicodeMap,
                                                bool isCIDFont);
    static QByteArray buildFormat4CmapTable(const truetype::CodeMap& mapping);

    // The steps of registerFonts, usable alone.

    // An installed or registered face of this PostScript name shows at least
    // 60 of 68 common letters and digits.
    bool isCompleteSystemOrRegisteredFont(const QString& postScriptName);
    // Registers "<name>.ttf" from the persistent cache when it holds more than 64 bytes.
    bool loadFromLocalDiskCache(const QString& cleanPSName);
    // Writes the program to the cache folder (complete) or the subset folder
    // unless `existingPath` is given, registers it with Qt and enters its names.
    bool registerFontBinary(const QByteArray& bytes, const QString& cleanPSName, const QString& ext,
                            bool isComplete, const QString& existingPath = {});
    // Asks the web-font service once per family and process for complete
    // TrueType files and registers what arrives in time as complete fonts.
    void fetchAndCacheGoogleFonts(const QStringList& families);
    // The query the web-font service is asked with ("family=Open+Sans:...%7CLato:...").
    static QString webFontQuery(const QStringList& families);

private:
    PDFEmbeddedFontRegistry();

    // A registered program as Qt knows it.
    struct RegisteredFace {
        // Qt's family for this program alone.
        QString family;
        QString styleName;
        QString postScriptName;
        // The family the program names itself by.
        QString designFamily;
        int weight = QFont::Normal;
        bool italic = false;
        // Installed families that give the characters a subset lacks.
        QStringList complementFamilies;
        // Glyphs, none of them with an outline.
        bool withoutOutlines = false;
    };

    QFont fontForFace(const RegisteredFace& face, double size) const;
    // The program written to its folder (unless `existingPath` is given) and
    // handed to Qt; nothing when Qt cannot read it.
    std::optional<RegisteredFace> loadFace(const QByteArray& bytes, const QString& cleanPSName, const QString& ext,
                                           bool isComplete, const QString& existingPath);
    // Enters the face's names; called with the lock held.
    void enterFace(const RegisteredFace& face, const QString& cleanPSName, bool isComplete);

    mutable std::mutex m_lock;
    QHash<QString, RegisteredFace> m_facesByKey;
    // Qt's family of each registered program to the name it was registered under.
    QHash<QString, QString> m_namesByFamily;
    QSet<QString> m_completeFontsRegistered;
    QSet<QString> m_attemptedRemoteFamilies;
    QSet<QString> m_registeredFamilies;
    // Names (lower-cased) of registered programs without outlines.
    QSet<QString> m_withoutOutlines;
    // Whether m_withoutOutlines holds any name: most files register none,
    // and drawsNoOutlines, asked for every line by several threads, then
    // answers without the lock.
    std::atomic<bool> m_anyWithoutOutlines{false};
    // How many times faces were entered, and the file read last (its SHA-1)
    // with that number and the number of installed families after it.
    quint64 m_facesEntered = 0;
    QByteArray m_lastFile;
    quint64 m_lastFileEntered = 0;
    qsizetype m_lastFileFamilies = 0;
    // The embedded programs registered, by a digest of what their
    // registration reads: Qt is handed each one once.
    QHash<QByteArray, RegisteredFace> m_registeredPrograms;

    const QString m_persistentCacheDir;
    const QString m_subsetTempDir;
    const std::shared_ptr<WebFontTransport> m_transport;
    const QString m_webFontHost;
};

}  // namespace zelvane
