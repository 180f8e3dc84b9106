#pragma once

#include <QString>
#include <QStringList>

namespace zelvane {

// What a run of the program does, read from its arguments before anything
// that needs a display exists. Matching is by whole, case-sensitive
// arguments, in a fixed order whatever their places: "--version"/"-v",
// "--help"/"-h", "--self-test", "--info", "--convert", "--snapshot".
struct LaunchMode {
    enum class Kind { interactive, version, help, selfTest, info, convert, snapshot };

    Kind kind = Kind::interactive;
    // For info and convert: the arguments after the first "--info" or
    // "--convert" (possibly none).
    QStringList modeArguments;
    // For snapshot: the argument after the first "--snapshot" unless it is
    // missing or begins with "-" ("/tmp/zelvane.png" then), and the argument
    // after the first "--view" ("single" without one).
    QString snapshotOutputPath;
    QString snapshotView;

    // `arguments`: the command line without the program path.
    static LaunchMode decide(const QStringList& arguments);

    bool isHeadless() const { return kind != Kind::interactive; }
};

}  // namespace zelvane
