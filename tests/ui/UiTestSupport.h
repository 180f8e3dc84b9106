#pragma once

#include "support/LanguageFixture.h"
#include "support/TestWidgetApplication.h"

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/QtTranslations.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "window/MainWindow.h"

#include <QSettings>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelvane::testing {

// Opens through the model and waits until the open has ended.
inline bool openAndWait(AppModel& model, const QUrl& url)
{
    bool ended = false;
    model.open(url, [&ended] { ended = true; });
    return QTest::qWaitFor([&ended] { return ended; }, 30000);
}

// A widget test in English, with its own settings folder so that tests
// running side by side never share a settings file.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureTestWidgetApplication());
        ASSERT_TRUE(settingsFolder.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
        // Qt's own texts in English too, whatever a test before left.
        QtTranslations::apply(QStringLiteral("en"));
    }

    QString settingsFile() const
    {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zelvane"),
                         QStringLiteral("Zelvane"))
            .fileName();
    }

    QTemporaryDir settingsFolder;
    ScopedLanguage language{AppLanguage::en};
};

// A shown main window on a model without services or persistence.
class WindowTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = std::make_unique<AppModel>(false, false);
        window = std::make_unique<MainWindow>(*model);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override
    {
        window.reset();
        model.reset();
        // A backdrop still rendering on the canvas's worker must not outlive
        // the test: the process may be ending.
        VectorSceneRenderCache::shared().waitForBackdropWorker();
    }

    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
};

// The main window active with its keyboard shortcuts, driven with real key
// events sent to the window (so they reach whatever has the focus).
class KeyboardWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        model->installKeyboardShortcutMonitor();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    VectorController& controller() { return model->controller(); }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
};

}  // namespace zelvane::testing
