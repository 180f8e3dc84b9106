#pragma once

#include "UiTestSupport.h"

#include "ControllerEnvironment.h"
#include "VectorController.h"
#include "core/support/TestImages.h"
#include "panels/inspector/ArtworkThumbnails.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

namespace zelvane::testing {

// File panels answered from the test, a file manager that only notes.
class ScriptedEnvironment : public ControllerEnvironment {
public:
    std::optional<QStringList> chooseFiles(const FileChoiceRequest& request) override
    {
        requests.append(request);
        return nextChoice;
    }
    void revealFolder(const QString& path) override { revealed.append(path); }

    std::optional<QStringList> nextChoice;
    QList<FileChoiceRequest> requests;
    QStringList revealed;
};

// A model on its own library folders (XDG_DATA_HOME) with a scripted
// environment, for tests of the side panels.
class PanelTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(dataHome.isValid());
        previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
        model = std::make_unique<AppModel>(false, false);
        environment = std::make_shared<ScriptedEnvironment>();
        model->controller().setEnvironment(environment);
    }

    void TearDown() override
    {
        // No decoding may outlive the test: the test application is never
        // destroyed, so a worker still running at exit would race the
        // process's teardown.
        ArtworkThumbnails::shared().waitForIdle();
        model.reset();
        qputenv("XDG_DATA_HOME", previousDataHome);
    }

    VectorController& controller() { return model->controller(); }
    qsizetype undoSteps() { return controller().history().undoStack().size(); }

    // Shows a panel at a panel's size and waits until it is on screen.
    static void show(QWidget& panel, const QSize& size)
    {
        panel.resize(size);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    static QByteArray pngBytes(int width, int height, QColor color = Qt::darkBlue)
    {
        return png(filled(width, height, color, QImage::Format_ARGB32));
    }

    static void writeFile(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    QTemporaryDir dataHome;
    QByteArray previousDataHome;
    std::unique_ptr<AppModel> model;
    std::shared_ptr<ScriptedEnvironment> environment;
};

}  // namespace zelvane::testing
