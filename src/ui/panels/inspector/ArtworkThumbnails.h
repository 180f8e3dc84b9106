#pragma once

#include "canvas/render/ImageLRU.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <optional>

namespace zelvane {

// Small decoded pictures of signature and stamp artwork for the library
// rows. Entries are keyed by a hash of the whole content (with the
// extension and the white-background flag), so equal files share one entry
// and a changed file never shows a stale picture. A miss is decoded on a
// worker thread; until it is done the caller draws its fallback, and
// ready() tells the views to paint again. Main thread only, apart from the
// decoding itself.
class ArtworkThumbnails : public QObject {
    Q_OBJECT

public:
    // The longer side, in pixels, that artwork is decoded to.
    static constexpr int kTargetDimension = 192;
    // Within the budget the window's picture caches share.
    static constexpr qint64 kBudgetBytes = 32LL * 1024 * 1024;

    explicit ArtworkThumbnails(QObject* parent = nullptr);
    ~ArtworkThumbnails() override;

    // The process-wide store of the panels.
    static ArtworkThumbnails& shared();

    enum class State { pending, ready, failed };
    struct Lookup {
        State state = State::pending;
        QImage image;
    };
    // The picture for these bytes: ready with the image, failed for bytes
    // that cannot be decoded (and for no bytes), or pending while decoding
    // (which this call starts on a miss).
    Lookup lookup(const QByteArray& data, const std::optional<QString>& ext, bool removeWhiteBackground);

    // Waits until every decoding started so far has been delivered (tests).
    void waitForIdle();

signals:
    void ready();

private:
    void deliver(const QByteArray& key, const QImage& image);

    ImageLRU m_images;
    QSet<QByteArray> m_failed;
    QSet<QByteArray> m_pending;
    QThreadPool m_pool;
};

}  // namespace zelvane
