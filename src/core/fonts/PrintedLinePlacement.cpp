#include "fonts/PrintedLinePlacement.h"

#include <algorithm>
#include <cmath>

namespace zelvane::PDFCodec {

namespace {

struct Word {
    qsizetype start = 0;
    qsizetype end = 0;
};

QList<Word> wordsOf(const QString& text)
{
    QList<Word> words;
    // At most one word in two units: the list is made once.
    words.reserve(text.size() / 2 + 1);
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i >= text.size())
            break;
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace())
            ++i;
        words.append({start, i});
    }
    return words;
}

QStringView wordText(const QString& text, const Word& word)
{
    return QStringView(text).mid(word.start, word.end - word.start);
}

double at(const QList<double>& list, qsizetype index)
{
    return index >= 0 && index < list.size() ? list[index] : 0.0;
}

}  // namespace

QList<double> printedShifts(const PrintedLine& printed, const QList<double>& naturalPrinted, const QString& edited,
                            const QList<double>& naturalEdited)
{
    QList<double> shifts(edited.size(), 0.0);
    const QList<Word> was = wordsOf(printed.text);
    const QList<Word> is = wordsOf(edited);
    const qsizetype common = std::min(was.size(), is.size());
    qsizetype prefix = 0;
    while (prefix < common && wordText(printed.text, was[prefix]) == wordText(edited, is[prefix]))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix
           && wordText(printed.text, was[was.size() - 1 - suffix]) == wordText(edited, is[is.size() - 1 - suffix]))
        ++suffix;
    if (prefix + suffix == 0)
        return shifts;

    // What the print added to every word space (justification): the mean
    // over neighbouring printed words of their printed minus their plain distance.
    double spaceExtra = 0;
    int pairs = 0;
    for (qsizetype w = 0; w + 1 < was.size(); ++w) {
        const double from = printed.x.value(was[w].start, std::nan(""));
        const double to = printed.x.value(was[w + 1].start, std::nan(""));
        if (std::isfinite(from) && std::isfinite(to)) {
            spaceExtra += (to - from) - (at(naturalPrinted, was[w + 1].start) - at(naturalPrinted, was[w].start));
            ++pairs;
        }
    }
    spaceExtra = pairs > 0 ? spaceExtra / pairs : 0.0;

    // The changed stretch runs from the end of the last kept word before it
    // to the start of the first kept word after it.
    const qsizetype keptEndWas = prefix > 0 ? was[prefix - 1].end : 0;
    const qsizetype keptEndIs = prefix > 0 ? is[prefix - 1].end : 0;
    const qsizetype resumeWas = suffix > 0 ? was[was.size() - suffix].start : printed.text.size();
    const qsizetype resumeIs = suffix > 0 ? is[is.size() - suffix].start : edited.size();
    const auto setWidth = [&](const QString& text, const QList<double>& natural, qsizetype from, qsizetype to) {
        int gaps = 0;
        for (qsizetype i = from; i < to; ++i) {
            if (text[i].isSpace() && (i == from || !text[i - 1].isSpace()))
                ++gaps;
        }
        return at(natural, to) - at(natural, from) + spaceExtra * gaps;
    };
    // The kept words after the change move by what the change added to the
    // width of that stretch.
    const double delta = setWidth(edited, naturalEdited, keptEndIs, resumeIs)
                         - setWidth(printed.text, naturalPrinted, keptEndWas, resumeWas);

    double carry = 0;
    qsizetype word = 0;
    for (qsizetype i = 0; i < edited.size(); ++i) {
        while (word < is.size() && is[word].end <= i)
            ++word;
        const bool inWord = word < is.size() && is[word].start <= i;
        if (inWord && (word < prefix || word >= is.size() - suffix)) {
            const bool before = word < prefix;
            const qsizetype wasWord = before ? word : word - (is.size() - was.size());
            const qsizetype j = was[wasWord].start + (i - is[word].start);
            const double x = j < printed.x.size() ? printed.x[j] : std::nan("");
            if (std::isfinite(x))
                carry = x + (before ? 0.0 : delta) - at(naturalEdited, i);
        } else if (edited[i].isSpace() && i >= keptEndIs && i < resumeIs && (i == 0 || !edited[i - 1].isSpace())) {
            // A word space of the changed stretch, as wide as the print's.
            carry += spaceExtra;
        }
        shifts[i] = carry;
    }
    return shifts;
}

}  // namespace zelvane::PDFCodec
