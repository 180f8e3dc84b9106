#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/SinglePageCanvas.h"
#include "operations/VectorOperations.h"
#include "window/ContentView.h"
#include "window/FramePacer.h"
#include "window/MainWindow.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace zelvane;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class WindowRepaintTest : public zelvane::testing::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        canvas = window->findChild<SinglePageCanvas*>();
        ASSERT_NE(canvas, nullptr);
        ASSERT_TRUE(canvas->isVisible());
        text = VectorOperations::makeTextElement(QStringLiteral("Ligne"), {40, 40}, 11, QStringLiteral("#111317"),
                                                 false);
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page"), 595.28, 841.89,
                                           QStringLiteral("#FFFFFF"));
        page.elements.append(text);
        model->controller().setDocument(VectorDocument::make(QUuid::createUuid(), QStringLiteral("Doc"),
                                                             DocumentSourceFormat::svg, std::nullopt, {page}, 1));
        settle();
    }

    // Waits until the panels rest, nothing is held back and the window has
    // painted what the set-up changed.
    void settle()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->content()->isAnimating(); }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->framePacer().isHolding(); }, 5000));
        QApplication::processEvents();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->framePacer().isHolding(); }, 5000));
    }

    void editText(int i)
    {
        model->controller().replaceMatchedText(0, QStringLiteral("Ligne"), QStringLiteral("Ligne %1").arg(i),
                                               QStringLiteral("edit"));
    }

    QString shownText() const
    {
        for (const VectorElement& element : model->controller().currentPage().elements) {
            if (element.id == text.id)
                return element.text()->text;
        }
        return {};
    }

    SinglePageCanvas* canvas = nullptr;
    VectorElement text;
};

}  // namespace

TEST_F(WindowRepaintTest, ManyEditsInOneTurnRepaintTheCanvasOnce)
{
    PaintCounter paints(canvas);
    for (int i = 0; i < 50; ++i)
        editText(i);
    EXPECT_EQ(paints.count, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints.count > 0; }, 5000));
    settle();
    EXPECT_EQ(paints.count, 1);
    EXPECT_EQ(shownText(), QStringLiteral("Ligne 49"));
}

TEST_F(WindowRepaintTest, EditsSpreadOverManyTurnsRepaintAtMostOncePerFrame)
{
    PaintCounter paints(canvas);
    const int interval = window->framePacer().frameInterval();
    ASSERT_GE(interval, 4);
    // Each edit comes in a turn of its own, as remote commands do.
    constexpr int kEdits = 200;
    int done = 0;
    QElapsedTimer clock;
    clock.start();
    std::function<void()> next = [&] {
        editText(done++);
        if (done < kEdits)
            QTimer::singleShot(0, next);
    };
    QTimer::singleShot(0, next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done == kEdits; }, 60000));
    const qint64 elapsed = clock.elapsed();
    settle();
    EXPECT_GE(paints.count, 1);
    EXPECT_LE(paints.count, elapsed / interval + 2) << "over " << elapsed << " ms";
    // The last frame shows the last edit.
    EXPECT_EQ(shownText(), QStringLiteral("Ligne %1").arg(kEdits - 1));
}
