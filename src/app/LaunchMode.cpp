#include "LaunchMode.h"

namespace zelvane {

namespace {

bool containsAny(const QStringList& arguments, const char* first, const char* second = nullptr)
{
    return arguments.contains(QLatin1String(first)) || (second && arguments.contains(QLatin1String(second)));
}

LaunchMode withArgumentsAfter(LaunchMode::Kind kind, const QStringList& arguments, const QString& flag)
{
    LaunchMode mode;
    mode.kind = kind;
    mode.modeArguments = arguments.mid(arguments.indexOf(flag) + 1);
    return mode;
}

}  // namespace

LaunchMode LaunchMode::decide(const QStringList& arguments)
{
    if (containsAny(arguments, "--version", "-v")) {
        return {Kind::version, {}, {}, {}};
    }
    if (containsAny(arguments, "--help", "-h")) {
        return {Kind::help, {}, {}, {}};
    }
    if (containsAny(arguments, "--self-test")) {
        return {Kind::selfTest, {}, {}, {}};
    }
    if (containsAny(arguments, "--info")) {
        return withArgumentsAfter(Kind::info, arguments, QStringLiteral("--info"));
    }
    if (containsAny(arguments, "--convert")) {
        return withArgumentsAfter(Kind::convert, arguments, QStringLiteral("--convert"));
    }
    if (containsAny(arguments, "--snapshot")) {
        LaunchMode mode;
        mode.kind = Kind::snapshot;
        const qsizetype at = arguments.indexOf(QStringLiteral("--snapshot"));
        const bool hasPath = at + 1 < arguments.size() && !arguments.at(at + 1).startsWith(QLatin1Char('-'));
        mode.snapshotOutputPath = hasPath ? arguments.at(at + 1) : QStringLiteral("/tmp/zelvane.png");
        const qsizetype view = arguments.indexOf(QStringLiteral("--view"));
        mode.snapshotView =
            view >= 0 && view + 1 < arguments.size() ? arguments.at(view + 1) : QStringLiteral("single");
        return mode;
    }
    return {};
}

}  // namespace zelvane
