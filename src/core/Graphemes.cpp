#include "Graphemes.h"

#include <QTextBoundaryFinder>

namespace zelvane {

namespace {

// Below U+0300 (Latin letters, digits, punctuation, spacing modifiers) no
// character joins the one before or after it, but a carriage return and the
// line feed after it make one. Such text is counted without Qt's boundary
// finder, which looks up every character's properties first.
bool onlySimpleCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x300)
            return false;
    }
    return true;
}

// The length of the grapheme of simple text starting at `at`.
qsizetype simpleGraphemeLength(const QString& text, qsizetype at)
{
    return text[at] == QLatin1Char('\r') && at + 1 < text.size() && text[at + 1] == QLatin1Char('\n') ? 2 : 1;
}

}  // namespace

qsizetype graphemeCount(const QString& text)
{
    if (onlySimpleCharacters(text)) {
        qsizetype count = 0;
        for (qsizetype at = 0; at < text.size(); at += simpleGraphemeLength(text, at))
            ++count;
        return count;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() >= 0) {
        ++count;
    }
    return count;
}

QString leadingGraphemes(const QString& text, qsizetype count)
{
    if (onlySimpleCharacters(text)) {
        qsizetype at = 0;
        for (qsizetype seen = 0; seen < count; ++seen) {
            if (at >= text.size())
                return text;
            at += simpleGraphemeLength(text, at);
        }
        return text.left(at);
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype seen = 0; seen < count; ++seen) {
        if (finder.toNextBoundary() < 0) {
            return text;
        }
    }
    return text.left(finder.position());
}

}  // namespace zelvane
