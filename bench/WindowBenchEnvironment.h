#pragma once

// The environment of a benchmark that drives the editor's window: offscreen
// unless a platform is named, no web fonts, and settings, data and caches
// in a scratch folder so that no run sees another's.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace zelvane::bench {

inline void useWindowBenchEnvironment(const QTemporaryDir& scratch)
{
    qputenv("ZELVANE_DISABLE_WEB_FONTS", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CACHE_HOME", scratch.filePath(QStringLiteral("cache")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", scratch.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
}

}  // namespace zelvane::bench
