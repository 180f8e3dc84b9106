#pragma once

#include "model/Presets.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

namespace zelvane {

// The signature and stamp folders and how their files become library
// entries. Nothing here touches the controller or the user settings.
namespace LibraryFolders {

// The user's data folder (XDG_DATA_HOME, else ~/.local/share) followed by
// "Zelvane/Signatures" or "Zelvane/Stamps". Computed on each call; the
// folders are not created.
QString signaturesFolder();
QString stampsFolder();

// The stable id of a library key ("sig:" or "stamp:" and a file name): the
// same key gives the same id on every run and every machine.
QUuid deterministicUUID(const QString& key);

// The ordering a file manager shows: letters compared without regard to
// case, runs of digits by their value ("scan 2" before "scan 10"). Negative,
// zero or positive.
int compareFileNames(const QString& a, const QString& b);

// One accepted file of a library folder, read whole.
struct LibraryFile {
    QString path;
    QString fileName;
    // The name without its last extension.
    QString baseName;
    // The last extension as written.
    QString extension;
    QByteArray data;
};

// The folder's visible files whose extension is one of the asset
// extensions, in file-name order (names that compare equal keep the
// listing's order). Files that cannot be read, are not regular files or are
// empty are left out; a folder that cannot be listed gives nothing.
QList<LibraryFile> readFolder(const QString& folder);

SignaturePreset signaturePresetFromFile(const LibraryFile& file);
StampPreset stampPresetFromFile(const LibraryFile& file);

}  // namespace LibraryFolders

}  // namespace zelvane
