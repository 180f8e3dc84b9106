#include "AppVersion.h"

#include "BuildInfo.h"

#include <cstdio>
#include <cstdlib>

namespace zelvane {

namespace {

std::optional<QString> infoValue(const std::optional<QVariantMap>& info, const char* key)
{
    if (!info) {
        return std::nullopt;
    }
    const auto it = info->constFind(QLatin1String(key));
    if (it == info->constEnd() || it->typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString value = it->toString().trimmed();
    if (value.isEmpty() || value.startsWith(QLatin1Char('@'))) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

AppVersion AppVersion::fromInfoDictionary(const std::optional<QVariantMap>& info)
{
    AppVersion result;
    result.version = infoValue(info, "CFBundleShortVersionString").value_or(QStringLiteral("0.2.2"));
    result.build = infoValue(info, "CFBundleVersion");
    return result;
}

const AppVersion& AppVersion::current()
{
    static const AppVersion version = [] {
        // The build's own information takes the place of a bundle's.
        return fromInfoDictionary(QVariantMap{
            {QStringLiteral("CFBundleShortVersionString"), QString::fromUtf8(buildinfo::kVersion)},
            {QStringLiteral("CFBundleVersion"), QString::fromUtf8(buildinfo::kBuildNumber)},
        });
    }();
    return version;
}

QString AppVersion::versionLine() const
{
    QString line = QStringLiteral("Zelvane ") + version;
    if (build) {
        line += QStringLiteral(" (") + *build + QLatin1Char(')');
    }
    return line;
}

bool AppVersion::isRequested(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--version") || arguments[i] == QLatin1String("-v")) {
            return true;
        }
    }
    return false;
}

void AppVersion::runIfRequested(const QStringList& arguments)
{
    if (!isRequested(arguments)) {
        return;
    }
    const QByteArray line = current().versionLine().toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    std::exit(0);
}

}  // namespace zelvane
