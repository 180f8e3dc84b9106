#include "HeadlessDocumentFiles.h"

#include "CodecError.h"
#include "Localization.h"
#include "model/PageFormatPreset.h"
#include "pdf/PDFExport.h"
#include "pdf/PDFImport.h"
#include "render/PageRenderer.h"
#include "svg/SVGCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <pwd.h>

namespace zelvane::HeadlessDocumentFiles {

namespace {

// Failures of the file system carry this domain and codes in the ranges the
// editor uses for reading (256...) and writing (512...).
const char* const kFileDomain = "FileSystem";
constexpr int kReadUnknown = 256;
constexpr int kReadNoPermission = 257;
constexpr int kReadNoSuchFile = 260;
constexpr int kWriteUnknown = 512;
constexpr int kWriteNoPermission = 513;
constexpr int kPNGRenderFailed = 10;

enum class SaveFormat { pdf, svg, png };

SaveFormat formatForExtension(const QString& extension)
{
    if (extension == QLatin1String("pdf")) {
        return SaveFormat::pdf;
    }
    if (extension == QLatin1String("png")) {
        return SaveFormat::png;
    }
    return SaveFormat::svg;
}

QString homeOf(const QString& user)
{
    if (user.isEmpty()) {
        return QDir::homePath();
    }
    const passwd* entry = getpwnam(user.toLocal8Bit().constData());
    return entry && entry->pw_dir ? QString::fromLocal8Bit(entry->pw_dir) : QString();
}

bool looksLikePDF(const QByteArray& data)
{
    return data.size() >= 5 && QString::fromUtf8(data.left(5)) == QLatin1String("%PDF-");
}

[[noreturn]] void throwReadError(const QFileInfo& info, int code)
{
    const QString name = info.fileName();
    QString message;
    switch (code) {
    case kReadNoSuchFile:
        message = L(QStringLiteral("Le fichier « %1 » est introuvable."),
                    QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened because there is no such file."));
        break;
    case kReadNoPermission:
        message = L(QStringLiteral("Le fichier « %1 » n'a pas pu être ouvert car vous n'avez pas l'autorisation de "
                                   "le consulter."),
                    QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened because you don\u2019t have "
                                   "permission to view it."));
        break;
    default:
        message = L(QStringLiteral("Le fichier « %1 » n'a pas pu être ouvert."),
                    QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened."));
        break;
    }
    throw CodecError(QString::fromLatin1(kFileDomain), code, message.arg(name));
}

[[noreturn]] void throwWriteError(const QFileInfo& info, int code)
{
    const QString name = info.fileName();
    const QString folder = QFileInfo(info.absolutePath()).fileName();
    const QString message =
        code == kWriteNoPermission
            ? L(QStringLiteral("Vous n'avez pas l'autorisation d'enregistrer le fichier « %1 » dans le dossier « %2 »."),
                QStringLiteral("You don\u2019t have permission to save the file \u201C%1\u201D in the folder "
                               "\u201C%2\u201D."))
            : L(QStringLiteral("Le fichier « %1 » n'a pas pu être enregistré dans le dossier « %2 »."),
                QStringLiteral("The file \u201C%1\u201D couldn\u2019t be saved in the folder \u201C%2\u201D."));
    throw CodecError(QString::fromLatin1(kFileDomain), code, message.arg(name, folder));
}

QByteArray readFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        throwReadError(info, kReadNoSuchFile);
    }
    if (info.isDir()) {
        throwReadError(info, kReadUnknown);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throwReadError(info, file.error() == QFileDevice::PermissionsError ? kReadNoPermission : kReadUnknown);
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throwReadError(info, kReadUnknown);
    }
    return data;
}

void writeFile(const QString& path, const QByteArray& data)
{
    const QFileInfo info(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const bool denied = file.error() == QFileDevice::PermissionsError ||
                            (!info.isDir() && !QFileInfo(info.absolutePath()).isWritable());
        throwWriteError(info, denied ? kWriteNoPermission : kWriteUnknown);
    }
    if (file.write(data) != data.size() || !file.commit()) {
        throwWriteError(info, kWriteUnknown);
    }
}

}  // namespace

VectorDocument startDocument()
{
    const PageSize a4 = sizePoints(PageFormatPreset::a4Portrait);
    const VectorPage page =
        VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), a4.width, a4.height, QStringLiteral("#FFFFFF"));
    return VectorDocument::make(QUuid::createUuid(), L("Sans titre", "Untitled"), DocumentSourceFormat::svg,
                                std::nullopt, {page}, 1);
}

QString resolvePath(const QString& path)
{
    QString expanded = path;
    if (path.startsWith(QLatin1Char('~'))) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
        const QString home = homeOf(user);
        if (!home.isEmpty()) {
            expanded = home + (slash < 0 ? QString() : path.mid(slash));
        }
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(expanded));
}

VectorDocument open(const QString& path)
{
    const QString absolute = resolvePath(path);
    const QByteArray data = readFile(absolute);
    const QFileInfo info(absolute);
    const QString title = info.completeBaseName();
    const QUrl url = QUrl::fromLocalFile(absolute);
    if (info.suffix().toLower() == QLatin1String("pdf") || looksLikePDF(data)) {
        return PDFCodec::importPDF(data, title, url);
    }
    return SVGCodec::importSVG(data, title, url);
}

void save(VectorDocument& document, qsizetype pageIndex, const QString& path)
{
    const QString absolute = resolvePath(path);
    const QFileInfo info(absolute);
    const SaveFormat format = formatForExtension(info.suffix().toLower());

    if (!QDir().mkpath(info.absolutePath())) {
        throwWriteError(info, kWriteUnknown);
    }

    switch (format) {
    case SaveFormat::pdf:
        writeFile(absolute, PDFCodec::exportPDF(document));
        document.fileURL = QUrl::fromLocalFile(absolute);
        document.sourceFormat = DocumentSourceFormat::pdf;
        break;
    case SaveFormat::svg:
        writeFile(absolute, SVGCodec::exportSVG(document).toUtf8());
        document.fileURL = QUrl::fromLocalFile(absolute);
        document.sourceFormat = DocumentSourceFormat::svg;
        break;
    case SaveFormat::png: {
        const bool inRange = pageIndex >= 0 && pageIndex < document.pages.size();
        const VectorPage& page = document.pages.at(inRange ? pageIndex : 0);
        const std::optional<QByteArray> png = PDFCodec::renderPagePNG(page, 2.0);
        if (!png) {
            throw CodecError(QStringLiteral("Zelvane"), kPNGRenderFailed,
                             L("Impossible de rendre l'image PNG.", "Failed to render PNG image."));
        }
        writeFile(absolute, *png);
        break;
    }
    }
}

}  // namespace zelvane::HeadlessDocumentFiles
