#include "ZipWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <zlib.h>

namespace zelvane::testing {

namespace {

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 crcOf(const QByteArray& data)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

}  // namespace

void ZipWriter::add(const QString& name, const QByteArray& data, quint32 mode)
{
    Entry entry{name.toUtf8(), data, mode, quint32(m_bytes.size())};
    put32(m_bytes, 0x04034b50);
    put16(m_bytes, 10);
    put16(m_bytes, 0x800);
    put16(m_bytes, 0);
    put32(m_bytes, 0);
    put32(m_bytes, crcOf(data));
    put32(m_bytes, quint32(data.size()));
    put32(m_bytes, quint32(data.size()));
    put16(m_bytes, quint16(entry.name.size()));
    put16(m_bytes, 0);
    m_bytes += entry.name;
    m_bytes += data;
    m_entries.append(entry);
}

void ZipWriter::addFile(const QString& name, const QByteArray& data, quint32 mode) { add(name, data, mode); }

void ZipWriter::addDirectory(const QString& name, quint32 mode)
{
    add(name.endsWith(QLatin1Char('/')) ? name : name + QLatin1Char('/'), {}, mode);
}

void ZipWriter::addSymlink(const QString& name, const QString& target) { add(name, target.toUtf8(), 0120777); }

void ZipWriter::addTree(const QString& folder, const QString& prefix)
{
    addDirectory(prefix);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString name = prefix + QLatin1Char('/') + QDir(folder).relativeFilePath(path);
        if (info.isSymLink()) {
            addSymlink(name, info.symLinkTarget());
        } else if (info.isDir()) {
            addDirectory(name);
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            addFile(name, file.readAll(), info.isExecutable() ? 0100755 : 0100644);
        }
    }
}

QByteArray ZipWriter::finish() const
{
    QByteArray out = m_bytes;
    const quint32 directoryOffset = quint32(out.size());
    for (const Entry& entry : m_entries) {
        put32(out, 0x02014b50);
        put16(out, (3 << 8) | 30);
        put16(out, 10);
        put16(out, 0x800);
        put16(out, 0);
        put32(out, 0);
        put32(out, crcOf(entry.data));
        put32(out, quint32(entry.data.size()));
        put32(out, quint32(entry.data.size()));
        put16(out, quint16(entry.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, entry.mode << 16);
        put32(out, entry.offset);
        out += entry.name;
    }
    const quint32 directorySize = quint32(out.size()) - directoryOffset;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(m_entries.size()));
    put16(out, quint16(m_entries.size()));
    put32(out, directorySize);
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

}  // namespace zelvane::testing
