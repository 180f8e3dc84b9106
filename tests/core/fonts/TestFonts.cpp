#include "support/TestApplication.h"
#include "TestFonts.h"

#include "fonts/CharacterMap.h"
#include "fonts/SfntReader.h"
#include "fonts/TrueTypeRepair.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

#include <vector>

namespace zelvane::testing {

namespace {

using namespace zelvane::truetype;

ByteSpan spanOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())};
}

QByteArray fromBytes(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::string tagText(std::uint32_t tag)
{
    return {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag)};
}

std::uint32_t checksum(const QByteArray& table)
{
    std::uint32_t sum = 0;
    for (qsizetype i = 0; i < table.size(); i += 4) {
        std::uint32_t word = 0;
        for (qsizetype k = 0; k < 4; ++k)
            word = (word << 8) | std::uint8_t(i + k < table.size() ? table.at(i + k) : 0);
        sum += word;
    }
    return sum;
}

}  // namespace

bool ensureGuiApplication()
{
    return ensureTestGuiApplication();
}

QByteArray readBinaryFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray liberationSansRegular()
{
    return readBinaryFile(QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"));
}

QByteArray liberationSansBold()
{
    return readBinaryFile(QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"));
}

QByteArray rebuildFont(const QByteArray& font, const std::map<std::string, QByteArray>& replacements,
                       const std::set<std::string>& removed)
{
    std::map<std::string, QByteArray> tables;
    if (const auto directory = readTableDirectory(spanOf(font))) {
        for (const TableRecord& record : *directory)
            tables[tagText(record.tag)] = font.mid(record.offset, record.length);
    }
    for (const auto& [tag, data] : replacements)
        tables[tag] = data;
    for (const std::string& tag : removed)
        tables.erase(tag);

    const auto count = std::uint16_t(tables.size());
    std::uint16_t power = 1;
    std::uint16_t log2 = 0;
    while (power * 2 <= count) {
        power = std::uint16_t(power * 2);
        ++log2;
    }
    Bytes head;
    appendU32(head, readU32(spanOf(font), 0).value_or(0x00010000));
    appendU16(head, count);
    appendU16(head, std::uint16_t(power * 16));
    appendU16(head, log2);
    appendU16(head, std::uint16_t(count * 16 - power * 16));
    QByteArray body;
    std::uint32_t offset = 12 + 16 * std::uint32_t(count);
    for (const auto& [tag, data] : tables) {
        for (char c : tag)
            head.push_back(std::uint8_t(c));
        appendU32(head, checksum(data));
        appendU32(head, offset);
        appendU32(head, std::uint32_t(data.size()));
        QByteArray padded = data;
        while (padded.size() % 4 != 0)
            padded.append('\0');
        body += padded;
        offset += std::uint32_t(padded.size());
    }
    return fromBytes(head) + body;
}

QByteArray makeNameTable(const QString& family, const QString& style, const QString& postScriptName,
                         const QString& prefix)
{
    const QString fullName = family + QLatin1Char(' ') + style;
    const std::vector<std::pair<std::uint16_t, QString>> names = {
        {1, prefix + family}, {2, style}, {4, prefix + fullName}, {6, prefix + postScriptName}};
    struct Record {
        std::uint16_t platform, encoding, language, nameID;
        QByteArray text;
    };
    std::vector<Record> records;
    for (const auto& [id, text] : names)
        records.push_back({1, 0, 0, id, text.toLatin1()});
    for (const auto& [id, text] : names) {
        QByteArray wide;
        for (const QChar c : text) {
            wide.append(char(c.unicode() >> 8));
            wide.append(char(c.unicode() & 0xFF));
        }
        records.push_back({3, 1, 0x0409, id, wide});
    }
    Bytes table;
    appendU16(table, 0);
    appendU16(table, std::uint16_t(records.size()));
    appendU16(table, std::uint16_t(6 + 12 * records.size()));
    QByteArray storage;
    for (const Record& r : records) {
        appendU16(table, r.platform);
        appendU16(table, r.encoding);
        appendU16(table, r.language);
        appendU16(table, r.nameID);
        appendU16(table, std::uint16_t(r.text.size()));
        appendU16(table, std::uint16_t(storage.size()));
        storage += r.text;
    }
    return fromBytes(table) + storage;
}

QByteArray makeTestFont(const QByteArray& base, const TestFontOptions& options)
{
    std::map<std::string, QByteArray> tables;
    std::set<std::string> removed;
    if (options.withoutNames)
        removed.insert("name");
    else
        tables["name"] = makeNameTable(options.family, options.style, options.postScriptName, options.namePrefix);

    const auto glyphs = glyphCount(spanOf(base)).value_or(0);
    GlyphMap present = readCharacterMap(spanOf(base), glyphs).value_or(GlyphMap{});
    if (options.withoutCharacterMap) {
        removed.insert("cmap");
    } else if (options.characters || options.symbolCharacterMap) {
        CodeMap kept;
        const QString wanted = options.characters.value_or(QString());
        for (const auto& [code, glyph] : present) {
            if (code > 0xFFFF || (options.characters && !wanted.contains(QChar(char16_t(code)))))
                continue;
            if (options.symbolCharacterMap) {
                if (code < 0x100)
                    kept[std::uint16_t(0xF000 + code)] = glyph;
            } else {
                kept[std::uint16_t(code)] = glyph;
            }
        }
        QByteArray cmap = fromBytes(buildFormat4CmapTable(kept));
        if (options.symbolCharacterMap) {
            // One record, Windows symbol, over the same format 4 subtable.
            Bytes header;
            appendU16(header, 0);
            appendU16(header, 1);
            appendU16(header, 3);
            appendU16(header, 0);
            appendU32(header, 12);
            cmap = fromBytes(header) + cmap.mid(20);
        }
        tables["cmap"] = cmap;
    }
    if (options.xHeight) {
        if (const auto record = findTable(spanOf(base), makeTag("OS/2"))) {
            QByteArray os2 = base.mid(record->offset, record->length);
            if (os2.size() >= 88) {
                os2[86] = char(*options.xHeight >> 8);
                os2[87] = char(*options.xHeight & 0xFF);
            }
            tables["OS/2"] = os2;
        }
    }
    return rebuildFont(base, tables, removed);
}

QString installTestFont(const QByteArray& font)
{
    const int id = QFontDatabase::addApplicationFontFromData(font);
    return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
}

}  // namespace zelvane::testing
