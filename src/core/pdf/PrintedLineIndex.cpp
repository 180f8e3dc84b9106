#include "pdf/PrintedLineIndex.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zelvane::PDFCodec {

namespace {

// The height of a band when the page's text is not spread over more than
// kMaxBands of them: about a third of a line of body text.
constexpr double kBandHeight = 4;
constexpr size_t kMaxBands = 4096;

bool finite(const QRectF& box)
{
    return std::isfinite(box.left()) && std::isfinite(box.right()) && std::isfinite(box.top())
           && std::isfinite(box.bottom());
}

}  // namespace

PrintedLineIndex::PrintedLineIndex(const PDFPageText& page) : m_size(page.text.size())
{
    // Each character's font is that of the first run holding it: the runs
    // laid down from the last one, so that earlier ones win.
    m_fonts.assign(size_t(m_size), 0);
    std::vector<QString> names{QString()};
    for (qsizetype r = page.runs.size() - 1; r >= 0; --r) {
        const PDFTextRun& run = page.runs[r];
        const qsizetype from = std::max<qsizetype>(run.start, 0);
        const qsizetype to = std::min(run.end, m_size);
        if (from >= to) {
            continue;
        }
        const auto named = std::find(names.begin(), names.end(), run.fontName);
        const int font = int(named - names.begin());
        if (named == names.end()) {
            names.push_back(run.fontName);
        }
        std::fill(m_fonts.begin() + from, m_fonts.begin() + to, font);
    }

    const qsizetype laidOut = std::min(m_size, page.characterRects.size());
    std::vector<Member> centres;
    centres.reserve(size_t(laidOut));
    for (qsizetype i = 0; i < laidOut; ++i) {
        const QRectF& rect = page.characterRects[i];
        if (rect.isNull()) {
            continue;
        }
        const QPointF centre = rect.center();
        if (std::isfinite(centre.x()) && std::isfinite(centre.y())) {
            centres.push_back({i, centre.x(), centre.y(), page.text[i].unicode()});
        }
    }
    if (centres.empty()) {
        return;
    }
    const auto [lowest, highest] = std::minmax_element(
        centres.begin(), centres.end(), [](const Member& a, const Member& b) { return a.y < b.y; });
    m_top = lowest->y;
    const double spread = highest->y - m_top;
    m_band = std::isfinite(spread) ? std::max(kBandHeight, spread / double(kMaxBands - 1)) : 1;
    const size_t bands = std::isfinite(spread) ? std::min(size_t(spread / m_band) + 1, kMaxBands) : 1;
    const auto bandOf = [&](double y) {
        const double at = (y - m_top) / m_band;
        return std::isfinite(at) ? std::min(size_t(at), bands - 1) : bands - 1;
    };
    // Counted, then placed band by band, keeping the places ascending.
    std::vector<size_t> bandsOf(centres.size());
    m_bandStarts.assign(bands + 1, 0);
    for (size_t i = 0; i < centres.size(); ++i) {
        bandsOf[i] = bandOf(centres[i].y);
        ++m_bandStarts[bandsOf[i] + 1];
    }
    std::partial_sum(m_bandStarts.begin(), m_bandStarts.end(), m_bandStarts.begin());
    std::vector<qsizetype> next(m_bandStarts.begin(), m_bandStarts.end() - 1);
    m_members.resize(centres.size());
    for (size_t i = 0; i < centres.size(); ++i) {
        m_members[size_t(next[bandsOf[i]]++)] = centres[i];
    }
}

std::vector<qsizetype> PrintedLineIndex::charactersNear(QChar character, const QRectF& box) const
{
    return membersNear(box, [&](const Member& member) { return member.character == character.unicode(); });
}

std::vector<qsizetype> PrintedLineIndex::charactersNear(const QRectF& box) const
{
    return membersNear(box, [](const Member&) { return true; });
}

template <typename Wanted>
std::vector<qsizetype> PrintedLineIndex::membersNear(const QRectF& box, Wanted wanted) const
{
    std::vector<qsizetype> found;
    const QRectF near = box.normalized();
    if (!finite(near)) {
        found.resize(size_t(m_size));
        std::iota(found.begin(), found.end(), qsizetype(0));
        return found;
    }
    if (m_members.empty()) {
        return found;
    }
    // One band holds all when the centres spread too far to be measured.
    const size_t bands = m_bandStarts.size() - 1;
    const double first = bands == 1 ? 0 : std::floor((near.top() - m_top) / m_band);
    const double last = bands == 1 ? 0 : std::floor((near.bottom() - m_top) / m_band);
    if (last < 0 || first >= double(bands)) {
        return found;
    }
    const size_t from = size_t(std::max(first, 0.0));
    const size_t to = size_t(std::min(last, double(bands - 1)));
    for (size_t band = from; band <= to; ++band) {
        for (qsizetype m = m_bandStarts[band]; m < m_bandStarts[band + 1]; ++m) {
            const Member& member = m_members[size_t(m)];
            if (wanted(member) && member.x >= near.left() && member.x <= near.right()
                && member.y >= near.top() && member.y <= near.bottom()) {
                found.push_back(member.place);
            }
        }
    }
    if (to > from) {
        std::sort(found.begin(), found.end());
    }
    return found;
}

}  // namespace zelvane::PDFCodec
