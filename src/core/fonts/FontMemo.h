#pragma once

// While a FontMemo lives on a thread, the fonts that thread resolves for text
// and what it reads of them (faces, cap heights, layout fonts) are worked out
// once and given again. Qt finds a font's face under one lock for the whole
// program: threads drawing thousands of lines at once (the PDF export's page
// drawing) would otherwise spend much of their time queuing on it. A font
// registered while a memo lives is not seen by what the memo already holds:
// keep one for one drawing only.

#include <QFont>
#include <QHash>
#include <QPainterPath>
#include <QRectF>
#include <QRawFont>
#include <QString>

#include <array>
#include <utility>

namespace zelvane::fonts {

class FontMemo {
public:
    // Becomes this thread's memo unless the thread has one already.
    FontMemo();
    ~FontMemo();
    FontMemo(const FontMemo&) = delete;
    FontMemo& operator=(const FontMemo&) = delete;

    // This thread's memo; null when none lives.
    static FontMemo* current();

    // What `make` gives for `key` in `table`, made on the first ask.
    template <typename Key, typename Value, typename Make>
    static Value remembered(QHash<Key, Value> FontMemo::*table, const Key& key, Make make)
    {
        FontMemo* memo = current();
        if (!memo)
            return make();
        QHash<Key, Value>& values = memo->*table;
        if (const auto found = values.constFind(key); found != values.constEnd())
            return *found;
        const Value value = make();
        values.insert(key, value);
        return value;
    }

    QHash<QString, QFont> resolvedFonts;
    QHash<std::pair<QFont, double>, QFont> layoutFonts;
    QHash<QFont, QRawFont> rawFonts;
    QHash<QFont, double> capHeights;
    QHash<QFont, QString> postScriptNames;
    // The boxes of words' outlines, their origin on the baseline's start,
    // and some of the outlines.
    QHash<std::pair<QFont, QString>, QRectF> textBoxes;
    QHash<std::pair<QFont, QString>, QPainterPath> textPaths;
    // How a scanned line's face fitted its print, by the line's setting and
    // face: the fitted size, and the baseline's distance below where the
    // drawing spans the ink, in points per point of size.
    QHash<QString, std::pair<double, double>> scanFits;
    // The family chosen for the scanned lines of a setting, and how many
    // of its first lines chose its regular, bold and italic face.
    struct ScanFaceChoice {
        QString family;
        std::array<int, 3> votes{};
    };
    QHash<QString, ScanFaceChoice> scanFaces;

private:
    bool m_installed = false;
};

}  // namespace zelvane::fonts
