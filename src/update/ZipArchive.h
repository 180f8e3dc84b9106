#pragma once

#include "UpdateError.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zelvane {

// One entry of a zip archive's central directory.
struct ZipEntry {
    QString name;
    bool directory = false;
    bool symlink = false;
    quint64 size = 0;  // unpacked
    QString linkTarget;  // the stored target of a link
};

// Reading and checking a release archive before anything of it is unpacked.
namespace ZipArchive {

// The entries of an archive held in memory, link targets included. Archives
// that span disks, use the 64-bit format or encrypt entries are refused.
UpdateResult<QList<ZipEntry>> readEntries(const QByteArray& archive);

// Checks that every entry stays inside one top folder (no absolute names, no
// "..", no backslashes, no link leaving that folder and nothing written
// through a link), that there are at most `maxEntries` entries and that they
// unpack to at most `maxUnpackedBytes`. Gives the top folder's name.
UpdateResult<QString> checkEntries(const QList<ZipEntry>& entries, quint64 maxUnpackedBytes, int maxEntries);

}  // namespace ZipArchive

}  // namespace zelvane
