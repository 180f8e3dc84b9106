#pragma once

// The text pdftotext reads out of an exported PDF, for the tests that check
// what a recipient of the file can still read.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zelvane::testing {

// The standard output of pdftotext run with `options` on `pdf`; empty when
// the file cannot be written or pdftotext does not finish.
inline QString pdfToText(const QByteArray& pdf, const QStringList& options = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(pdf);
    file.close();
    QProcess process;
    process.start(QStringLiteral("pdftotext"), QStringList(options) << path << QStringLiteral("-"));
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace zelvane::testing
