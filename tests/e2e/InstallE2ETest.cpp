#include "AppVersion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zelvane {
namespace {

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct Finished {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs a program in a fresh account: HOME is `home`, PATH holds only the
// system folders (not ~/.local/bin), and there is no display.
Finished runAs(const QString& home, const QString& program, const QStringList& arguments,
          const QString& workingDirectory = QString())
{
    QProcess process;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("OSSEL_UPDATE_URL"), QStringLiteral("http://127.0.0.1:9/"));
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Finished run;
    if (!process.waitForFinished(180'000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The Exec value of a desktop entry split as the desktop entry format says: quoted
// arguments lose their quotes and the backslashes before ", `, $ and \;
// "%F" becomes the files given.
QStringList execArguments(const QString& entry, const QStringList& files)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Exec=(.*)$"), QRegularExpression::MultilineOption).match(entry);
    if (!match.hasMatch())
        return {};
    QString value = match.captured(1);
    value.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < value.size()) {
                current += value.at(++i);
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = started = true;
        } else if (c == QLatin1Char(' ')) {
            if (started)
                arguments.append(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments.append(current);
    QStringList result;
    for (QString argument : arguments) {
        if (argument == QLatin1String("%F"))
            result += files;
        else
            result.append(argument.replace(QStringLiteral("%%"), QStringLiteral("%")));
    }
    return result;
}

// desktop-file-validate's verdict: empty when the entry is valid.
QString validationErrors(const QString& entryPath)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        return QStringLiteral("desktop-file-validate is not installed (scripts/install-deps)");
    QProcess process;
    process.start(validator, {entryPath});
    if (!process.waitForFinished(60'000))
        return QStringLiteral("desktop-file-validate did not finish");
    if (process.exitCode() != 0)
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return {};
}

QString versionLine() { return QStringLiteral("Zelvane ") + AppVersion::current().version; }

// An install to a prefix whose path has a space in it: the desktop entry
// starts that prefix's program without PATH, and is valid.
TEST(InstallE2ETest, APrefixInstallsAnEntryThatStartsItsOwnProgram)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("new home"));
    ASSERT_TRUE(QDir().mkpath(home));
    const QString prefix = home + QStringLiteral("/.local/opt/zelvane");
    const Finished install = runAs(home, QStringLiteral("cmake"),
                              {QStringLiteral("--install"), QStringLiteral(ZELVANE_BUILD_DIR), QStringLiteral("--prefix"),
                               prefix});
    ASSERT_EQ(install.exitCode, 0) << install.errors.toStdString();

    const QString entryPath = prefix + QStringLiteral("/share/applications/zelvane.desktop");
    const QString entry = readText(entryPath);
    ASSERT_FALSE(entry.isEmpty());
    EXPECT_EQ(validationErrors(entryPath), QString());
    const QStringList command = execArguments(entry, {QStringLiteral("--version")});
    ASSERT_EQ(command.size(), 2) << entry.toStdString();
    EXPECT_EQ(command.at(0), prefix + QStringLiteral("/bin/zelvane"));

    const Finished started = runAs(home, command.at(0), command.mid(1));
    EXPECT_EQ(started.exitCode, 0) << started.errors.toStdString();
    EXPECT_EQ(started.output.trimmed().split(QLatin1Char('\n')).value(0).section(QLatin1Char(' '), 0, 1),
              versionLine());
}

// The README's steps for a release archive, run word for word in a new
// account that has none of the folders they use.
TEST(InstallE2ETest, TheReadmeStepsWorkOnANewAccount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString dist = dir.filePath(QStringLiteral("dist"));
    ASSERT_TRUE(QDir().mkpath(home));
    const Finished pack = runAs(home, QStringLiteral(ZELVANE_SOURCE_DIR "/scripts/pack-release"),
                           {QStringLiteral(ZELVANE_BUILD_DIR), dist});
    ASSERT_EQ(pack.exitCode, 0) << pack.errors.toStdString();

    // The indented shell lines under "Install it for your account".
    const QStringList readme = readText(QStringLiteral(ZELVANE_SOURCE_DIR "/README.md")).split(QLatin1Char('\n'));
    qsizetype at = 0;
    while (at < readme.size() && !readme.at(at).contains(QLatin1String("Install it for your account")))
        ++at;
    ASSERT_LT(at, readme.size());
    QStringList steps;
    for (++at; at < readme.size(); ++at) {
        const QString& line = readme.at(at);
        if (line.trimmed().isEmpty()) {
            if (!steps.isEmpty())
                break;
            continue;
        }
        ASSERT_TRUE(line.startsWith(QStringLiteral("      "))) << line.toStdString();
        steps.append(line.trimmed());
    }
    ASSERT_GE(steps.size(), 4);
    const Finished installed =
        runAs(home, QStringLiteral("bash"), {QStringLiteral("-euo"), QStringLiteral("pipefail"), QStringLiteral("-c"),
                                             steps.join(QLatin1Char('\n'))},
              dist);
    ASSERT_EQ(installed.exitCode, 0) << installed.errors.toStdString();

    const Finished linked = runAs(home, home + QStringLiteral("/.local/bin/zelvane"), {QStringLiteral("--version")});
    EXPECT_EQ(linked.exitCode, 0) << linked.errors.toStdString();
    EXPECT_TRUE(linked.output.startsWith(versionLine())) << linked.output.toStdString();
    EXPECT_TRUE(QFileInfo(home + QStringLiteral("/.local/share/icons/hicolor/scalable/apps/zelvane.svg")).isFile());

    const QString entryPath = home + QStringLiteral("/.local/share/applications/zelvane.desktop");
    EXPECT_EQ(validationErrors(entryPath), QString());
    const QStringList command = execArguments(readText(entryPath), {QStringLiteral("--version")});
    ASSERT_EQ(command.size(), 2);
    EXPECT_EQ(command.at(0), home + QStringLiteral("/.local/opt/zelvane/bin/zelvane"));
    const Finished started = runAs(home, command.at(0), command.mid(1));
    EXPECT_EQ(started.exitCode, 0) << started.errors.toStdString();
    EXPECT_TRUE(started.output.startsWith(versionLine())) << started.output.toStdString();
}

}  // namespace
}  // namespace zelvane
