#pragma once

// Font files for the font tests, derived from an installed Liberation Sans
// (Debian package fonts-liberation2) with renamed faces and cut-down
// character maps, so that they never clash with installed families.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace zelvane::testing {

// Creates the offscreen QGuiApplication the font code needs, once per
// process. False (and nothing created) when another kind of application
// object already exists.
bool ensureGuiApplication();

QByteArray readBinaryFile(const QString& path);
// Empty when the font is not installed.
QByteArray liberationSansRegular();
QByteArray liberationSansBold();

struct TestFontOptions {
    QString family;
    QString style = QStringLiteral("Regular");
    QString postScriptName;
    // Only these characters stay in the character map; nothing keeps all.
    std::optional<QString> characters;
    // Put before every name string (a subset prefix such as "ABCDEF+").
    QString namePrefix;
    // One Windows symbol subtable mapping U+F000 + code for the Latin-1
    // characters kept (instead of Unicode subtables).
    bool symbolCharacterMap = false;
    // Leave the 'name' table out.
    bool withoutNames = false;
    // Leave the 'cmap' table out.
    bool withoutCharacterMap = false;
    // Written into the OS/2 table's sxHeight.
    std::optional<std::uint16_t> xHeight;
};

// A copy of `base` with new names and character map.
QByteArray makeTestFont(const QByteArray& base, const TestFontOptions& options);

// A copy of `font` with tables replaced, added or left out, its table
// directory written anew (tables 4-byte aligned, sorted by tag).
QByteArray rebuildFont(const QByteArray& font, const std::map<std::string, QByteArray>& tables,
                       const std::set<std::string>& removed = {});

// A 'name' table with the four usual names in Macintosh and Windows records.
QByteArray makeNameTable(const QString& family, const QString& style, const QString& postScriptName,
                         const QString& prefix = {});

// A font of its own registered with Qt directly, as if installed. Returns the
// Qt family or an empty text.
QString installTestFont(const QByteArray& font);

// Base of the tests that need Qt's fonts: skipped when no QGuiApplication
// can be made or Liberation Sans is not installed.
class FontTestBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ensureGuiApplication())
            GTEST_SKIP() << "another kind of application object exists";
        if (liberationSansRegular().isEmpty())
            GTEST_SKIP() << "Liberation Sans (fonts-liberation2) is not installed";
    }
};

}  // namespace zelvane::testing
