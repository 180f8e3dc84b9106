#include "appmodel/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace zelvane {

bool QtTranslations::apply(const QString& languageCode)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return false;
    // One translator for the application's life, owned by it.
    static QPointer<QTranslator> installed;
    static QString installedCode;
    if (installed && installedCode == languageCode)
        return true;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installedCode.clear();
    }
    // Qt's texts are written in English: nothing to load for it.
    if (languageCode == QLatin1String("en"))
        return true;
    auto* translator = new QTranslator(application);
    // "qt_fr" gathers the modules' catalogues (qtbase_fr and the others).
    if (!translator->load(QLocale(languageCode), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    installedCode = languageCode;
    return true;
}

}  // namespace zelvane
