#include "Localization.h"

#include "ProcessArguments.h"
#include "Settings.h"

#include <QCoreApplication>
#include <mutex>

namespace zelvane {

namespace {

std::optional<QString> codeFromPrefix(const QString& value)
{
    const QString lowered = value.toLower();
    if (lowered.startsWith(QLatin1String("en"))) {
        return QStringLiteral("en");
    }
    if (lowered.startsWith(QLatin1String("fr"))) {
        return QStringLiteral("fr");
    }
    return std::nullopt;
}

// The argument after the first "--lang", when there is one.
std::optional<QString> langArgument(const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--lang"));
    if (at < 0 || at + 1 >= arguments.size()) {
        return std::nullopt;
    }
    return arguments.at(at + 1);
}

struct State {
    std::mutex lock;
    std::optional<AppLanguage> current;
    std::shared_ptr<LanguageSources> sources = std::make_shared<LanguageSources>();
};

State& state()
{
    static State instance;
    return instance;
}

std::shared_ptr<LanguageSources> currentSources()
{
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.sources;
}

QString resolve(AppLanguage language, const LanguageSources& sources)
{
    switch (language) {
    case AppLanguage::fr: return QStringLiteral("fr");
    case AppLanguage::en: return QStringLiteral("en");
    case AppLanguage::system: break;
    }
    if (const auto value = sources.environmentVariable("OSSEL_LANG")) {
        if (auto code = codeFromPrefix(*value)) {
            return *code;
        }
    }
    if (const auto value = langArgument(sources.arguments())) {
        if (auto code = codeFromPrefix(*value)) {
            return *code;
        }
    }
    const QStringList preferred = sources.preferredLanguages();
    const QString first = preferred.isEmpty() ? QStringLiteral("fr") : preferred.first().toLower();
    return first.startsWith(QLatin1String("en")) ? QStringLiteral("en") : QStringLiteral("fr");
}

AppLanguage initialLanguage(const LanguageSources& sources)
{
    if (const auto value = langArgument(sources.arguments())) {
        if (const auto code = codeFromPrefix(*value)) {
            return *code == QLatin1String("en") ? AppLanguage::en : AppLanguage::fr;
        }
    }
    const auto stored = sources.storedChoice();
    if (stored == QLatin1String("en")) {
        return AppLanguage::en;
    }
    if (stored == QLatin1String("fr")) {
        return AppLanguage::fr;
    }
    return AppLanguage::system;
}

}  // namespace

QString rawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system: return QStringLiteral("system");
    case AppLanguage::fr: return QStringLiteral("fr");
    case AppLanguage::en: return QStringLiteral("en");
    }
    return {};
}

QString label(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system: return L("Système", "System");
    case AppLanguage::fr: return QStringLiteral("Français");
    case AppLanguage::en: return QStringLiteral("English");
    }
    return {};
}

QString resolvedCode(AppLanguage language)
{
    return resolve(language, *currentSources());
}

bool isEnglish(AppLanguage language)
{
    return resolvedCode(language) == QLatin1String("en");
}

QLocale locale(AppLanguage language)
{
    return QLocale(resolvedCode(language));
}

std::optional<QString> LanguageSources::environmentVariable(const char* name) const
{
    if (!qEnvironmentVariableIsSet(name)) {
        return std::nullopt;
    }
    return qEnvironmentVariable(name);
}

QStringList LanguageSources::arguments() const
{
    // Asked at every text lookup while the choice is "system": read once.
    static const QStringList arguments = processArguments();
    return arguments;
}

QStringList LanguageSources::preferredLanguages() const
{
    static const QStringList languages = QLocale::system().uiLanguages();
    return languages;
}

std::optional<QString> LanguageSources::storedChoice() const
{
    const QVariant value = openUserSettings()->value(QLatin1String(kLanguageSettingsKey));
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

void LanguageSources::storeChoice(const QString& raw)
{
    auto settings = openUserSettings();
    settings->setValue(QLatin1String(kLanguageSettingsKey), raw);
    settings->sync();
}

namespace Localization {

AppLanguage current()
{
    State& s = state();
    std::lock_guard guard(s.lock);
    if (!s.current) {
        s.current = initialLanguage(*s.sources);
    }
    return *s.current;
}

void setCurrent(AppLanguage language)
{
    std::shared_ptr<LanguageSources> sources;
    {
        State& s = state();
        std::lock_guard guard(s.lock);
        s.current = language;
        sources = s.sources;
    }
    // Written outside the lock: the user settings take their own.
    sources->storeChoice(rawValue(language));
}

bool isEnglish()
{
    return zelvane::isEnglish(current());
}

void installSources(std::shared_ptr<LanguageSources> sources)
{
    State& s = state();
    std::lock_guard guard(s.lock);
    s.sources = std::move(sources);
    s.current.reset();
}

}  // namespace Localization

QString L(const QString& fr, const QString& en)
{
    return Localization::isEnglish() ? en : fr;
}

}  // namespace zelvane
