#pragma once

#include "CodecError.h"
#include "VectorController.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace zelvane::testing {

// Creates the offscreen QGuiApplication that text measuring and PDF writing
// need, once per process. False when another kind of application exists.
bool ensureControllerGuiApplication();

// Panels, the file manager and the settings, all kept in memory or in a
// temporary folder.
class FakeControllerEnvironment : public ControllerEnvironment {
public:
    explicit FakeControllerEnvironment(QString path) : settingsPath(std::move(path)) {}

    std::optional<QStringList> chooseFiles(const FileChoiceRequest& request) override
    {
        requests.append(request);
        return nextChoice;
    }
    void revealFolder(const QString& path) override { revealed.append(path); }
    std::unique_ptr<QSettings> openSettings() override
    {
        ++settingsOpened;
        return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    }

    QString settingsPath;
    std::optional<QStringList> nextChoice;
    QList<FileChoiceRequest> requests;
    QStringList revealed;
    int settingsOpened = 0;
};

// Counts how often a controller signal fires.
class SignalCounter {
public:
    template <class Signal>
    SignalCounter(VectorController& controller, Signal signal)
    {
        QObject::connect(&controller, signal, [this] { ++count; });
    }
    int count = 0;
};

// Every test gets its own data folder (the libraries), settings file and
// scratch folder, and runs in English unless it says otherwise.
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<VectorController> makeController(bool persistEnabled = false, bool startServices = false);

    QString scratchPath(const QString& name) const { return m_scratch.filePath(name); }
    QString signaturesFolder() const;
    QString stampsFolder() const;
    static void writeFile(const QString& path, const QByteArray& data);
    static QByteArray readFile(const QString& path);

    std::shared_ptr<FakeControllerEnvironment> environment;

private:
    QTemporaryDir m_dataHome;
    QTemporaryDir m_scratch;
    QTemporaryDir m_config;
    std::optional<QByteArray> m_previousDataHome;
    std::unique_ptr<ScopedLanguage> m_language;
};

// A small PNG of the given size.
QByteArray pngImage(int width, int height);

}  // namespace zelvane::testing
