#pragma once

#include "EnumCases.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

namespace zelvane {

// The user's language choice.
enum class AppLanguage { system, fr, en };

template <>
struct EnumCases<AppLanguage> {
    static constexpr std::array all{AppLanguage::system, AppLanguage::fr, AppLanguage::en};
};

QString rawValue(AppLanguage language);
QString label(AppLanguage language);
// "fr" or "en"; the system choice asks OSSEL_LANG, then "--lang", then the
// first preferred language of the user, and falls back to French.
QString resolvedCode(AppLanguage language);
bool isEnglish(AppLanguage language);
QLocale locale(AppLanguage language);

// Where the language is looked up. The default reads the process environment,
// the command line, the locale settings and the user settings; tests install
// their own.
class LanguageSources {
public:
    virtual ~LanguageSources() = default;
    virtual std::optional<QString> environmentVariable(const char* name) const;
    virtual QStringList arguments() const;
    virtual QStringList preferredLanguages() const;
    virtual std::optional<QString> storedChoice() const;
    virtual void storeChoice(const QString& rawValue);
};

// The process-wide language, safe to read and write from any thread.
namespace Localization {
AppLanguage current();
void setCurrent(AppLanguage language);
bool isEnglish();
// Replaces the sources and forgets the current value, which is then read
// again from the new sources on next use.
void installSources(std::shared_ptr<LanguageSources> sources);
}  // namespace Localization

// The French or the English text, by the current language (English only when
// it resolves to "en").
QString L(const QString& fr, const QString& en);
inline QString L(const char* fr, const char* en) { return L(QString::fromUtf8(fr), QString::fromUtf8(en)); }

}  // namespace zelvane
