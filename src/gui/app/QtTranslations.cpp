#include "gui/app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslations {

QTranslator *install(QCoreApplication &app, const QLocale &locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(&app);
    const bool own = locale.language() != QLocale::C
                     && translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
    if (!own && !translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                                  QStringLiteral("_"), folder)) {
        delete translator;
        return nullptr;
    }
    app.installTranslator(translator);
    return translator;
}

} // namespace QtTranslations
