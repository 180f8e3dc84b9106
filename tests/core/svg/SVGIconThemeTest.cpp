// Real-world SVG: every icon of an installed icon theme opens as a document.
// The theme comes from the Debian package adwaita-icon-theme (installed by
// scripts/install-deps); without it the test is skipped.

#include "CodecError.h"
#include "svg/SVGCodec.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>

using namespace zelvane;

TEST(SVGIconTheme, EveryAdwaitaIconImports)
{
    const QString themeFolder = QStringLiteral("/usr/share/icons/Adwaita");
    QStringList files;
    QDirIterator it(themeFolder, {QStringLiteral("*.svg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(it.next());
    }
    if (files.isEmpty()) {
        GTEST_SKIP() << "no SVG icons under " << themeFolder.toStdString() << " (package adwaita-icon-theme)";
    }
    files.sort();

    // A time budget keeps the test short on a slow machine; on an ordinary
    // one every file is read well within it.
    constexpr qint64 budgetMs = 5000;
    QElapsedTimer timer;
    timer.start();
    qsizetype read = 0;
    qsizetype withElements = 0;
    for (const QString& path : files) {
        if (timer.elapsed() > budgetMs) {
            break;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        try {
            const VectorDocument document =
                SVGCodec::importSVG(file.readAll(), QFileInfo(path).baseName(), std::nullopt);
            ASSERT_FALSE(document.pages.isEmpty()) << path.toStdString();
            if (!document.pages.front().elements.isEmpty()) {
                ++withElements;
            }
        } catch (const CodecError& error) {
            ADD_FAILURE() << path.toStdString() << ": " << error.what();
        }
        ++read;
    }
    RecordProperty("icons_read", int(read));
    EXPECT_GE(read, std::min<qsizetype>(files.size(), 100));
    // Icons draw something: nearly all of them give at least one element.
    EXPECT_GE(withElements * 10, read * 9);
}
