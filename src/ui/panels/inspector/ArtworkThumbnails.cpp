#include "panels/inspector/ArtworkThumbnails.h"

#include "ThreadHandOver.h"
#include "canvas/render/PictureBudget.h"
#include "render/ArtworkRenderer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QMetaObject>

namespace zelvane {

ArtworkThumbnails::ArtworkThumbnails(QObject* parent)
    : QObject(parent), m_images(kBudgetBytes, &PictureBudget::shared())
{
    m_pool.setMaxThreadCount(2);
}

ArtworkThumbnails::~ArtworkThumbnails()
{
    m_pool.waitForDone();
}

ArtworkThumbnails& ArtworkThumbnails::shared()
{
    static ArtworkThumbnails* thumbnails = new ArtworkThumbnails(QCoreApplication::instance());
    return *thumbnails;
}

ArtworkThumbnails::Lookup ArtworkThumbnails::lookup(const QByteArray& data, const std::optional<QString>& ext,
                                                    bool removeWhiteBackground)
{
    if (data.isEmpty())
        return {State::failed, {}};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(data);
    QByteArray key = hash.result();
    key.append(removeWhiteBackground ? '1' : '0');
    key.append(ext.value_or(QString()).toLower().toUtf8());

    if (const ImageLRUEntry* found = m_images.find(key))
        return {State::ready, found->image};
    if (m_failed.contains(key))
        return {State::failed, {}};
    if (!m_pending.contains(key)) {
        m_pending.insert(key);
        // The destructor waits for the pool, and a queued call to a
        // destroyed object is dropped.
        m_pool.start(handedOver([this, key, data, ext, removeWhiteBackground] {
            const QImage image = ArtworkRenderer::renderImage(data, ext, kTargetDimension, removeWhiteBackground);
            QMetaObject::invokeMethod(this, handedOver([this, key, image] { deliver(key, image); }),
                                      Qt::QueuedConnection);
        }));
    }
    return {State::pending, {}};
}

void ArtworkThumbnails::deliver(const QByteArray& key, const QImage& image)
{
    m_pending.remove(key);
    if (image.isNull()) {
        m_failed.insert(key);
    } else {
        ImageLRUEntry entry;
        entry.image = image;
        m_images.insert(key, std::move(entry));
    }
    emit ready();
}

void ArtworkThumbnails::waitForIdle()
{
    m_pool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}

}  // namespace zelvane
