#include "ZipArchive.h"

#include "Localization.h"

#include <QSet>
#include <QtEndian>
#include <zlib.h>

namespace zelvane::ZipArchive {

namespace {

constexpr quint32 kEndOfDirectory = 0x06054b50;
constexpr quint32 kDirectoryHeader = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kTypeMask = 0170000;
constexpr quint32 kSymlinkType = 0120000;
constexpr quint32 kDirectoryType = 0040000;
// Link targets longer than this are not paths anyone needs.
constexpr quint64 kMaxLinkTarget = 4096;

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}
    bool has(qsizetype offset, qsizetype length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    quint16 u16(qsizetype offset) const { return qFromLittleEndian<quint16>(m_bytes.constData() + offset); }
    quint32 u32(qsizetype offset) const { return qFromLittleEndian<quint32>(m_bytes.constData() + offset); }
    QByteArray bytes(qsizetype offset, qsizetype length) const { return m_bytes.mid(offset, length); }
    qsizetype size() const { return m_bytes.size(); }

private:
    const QByteArray& m_bytes;
};

std::optional<QByteArray> inflateRaw(const QByteArray& compressed, quint64 expectedSize)
{
    QByteArray out(qsizetype(expectedSize), Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = status == Z_STREAM_END && stream.total_out == expectedSize;
    inflateEnd(&stream);
    return whole ? std::optional(out) : std::nullopt;
}

// The stored bytes of a (small) entry, from its local header.
std::optional<QByteArray> entryData(const Reader& zip, quint32 localOffset, quint16 method, quint32 compressedSize,
                                    quint32 size)
{
    if (!zip.has(localOffset, 30) || zip.u32(localOffset) != kLocalHeader)
        return std::nullopt;
    const qsizetype start = qsizetype(localOffset) + 30 + zip.u16(localOffset + 26) + zip.u16(localOffset + 28);
    if (!zip.has(start, compressedSize))
        return std::nullopt;
    const QByteArray stored = zip.bytes(start, compressedSize);
    if (method == 0)
        return stored.size() == qsizetype(size) ? std::optional(stored) : std::nullopt;
    if (method == 8)
        return inflateRaw(stored, size);
    return std::nullopt;
}

// The name's path pieces, or nothing when it is not a plain relative path.
std::optional<QStringList> relativePieces(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        (name.size() >= 2 && name.at(1) == QLatin1Char(':')))
        return std::nullopt;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return std::nullopt;
    }
    QStringList pieces;
    for (const QString& piece : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (piece == QLatin1String(".."))
            return std::nullopt;
        if (piece != QLatin1String("."))
            pieces.append(piece);
    }
    if (pieces.isEmpty())
        return std::nullopt;
    return pieces;
}

// Where a link points to, as pieces from the archive's root; nothing when it
// leaves the top folder.
std::optional<QStringList> resolvedLink(const QStringList& linkPieces, const QString& target)
{
    if (target.isEmpty() || target.startsWith(QLatin1Char('/')) || target.contains(QLatin1Char('\\')))
        return std::nullopt;
    QStringList resolved = linkPieces.mid(0, linkPieces.size() - 1);
    for (const QString& piece : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (piece == QLatin1String("..")) {
            resolved.removeLast();
            if (resolved.isEmpty())
                return std::nullopt;
        } else if (piece != QLatin1String(".")) {
            resolved.append(piece);
        }
    }
    return resolved;
}

bool passesThrough(const QStringList& pieces, const QSet<QString>& links, qsizetype count)
{
    for (qsizetype i = 1; i <= count; ++i) {
        if (links.contains(pieces.mid(0, i).join(QLatin1Char('/'))))
            return true;
    }
    return false;
}

}  // namespace

UpdateResult<QList<ZipEntry>> readEntries(const QByteArray& archive)
{
    const Reader zip(archive);
    // The end record sits in the last 22 bytes plus at most 64 KiB of comment.
    qsizetype end = -1;
    for (qsizetype at = zip.size() - 22; at >= 0 && at >= zip.size() - 22 - 0xffff; --at) {
        if (zip.u32(at) == kEndOfDirectory) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return UpdateError::unreadableArchive();
    const quint16 disk = zip.u16(end + 4);
    const quint16 directoryDisk = zip.u16(end + 6);
    const quint16 count = zip.u16(end + 10);
    const quint32 directorySize = zip.u32(end + 12);
    const quint32 directoryOffset = zip.u32(end + 16);
    if (disk != 0 || directoryDisk != 0 || count == 0xffff || directoryOffset == 0xffffffff ||
        !zip.has(directoryOffset, directorySize))
        return UpdateError::unreadableArchive();

    QList<ZipEntry> entries;
    qsizetype at = directoryOffset;
    for (int i = 0; i < count; ++i) {
        if (!zip.has(at, 46) || zip.u32(at) != kDirectoryHeader)
            return UpdateError::unreadableArchive();
        const quint16 flags = zip.u16(at + 8);
        const quint16 method = zip.u16(at + 10);
        const quint32 compressedSize = zip.u32(at + 20);
        const quint32 size = zip.u32(at + 24);
        const quint16 nameLength = zip.u16(at + 28);
        const qsizetype recordLength = 46 + nameLength + zip.u16(at + 30) + zip.u16(at + 32);
        const quint32 attributes = zip.u32(at + 38);
        const quint32 localOffset = zip.u32(at + 42);
        if (!zip.has(at, recordLength) || compressedSize == 0xffffffff || size == 0xffffffff ||
            localOffset == 0xffffffff)
            return UpdateError::unreadableArchive();
        const QByteArray rawName = zip.bytes(at + 46, nameLength);
        ZipEntry entry;
        entry.name = (flags & 0x800) ? QString::fromUtf8(rawName) : QString::fromLatin1(rawName);
        if (flags & 0x1)
            return UpdateError::unsafeArchiveEntry(entry.name);
        // Unix modes, read whatever system the archive says it was made on:
        // unzip restores links for several of them.
        const quint32 mode = attributes >> 16;
        entry.size = size;
        entry.directory = entry.name.endsWith(QLatin1Char('/')) || (mode & kTypeMask) == kDirectoryType;
        entry.symlink = (mode & kTypeMask) == kSymlinkType;
        if (entry.symlink) {
            if (size > kMaxLinkTarget)
                return UpdateError::unsafeArchiveEntry(entry.name);
            const std::optional<QByteArray> target = entryData(zip, localOffset, method, compressedSize, size);
            if (!target)
                return UpdateError::unreadableArchive();
            entry.linkTarget = QString::fromUtf8(*target);
        }
        entries.append(entry);
        at += recordLength;
    }
    return entries;
}

UpdateResult<QString> checkEntries(const QList<ZipEntry>& entries, quint64 maxUnpackedBytes, int maxEntries)
{
    if (entries.size() > maxEntries)
        return UpdateError::unsafeArchiveEntry(
            L(QStringLiteral("%1 entrées (au plus %2)"), QStringLiteral("%1 entries (at most %2)"))
                .arg(entries.size())
                .arg(maxEntries));
    QString top;
    quint64 total = 0;
    QSet<QString> links;
    QList<QStringList> paths;
    for (const ZipEntry& entry : entries) {
        const std::optional<QStringList> pieces = relativePieces(entry.name);
        if (!pieces)
            return UpdateError::unsafeArchiveEntry(entry.name);
        if (top.isEmpty())
            top = pieces->first();
        // Everything lives in one top folder, which is a folder.
        if (pieces->first() != top || (pieces->size() == 1 && !entry.directory))
            return UpdateError::noInstallationInArchive();
        if (entry.symlink) {
            const std::optional<QStringList> target = resolvedLink(*pieces, entry.linkTarget);
            if (!target || target->first() != top)
                return UpdateError::unsafeArchiveEntry(entry.name + QStringLiteral(" -> ") + entry.linkTarget);
            links.insert(pieces->join(QLatin1Char('/')));
            paths.append(*target);
        }
        paths.append(*pieces);
        total += entry.size;
        if (total > maxUnpackedBytes)
            return UpdateError::tooLarge(QStringLiteral("L'archive décompressée"), QStringLiteral("The unpacked archive"),
                                         qint64(maxUnpackedBytes));
    }
    if (top.isEmpty())
        return UpdateError::noInstallationInArchive();
    // Nothing may be written, or point, through a link.
    for (const QStringList& path : paths) {
        if (passesThrough(path, links, path.size() - 1))
            return UpdateError::unsafeArchiveEntry(path.join(QLatin1Char('/')));
    }
    return top;
}

}  // namespace zelvane::ZipArchive
