#include "LibraryFolders.h"

#include "ControllerFileIO.h"
#include "CodecError.h"
#include "assets/AssetImageCodec.h"
#include "model/VectorStyle.h"
#include "render/ArtworkRenderer.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <array>

namespace zelvane::LibraryFolders {

namespace {

QString dataRoot()
{
    QString root = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (root.isEmpty())
        root = QDir::homePath() + QStringLiteral("/.local/share");
    return root;
}

bool isDigitAt(const QString& text, qsizetype i)
{
    return i < text.size() && text.at(i).isDigit();
}

// The end of the run of digits (or of other characters) that starts at i.
qsizetype runEnd(const QString& text, qsizetype i)
{
    const bool digits = isDigitAt(text, i);
    while (i < text.size() && text.at(i).isDigit() == digits)
        ++i;
    return i;
}

// Compares two runs of digits by their value, whatever their length.
int compareNumbers(QStringView a, QStringView b)
{
    auto significant = [](QStringView run) {
        qsizetype i = 0;
        while (i + 1 < run.size() && run.at(i).digitValue() == 0)
            ++i;
        return run.mid(i);
    };
    const QStringView x = significant(a);
    const QStringView y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    for (qsizetype i = 0; i < x.size(); ++i) {
        const int dx = x.at(i).digitValue();
        const int dy = y.at(i).digitValue();
        if (dx != dy)
            return dx < dy ? -1 : 1;
    }
    return 0;
}

// Two runs without digits. When one is the beginning of the other, the
// character after the shorter run (a digit, or the end of the name) meets the
// next character of the longer one.
int compareTextRuns(const QCollator& collator, const QString& a, qsizetype i, qsizetype iEnd, const QString& b,
                    qsizetype j, qsizetype jEnd)
{
    const qsizetype common = std::min(iEnd - i, jEnd - j);
    const QStringView headA = QStringView(a).mid(i, common);
    const QStringView headB = QStringView(b).mid(j, common);
    int result = collator.compare(headA, headB);
    if (result == 0)
        result = headA.compare(headB, Qt::CaseInsensitive);
    if (result != 0 || iEnd - i == jEnd - j)
        return result;
    const bool aLonger = iEnd - i > jEnd - j;
    const QString& longer = aLonger ? a : b;
    const QString& shorter = aLonger ? b : a;
    const qsizetype next = (aLonger ? i : j) + common;
    const qsizetype shorterEnd = aLonger ? jEnd : iEnd;
    if (shorterEnd >= shorter.size())
        return aLonger ? 1 : -1;
    result = collator.compare(QStringView(longer).mid(next, 1), QStringView(shorter).mid(shorterEnd, 1));
    if (result == 0)
        result = aLonger ? 1 : -1;
    return aLonger ? result : -result;
}

QCollator fileNameCollator()
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

int compareFileNames(const QCollator& collator, const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const qsizetype iEnd = runEnd(a, i);
        const qsizetype jEnd = runEnd(b, j);
        const QStringView runA = QStringView(a).mid(i, iEnd - i);
        const QStringView runB = QStringView(b).mid(j, jEnd - j);
        int result = 0;
        if (isDigitAt(a, i) && isDigitAt(b, j)) {
            result = compareNumbers(runA, runB);
        } else if (isDigitAt(a, i) != isDigitAt(b, j)) {
            // Digits come before letters, as in a file manager.
            result = isDigitAt(a, i) ? -1 : 1;
        } else {
            result = compareTextRuns(collator, a, i, iEnd, b, j, jEnd);
        }
        if (result != 0)
            return result < 0 ? -1 : 1;
        i = iEnd;
        j = jEnd;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

}  // namespace

QString signaturesFolder()
{
    return dataRoot() + QStringLiteral("/Zelvane/Signatures");
}

QString stampsFolder()
{
    return dataRoot() + QStringLiteral("/Zelvane/Stamps");
}

QUuid deterministicUUID(const QString& key)
{
    std::array<quint8, 16> bytes{};
    const QByteArray utf8 = key.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = quint8(utf8.at(i));
        quint8& b = bytes[size_t(i % 16)];
        b = quint8(b + c * (1 + int(i % 7)));
    }
    bytes[6] = quint8((bytes[6] & 0x0F) | 0x40);
    bytes[8] = quint8((bytes[8] & 0x3F) | 0x80);
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), 16));
}

int compareFileNames(const QString& a, const QString& b)
{
    return compareFileNames(fileNameCollator(), a, b);
}

QList<LibraryFile> readFolder(const QString& folder)
{
    QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    const QCollator collator = fileNameCollator();
    std::stable_sort(entries.begin(), entries.end(), [&collator](const QFileInfo& a, const QFileInfo& b) {
        return compareFileNames(collator, a.fileName(), b.fileName()) < 0;
    });
    const QSet<QString>& accepted = AssetImageCodec::supportedExtensions();
    QList<LibraryFile> files;
    for (const QFileInfo& entry : entries) {
        if (!accepted.contains(entry.suffix().toLower()))
            continue;
        QByteArray data;
        try {
            data = ControllerFileIO::readRegularFile(entry.filePath());
        } catch (const CodecError&) {
            continue;
        }
        // A file that cannot be drawn (an empty or damaged image, a PDF
        // without a page) is no signature or stamp: it is not offered.
        if (!ArtworkRenderer::canDraw(data, entry.suffix().toLower()))
            continue;
        files.append({entry.filePath(), entry.fileName(), entry.completeBaseName(), entry.suffix(), data});
    }
    return files;
}

SignaturePreset signaturePresetFromFile(const LibraryFile& file)
{
    SignaturePreset preset;
    preset.id = deterministicUUID(QStringLiteral("sig:") + file.fileName);
    preset.title = file.baseName;
    preset.signerName = file.baseName;
    preset.caption = file.extension.toUpper();
    preset.colorHex = VectorStyle::inkColorHex();
    preset.assetData = file.data;
    preset.assetExtension = file.extension.toLower();
    preset.removeWhiteBackground = true;
    preset.fileURL = QUrl::fromLocalFile(file.path);
    return preset;
}

StampPreset stampPresetFromFile(const LibraryFile& file)
{
    StampPreset preset;
    preset.id = deterministicUUID(QStringLiteral("stamp:") + file.fileName);
    preset.title = file.baseName;
    preset.assetData = file.data;
    preset.assetExtension = file.extension.toLower();
    preset.removeWhiteBackground = true;
    preset.fileURL = QUrl::fromLocalFile(file.path);
    return preset;
}

}  // namespace zelvane::LibraryFolders
