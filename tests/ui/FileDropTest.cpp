#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/CanvasArea.h"
#include "core/support/TestPDF.h"
#include "theme/Theme.h"
#include "window/ContentView.h"
#include "window/MainWindow.h"

#include <QDragEnterEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>

using namespace zelvane;

namespace {

class FileDropTest : public zelvane::testing::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(files.isValid());
    }

    CanvasArea* canvas() const { return window->content()->canvasArea(); }

    QString pdf(const QString& name) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(zelvane::testing::makeFilledTestPDF(200, 100));
        return path;
    }

    static std::unique_ptr<QMimeData> urls(const QList<QUrl>& list)
    {
        auto data = std::make_unique<QMimeData>();
        data->setUrls(list);
        return data;
    }

    bool enter(const QMimeData* data) const
    {
        QDragEnterEvent event(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas(), &event);
        return event.isAccepted();
    }

    // A drop as the platform delivers it: the drag enters first, and only a
    // widget that accepted the entry receives the drop.
    bool drop(const QMimeData* data) const
    {
        if (!enter(data))
            return false;
        QDropEvent event(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(canvas(), &event);
        return event.isAccepted();
    }

    // Whether the accent outline shows along the left edge, 12 points in
    // (and nowhere nearer the edge).
    bool outlineShown() const
    {
        const QImage image = canvas()->grab().toImage();
        int onOutline = 0;
        int outside = 0;
        for (int y = 30; y < image.height() - 30; ++y) {
            onOutline += image.pixelColor(13, y) == Theme::accent() ? 1 : 0;
            outside += image.pixelColor(6, y) == Theme::accent() ? 1 : 0;
        }
        return onOutline > (image.height() - 60) / 3 && outside == 0;
    }

    QTemporaryDir files;
};

}  // namespace

TEST_F(FileDropTest, HoveringAFileShowsTheOutlineAndLeavingRemovesIt)
{
    EXPECT_FALSE(outlineShown());
    const auto data = urls({QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))});
    EXPECT_TRUE(enter(data.get()));
    EXPECT_TRUE(canvas()->dropTargeted());
    EXPECT_TRUE(outlineShown());
    QDragLeaveEvent leave;
    QApplication::sendEvent(canvas(), &leave);
    EXPECT_FALSE(canvas()->dropTargeted());
    EXPECT_FALSE(outlineShown());
}

TEST_F(FileDropTest, DroppedFilesOpenInOrderAndTheLastStays)
{
    const QString first = pdf(QStringLiteral("first.pdf"));
    const QString second = pdf(QStringLiteral("second.pdf"));
    const auto data = urls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    EXPECT_TRUE(drop(data.get()));
    EXPECT_FALSE(canvas()->dropTargeted());
    ASSERT_TRUE(QTest::qWaitFor([this] { return model->controller().document().title == QLatin1String("second"); }));
    ASSERT_EQ(model->recentURLs().size(), 2);
    EXPECT_EQ(model->recentURLs()[0].toLocalFile(), second);
    EXPECT_EQ(model->recentURLs()[1].toLocalFile(), first);
}

TEST_F(FileDropTest, OnlyLocalFilesAreTaken)
{
    const auto remote = urls({QUrl(QStringLiteral("https://example.com/a.pdf"))});
    EXPECT_FALSE(enter(remote.get()));
    EXPECT_FALSE(canvas()->dropTargeted());
    EXPECT_FALSE(drop(remote.get()));

    auto text = std::make_unique<QMimeData>();
    text->setText(QStringLiteral("/tmp/a.pdf"));
    EXPECT_FALSE(enter(text.get()));
    EXPECT_FALSE(drop(text.get()));

    // A mixed drop opens the local file and ignores the rest.
    const QString local = pdf(QStringLiteral("local.pdf"));
    const auto mixed = urls({QUrl(QStringLiteral("https://example.com/b.pdf")), QUrl::fromLocalFile(local)});
    EXPECT_TRUE(drop(mixed.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return model->controller().document().title == QLatin1String("local"); }));
    EXPECT_FALSE(model->alert());
}

TEST_F(FileDropTest, ADroppedFolderOrBrokenFileRaisesTheAlertAndKeepsTheDocument)
{
    model->controller().addTextBlock(QStringLiteral("kept"));
    model->setUnsavedChangesQuestion([](const QString&) { return UnsavedChangesAnswer::discard; });
    const VectorDocument before = model->controller().document();
    const auto folder = urls({QUrl::fromLocalFile(files.path())});
    EXPECT_TRUE(drop(folder.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return model->alert().has_value(); }));
    EXPECT_EQ(model->alert()->title, QStringLiteral("Could not open file"));
    EXPECT_EQ(model->controller().document(), before);
}

TEST_F(FileDropTest, DroppingOnAnEditedDocumentAsksFirst)
{
    model->controller().addTextBlock(QStringLiteral("draft"));
    int asked = 0;
    model->setUnsavedChangesQuestion([&asked](const QString&) {
        ++asked;
        return UnsavedChangesAnswer::cancel;
    });
    const VectorDocument edited = model->controller().document();
    const auto data = urls({QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))});
    EXPECT_TRUE(drop(data.get()));
    ASSERT_TRUE(QTest::qWaitFor([&asked] { return asked == 1; }));
    EXPECT_EQ(model->controller().document(), edited);
}
