#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

// Qt's own texts (the buttons of message boxes, the file dialogs, the context menus of text boxes)
// in the operator's language, like every text of the program itself.
namespace QtTranslations {
// Installs Qt's translation for locale, or the Russian one when Qt has none for it (the "C" locale
// included). Returns the installed translator, owned by app; nullptr when none could be loaded.
QTranslator *install(QCoreApplication &app, const QLocale &locale = QLocale::system());
} // namespace QtTranslations
