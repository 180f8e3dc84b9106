#pragma once

#include <QByteArray>
#include <QString>

namespace zelvane {

// Codes of the editor's own errors (domain "Zelvane"), thrown as CodecError
// with a message in the current language.
enum class ControllerErrorCode {
    pngRenderFailed = 10,
    fileUnreadable = 11,
    notRegularFile = 12,
    fileTooLarge = 13,
    folderNotCreated = 14,
    writeFailed = 15,
    unexpected = 16,
    // A background open that ended without its document being put in place:
    // a later open replaced it, or the user kept edits made meanwhile.
    openSuperseded = 17,
    openDeclined = 18,
    // A background open ended by quitting before its document was read.
    openCancelled = 19,
};

// File work of the controller: careful reading, atomic writing.
namespace ControllerFileIO {

// Largest file the editor opens or takes into a library.
inline constexpr qint64 kMaxReadBytes = 512LL * 1024 * 1024;

// The whole content of a regular file (symbolic links followed). A folder, a
// pipe, a device or a socket is refused without waiting on it, and so is a
// file above maxBytes. Throws CodecError "Zelvane".
QByteArray readRegularFile(const QString& path, qint64 maxBytes = kMaxReadBytes);

// Creates the folder that will hold filePath, with intermediate folders; an
// existing folder is fine. Throws CodecError "Zelvane" 14.
void createParentFolder(const QString& filePath);

// Replaces the file with data in one step, every write checked and the data
// on the disk before the new file takes the old one's name: a failed write
// (a full disk included) leaves the old file (or no file) behind, never a
// partial or empty one. Throws CodecError "Zelvane" 15.
void writeFileAtomically(const QString& path, const QByteArray& data);

// Copies a regular file (refused as readRegularFile refuses) to destination
// through a temporary file in the destination's folder, then renames it into
// place; an earlier file at destination is untouched when the copy fails.
// Nothing happens when both names already lead to the same file.
// Throws CodecError "Zelvane".
void copyFileAtomically(const QString& source, const QString& destination, qint64 maxBytes = kMaxReadBytes);

// True when both paths lead to one existing file (links and "." resolved).
bool isSameFile(const QString& a, const QString& b);

// The data begins with "%PDF-".
bool looksLikePDF(const QByteArray& data);

// The name shown in messages: the file name, or the path when it has none.
QString displayName(const QString& path);

}  // namespace ControllerFileIO

}  // namespace zelvane
