#include "pdf/PDFPredefinedCMaps.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <map>
#include <mutex>

namespace zelvane {

namespace {

const char* const kCMapFolder = "/usr/share/poppler/cMap";

std::optional<std::string> readCMapFile(const std::string& name)
{
    const QString wanted = QString::fromStdString(name);
    if (wanted.isEmpty() || wanted.contains(QLatin1Char('/')) || wanted.startsWith(QLatin1Char('.'))) {
        return std::nullopt;
    }
    const QDir folder(QString::fromLatin1(kCMapFolder));
    for (const QString& collection : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(folder.filePath(collection + QLatin1Char('/') + wanted));
        if (file.open(QIODevice::ReadOnly)) {
            return file.readAll().toStdString();
        }
    }
    return std::nullopt;
}

std::optional<std::string> withBases(const std::string& name, int depth)
{
    if (depth > 4) {
        return std::nullopt;
    }
    std::optional<std::string> text = readCMapFile(name);
    if (!text) {
        return std::nullopt;
    }
    static const QRegularExpression usecmap(QStringLiteral("/([^\\s/]+)\\s+usecmap"));
    QString own = QString::fromStdString(*text);
    QStringList bases;
    for (QRegularExpressionMatchIterator it = usecmap.globalMatch(own); it.hasNext();) {
        bases.append(it.next().captured(1));
    }
    own.remove(usecmap);
    std::string result = own.toStdString();
    for (const QString& base : bases) {
        const std::optional<std::string> inherited = withBases(base.toStdString(), depth + 1);
        if (!inherited) {
            return std::nullopt;
        }
        result += '\n';
        result += *inherited;
    }
    return result;
}

}  // namespace

std::optional<std::string> predefinedCMapText(const std::string& name)
{
    static std::mutex mutex;
    static std::map<std::string, std::optional<std::string>> known;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto found = known.find(name);
    if (found != known.end()) {
        return found->second;
    }
    return known.emplace(name, withBases(name, 0)).first->second;
}

}  // namespace zelvane
