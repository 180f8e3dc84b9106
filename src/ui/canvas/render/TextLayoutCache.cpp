#include "TextLayoutCache.h"

#include "fonts/FontLookup.h"
#include "fonts/TextFonts.h"

#include <QFontMetricsF>
#include <cmath>

namespace zelvane {

namespace {

QString blockKey(const TextPayload& payload, double paneScale)
{
    QString key;
    key.reserve(payload.text.size() + payload.fontFamily.size() + 64);
    key += payload.fontFamily;
    key += QLatin1Char('\x1F');
    key += payload.postScriptFontName.value_or(QString());
    key += QLatin1Char('\x1F');
    // Whether the extracted face still applies depends on the recorded
    // weight and slant too.
    key += QString::asprintf("%d%d%d%d|%.17g|%.17g|%.17g|%.17g|", payload.isBold, payload.isItalic,
                             payload.originalIsBold.value_or(2), payload.originalIsItalic.value_or(2),
                             payload.fontSize, paneScale, payload.letterSpacing,
                             payload.originalFontSize.value_or(-1));
    key += payload.text;
    return key;
}

}  // namespace

const PaneTextBlock& TextLayoutCache::block(const TextPayload& payload, double paneScale)
{
    const QString key = blockKey(payload, paneScale);
    if (const auto found = m_blocks.constFind(key); found != m_blocks.constEnd())
        return **found;
    if (m_blocks.size() >= kMaxEntries)
        m_blocks.clear();

    const double fontSize = std::isfinite(payload.fontSize) ? payload.fontSize : 5.0;
    const double kern = std::isfinite(payload.letterSpacing) ? payload.letterSpacing : 0.0;
    const QFont drawingFont = PDFCodec::resolveFont(payload, std::max(fontSize * paneScale, 4.5));
    const QFont metricFont = PDFCodec::resolveFont(payload, fontSize);
    auto block = std::make_shared<PaneTextBlock>();
    block->metricCapHeight = QFontMetricsF(metricFont, fonts::pointDevice()).capHeight();
    for (const QString& text : payload.text.split(QLatin1Char('\n'))) {
        if (text.isEmpty()) {
            block->lines.push_back({PaneTextLine(QString(), drawingFont), {}});
            continue;
        }
        PDFCodec::AdaptedSubsetText adapted = PDFCodec::adaptStringForSubsetFont(text, metricFont, kern);
        block->lines.push_back({PaneTextLine(adapted.adapted, drawingFont, kern * paneScale), std::move(adapted.accents)});
    }
    return **m_blocks.insert(key, std::move(block));
}

const PaneTextLine& TextLayoutCache::line(const QString& text, const QFont& font)
{
    const QString key = font.key() + QLatin1Char('\x1F') + text;
    if (const auto found = m_lines.constFind(key); found != m_lines.constEnd())
        return **found;
    if (m_lines.size() >= kMaxEntries)
        m_lines.clear();
    return **m_lines.insert(key, std::make_shared<PaneTextLine>(text, font));
}

void TextLayoutCache::forgetFonts()
{
    m_blocks.clear();
    m_lines.clear();
}

}  // namespace zelvane
