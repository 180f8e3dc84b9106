#pragma once

// Lines of text a PDF overlay writes as PDF text operators of its own rather
// than through Qt's PDF writer: the glyphs and places Qt's layout chose are
// kept as they are, each face is written once per overlay as a font of the
// glyphs used (their outlines, widths and the characters they stand for, so
// that readers find the text), and the page's held lines are written over
// everything Qt drew on it.

#include <QByteArray>
#include <QColor>
#include <QGlyphRun>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QTransform>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace zelvane::PDFCodec {

class PDFTextOverlay {
public:
    // One glyph run of a line: the run as Qt would draw it at `origin` and
    // the character each of its glyphs stands for, one unit per glyph (a
    // null character where it stands for none).
    struct HeldRun {
        QGlyphRun run;
        QString characters;
    };

    // A font of the overlay, in PDF syntax: the font dictionary without its
    // descriptor and character map, the descriptor without its font file,
    // the font file (a bare compact font program) and the character map.
    struct Font {
        QByteArray name;  // the resource name, "/ZT0" and so on
        QByteArray dictionary;
        QByteArray descriptor;
        QByteArray program;
        QByteArray toUnicode;
    };

    // What a page gets: a content stream drawn in Qt's page space (y down
    // from the top of the page Qt wrote) and the fonts it names.
    struct Page {
        QByteArray content;
        std::vector<size_t> fonts;
    };

    // The overlay the calling thread's drawing holds lines for, if any.
    static PDFTextOverlay* active();

    // While it lives, the calling thread's PDF drawing holds lines for `overlay`.
    class Scope {
    public:
        explicit Scope(PDFTextOverlay& overlay);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        PDFTextOverlay* m_previous;
    };

    // Lines held from now on belong to page `index`.
    void startPage(qsizetype index);

    // Holds a line drawn with `painter`'s current state in `color`; false
    // (nothing held) when it cannot be written exactly as Qt would draw it.
    bool hold(const QPainter& painter, const QPointF& origin, const QList<HeldRun>& runs, const QColor& color);

    // Where the glyphs of `runs` drawn at `origin` ink, with a point to spare.
    static QRectF inkOf(const QPointF& origin, const QList<HeldRun>& runs);

    // Qt is about to draw something over the held lines of the current page
    // (within `area`, device space, when given): those it may touch are drawn
    // by Qt first, so that what comes later stays on top of them.
    void drawHeldWith(QPainter& painter, const std::optional<QRectF>& area = std::nullopt);

    // Once every page is drawn: each page's content and the fonts.
    void finish();
    const std::map<qsizetype, Page>& pages() const { return m_pages; }
    const std::vector<Font>& fonts() const { return m_fonts; }

private:
    struct HeldLine {
        QTransform transform;  // to the device
        QTransform world;      // the painter's, to draw it again
        QRectF bounds;         // device space
        QPointF origin;
        QColor color;
        QList<HeldRun> runs;
    };
    // What the overlays a thread draws know of a face (a font engine at one
    // size): kept for the thread's later overlays.
    struct FaceData;
    struct Face {
        std::shared_ptr<FaceData> data;
        // Every 256 glyphs a font of their own: by glyph, its font and code
        // (a negative code for a glyph not written yet).
        std::vector<std::pair<size_t, int>> codes;
        std::vector<size_t> fonts;
        std::vector<std::vector<std::pair<quint32, QString>>> glyphsOf;  // per font, by code
    };

    // A page's content as it is written: bytes appended in place.
    class Writing;

    void writeLine(const HeldLine& line, Page& page, Writing& out);
    void writeRun(const HeldRun& run, Face& face, const QPointF& origin, Page& page, Writing& out);
    std::pair<size_t, int> codeOf(Face& face, quint32 glyph, QChar character);
    static const QRectF& boxOf(FaceData& face, quint32 glyph);
    static const QPainterPath& outlineOf(FaceData& face, quint32 glyph);
    QRectF heldInkOf(const QPointF& origin, const QList<HeldRun>& runs);
    static double advanceOf(FaceData& face, quint32 glyph);
    Face* faceOf(const QRawFont& raw);
    // The faces the calling thread's overlays wrote.
    static std::vector<std::shared_ptr<FaceData>>& threadFaces();

    qsizetype m_page = -1;
    std::vector<HeldLine> m_held;
    std::map<qsizetype, Page> m_pages;
    std::deque<Face> m_faces;  // stays where it is as faces are added
    std::vector<Font> m_fonts;
};

}  // namespace zelvane::PDFCodec
