#pragma once

// The text pdftotext reads out of an exported PDF, for the tests that check
// what a recipient of the file can still read.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "core/support/ProgramOutput.h"

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
    return QString::fromUtf8(programOutput(QStringLiteral("pdftotext"), QStringList(options) << path << QStringLiteral("-"), 60000));
}

} // namespace zelvane::testing
