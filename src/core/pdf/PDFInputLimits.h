#pragma once

#include <QString>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <map>
#include <set>
#include <stdexcept>

namespace zelvane {

// Bounds on the work one PDF page may ask of the renderer and the text
// reader, so that a small file that inflates to gigabytes fails at once with
// a clear error instead of running for minutes:
// - the page's content, decoded: its content streams, and the streams of the
//   forms and tiling patterns it uses, each counted once per page;
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
    void addStream(QPDFObjectHandle stream, PageWork& work);
    void addResources(QPDFObjectHandle resources, PageWork& work, int depth);
    qint64 decodedSize(QPDFObjectHandle stream, qint64 budget);

    std::map<QPDFObjGen, qint64> m_decoded;
    qint64 m_documentContent = 0;
};

}  // namespace zelvane
