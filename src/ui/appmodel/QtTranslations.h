#pragma once

#include <QString>

namespace zelvane {

// Qt's own texts (file dialogs, message-box buttons, key names such as
// "Maj" and "Suppr") in the interface language: loads Qt's translations for
// "fr", drops them for "en". A later call replaces what an earlier one
// loaded. Needs the application object; without one it does nothing.
namespace QtTranslations {
// True when texts for the language are in place (always for "en").
bool apply(const QString& languageCode);
}  // namespace QtTranslations

}  // namespace zelvane
