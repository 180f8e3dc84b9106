#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace zelvane {

// The editor's version and build, as shown by --version, the help banner and
// the about sheet.
struct AppVersion {
    QString version;
    std::optional<QString> build;

    // Reads "CFBundleShortVersionString" and "CFBundleVersion" of an
    // information dictionary; blank values and unexpanded "@..." placeholders
    // count as absent, and the version falls back to "0.2.2".
    static AppVersion fromInfoDictionary(const std::optional<QVariantMap>& info);
    // The running program's version, from the project version and the
    // optional build number it was configured with.
    static const AppVersion& current();

    // "Zelvane 0.2.2" or "Zelvane 0.2.2 (57)".
    QString versionLine() const;
    // True when an argument after the program path is "--version" or "-v".
    static bool isRequested(const QStringList& arguments);
    // Prints the version line and exits with status 0 when it was asked for.
    static void runIfRequested(const QStringList& arguments);
};

}  // namespace zelvane
