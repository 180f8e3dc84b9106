#pragma once

#include "support/LanguageFixture.h"
#include "support/TestWidgetApplication.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelvane::testing {

// A widget test in English, with its own settings folder so that tests
// running side by side never share a settings file.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureTestWidgetApplication());
        ASSERT_TRUE(settingsFolder.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    }

    QString settingsFile() const { return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zelvane"), QStringLiteral("Zelvane")).fileName(); }

    QTemporaryDir settingsFolder;
    ScopedLanguage language{AppLanguage::en};
};

}  // namespace zelvane::testing
