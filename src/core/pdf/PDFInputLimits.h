#pragma once

#include <QString>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace zelvane {

// Bounds on the work one PDF page may ask of the renderer and the text
// reader, so that a small file that inflates to gigabytes fails at once with
// a clear error instead of running for minutes:
// - the page's content, decoded: its content streams, and the streams of the
//   forms, tiling patterns, Type 3 glyphs and annotation appearances it
//   uses, each counted once per page; a stream in a picture format that
//   cannot be decoded here (JBIG2, JPEG, JPEG 2000, CCITT fax without a row
//   count) counts as unbounded, since that is what it may cost the renderer;
// - the page's content as drawn, and each of its annotations' appearances
//   as drawn with it: a form counts each time it is drawn;
// - the page's images, as the pixels they are drawn into (width × height ×
//   4 bytes, as the dictionary states them: a renderer never decodes more);
// - the decoded content of the whole document.
class PDFWorkTally {
public:
    static constexpr qint64 kMaxContentBytesPerPage = 64LL * 1024 * 1024;
    static constexpr qint64 kMaxImageBytesPerPage = 512LL * 1024 * 1024;
    static constexpr qint64 kMaxContentBytesPerDocument = 2048LL * 1024 * 1024;

    // Thrown by checkPage(); message() is in the current language and names
    // the limit ("… too large to open …").
    class Exceeded : public std::runtime_error {
    public:
        explicit Exceeded(QString message);
        const QString& message() const { return m_message; }

    private:
        QString m_message;
    };

    // Adds one page of the document; throws Exceeded when a limit is passed.
    // Streams are decoded only as far as the limit that applies.
    void checkPage(QPDFPageObjectHelper& page);

private:
    struct PageWork {
        qint64 content = 0;
        qint64 images = 0;
        std::set<QPDFObjGen> seen;
    };
    // Counts the stream unless the page already counted it.
    void addStream(QPDFObjectHandle stream, PageWork& work);
    void countStream(QPDFObjectHandle stream, PageWork& work);
    void countImage(QPDFObjectHandle image, PageWork& work);
    qint64 decodedSize(QPDFObjectHandle stream, qint64 budget);
    // The content `streams` draw with `resources`, each form counted as
    // often as it is drawn (a lattice of forms drawing forms twice costs
    // 2^depth). `path` holds the forms being drawn; a form drawn inside
    // itself more than once makes the cost unbounded.
    qint64 drawnContent(const std::vector<QPDFObjectHandle>& streams, QPDFObjectHandle resources,
                        std::vector<QPDFObjGen>& path, int& drawnInsideThemselves);

    std::map<QPDFObjGen, qint64> m_decoded;
    std::map<QPDFObjGen, qint64> m_drawnForms;
    qint64 m_documentContent = 0;
};

// Type 3 glyphs that draw text or forms of their own can make a renderer
// draw a glyph inside itself over and over (a glyph showing itself twice
// costs 2^depth); no font needs that. The guard empties such glyphs
// ("0 0 d0"), so that the document draws without them. Each font and form
// is looked at once per document, however many pages share it.
class Type3GlyphGuard {
public:
    // True when a glyph reachable from the page (its resources, forms,
    // patterns, other Type 3 fonts and annotation appearances) was emptied.
    bool disarm(QPDFPageObjectHelper& page);

private:
    std::set<QPDFObjGen> m_seen;
};

// Function-based shadings that poppler's drawing would cover with cells
// without end, or with millions of them, are written as the same colours on
// a bounded lattice (boundedFunctionShading), wherever a page can draw them:
// by name with sh, or through a shading pattern. Each is looked at once per
// document.
class FunctionShadingGuard {
public:
    // True when a shading reachable from the page (its resources, forms,
    // patterns, Type 3 fonts and annotation appearances) was rewritten.
    bool disarm(QPDFPageObjectHelper& page);

private:
    std::set<QPDFObjGen> m_seen;
    // What each shading met by reference became (a null object: itself).
    std::map<QPDFObjGen, QPDFObjectHandle> m_bounded;
};

}  // namespace zelvane
