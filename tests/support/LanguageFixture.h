#pragma once

#include "Localization.h"

#include <memory>

namespace zelvane::testing {

// Language sources that read nothing from the machine and write nothing back.
class FakeLanguageSources : public LanguageSources {
public:
    std::optional<QString> osselLang;
    QStringList commandLine{QStringLiteral("zelvane")};
    QStringList preferred;
    std::optional<QString> stored;
    QStringList writes;

    std::optional<QString> environmentVariable(const char* name) const override
    {
        return QLatin1String(name) == QLatin1String("OSSEL_LANG") ? osselLang : std::nullopt;
    }
    QStringList arguments() const override { return commandLine; }
    QStringList preferredLanguages() const override { return preferred; }
    std::optional<QString> storedChoice() const override { return stored; }
    void storeChoice(const QString& raw) override
    {
        stored = raw;
        writes.append(raw);
    }
};

// Runs a test in a fixed language and leaves fresh fake sources behind.
class ScopedLanguage {
public:
    explicit ScopedLanguage(AppLanguage language)
    {
        Localization::installSources(std::make_shared<FakeLanguageSources>());
        Localization::setCurrent(language);
    }
    ~ScopedLanguage() { Localization::installSources(std::make_shared<FakeLanguageSources>()); }
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;
};

}  // namespace zelvane::testing
