#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace zelvane::testing {

// Writes small zip archives entry by entry, stored without compression,
// with Unix modes, so that tests can build archives no packing tool would.
class ZipWriter {
public:
    void addFile(const QString& name, const QByteArray& data, quint32 mode = 0100644);
    void addDirectory(const QString& name, quint32 mode = 040755);
    void addSymlink(const QString& name, const QString& target);
    // Adds every file, folder and link below `folder`, named from `prefix`.
    void addTree(const QString& folder, const QString& prefix);
    QByteArray finish() const;

private:
    struct Entry {
        QByteArray name;
        QByteArray data;
        quint32 mode;
        quint32 offset;
    };
    void add(const QString& name, const QByteArray& data, quint32 mode);

    QByteArray m_bytes;
    QList<Entry> m_entries;
};

}  // namespace zelvane::testing
