#include "gui/app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace QtTranslations {

namespace {

// Qt's catalogue with the few texts its Russian edition lacks (the file dialogs' "Folder").
class CatalogueWithGaps : public QTranslator
{
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *disambiguation, int n) const override
    {
        QString text = QTranslator::translate(context, sourceText, disambiguation, n);
        if (!text.isEmpty() || !language().startsWith(QLatin1String("ru")))
            return text;
        struct Gap
        {
            const char *context;
            const char *source;
            const char *text;
        };
        static const Gap gaps[] = {
            {"QAbstractFileIconProvider", "Folder", "Папка"},
            {"QAbstractFileIconProvider", "File Folder", "Папка"},
            {"QAbstractFileIconProvider", "Drive", "Диск"},
            {"QAbstractFileIconProvider", "File", "Файл"},
            {"QAbstractFileIconProvider", "%1 File", "Файл %1"},
        };
        for (const Gap &gap : gaps) {
            if (qstrcmp(context, gap.context) == 0 && qstrcmp(sourceText, gap.source) == 0)
                return QString::fromUtf8(gap.text);
        }
        return text;
    }
};

} // namespace

QTranslator *install(QCoreApplication &app, const QLocale &locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new CatalogueWithGaps(&app);
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
