#include "cli/BookCommands.h"
#include "cli/HistoryBook.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "core/app/AddressBook.h"
#include "core/app/AppState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace {

int failed(AddressBook::Result result, const QString &errorText, const QString &id)
{
    switch (result) {
    case AddressBook::Result::Done:
        return 0;
    case AddressBook::Result::Full:
        printLine(stderr, QStringLiteral("Достигнуто максимальное количество записей"));
        break;
    case AddressBook::Result::NotFound:
        printMessage(CliText::tr("нет записи с Id %1").arg(shown(id)));
        break;
    case AddressBook::Result::Failed:
        printMessage(CliText::tr("ошибка базы данных: %1").arg(errorText));
        break;
    }
    return 1;
}

} // namespace

int runBook(const CliOptions &o, CliContext &c)
{
    QTextStream &out = c.out;
    const QStringList &p = o.positional;
    const QString action = p.value(0);
    const QMap<QString, int> arity = {{QStringLiteral("list"), 1}, {QStringLiteral("add"), 3},
                                      {QStringLiteral("edit"), 4}, {QStringLiteral("delete"), 2}};
    if (!arity.contains(action) || p.size() != arity.value(action))
        return c.badUsage(CliText::tr("нужно list, add NAME PHONE, edit ID NAME PHONE или delete ID"));
    bool idOk = true;
    const qint64 id = p.size() > 1 && (action == QLatin1String("edit") || action == QLatin1String("delete"))
                          ? p[1].toLongLong(&idOk)
                          : 0;
    if (!idOk)
        return c.badUsage(CliText::tr("не Id: %1").arg(shown(p[1])));

    const AppState state;
    Database db;
    QString error;
    if (!HistoryBook::open(state, db, error)) {
        printLine(stderr, QStringLiteral("Ошибка открытия базы ") + error);
        return 1;
    }
    AddressBook book(db);
    if (action == QLatin1String("list") && o.flag(QStringLiteral("--json"))) {
        QJsonArray rows;
        for (const Database::Record &r : book.records())
            rows.append(QJsonObject{{QStringLiteral("id"), r.Id}, {QStringLiteral("name"), r.Name},
                                    {QStringLiteral("number"), r.PhoneNumber}});
        out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
        return 0;
    }
    if (action == QLatin1String("list")) {
        for (const Database::Record &r : book.records())
            out << r.Id << "\t" << shown(r.Name) << "\t" << shown(r.PhoneNumber) << "\n";
        return 0;
    }
    if (action == QLatin1String("add") || action == QLatin1String("edit")) {
        const QString why = AddressBook::refusal(p[p.size() - 2], p[p.size() - 1]);
        if (!why.isEmpty())
            return failWith(why);
    }
    if (action == QLatin1String("add")) {
        qint64 newId = 0;
        const AddressBook::Result r = book.add(p[1].trimmed(), p[2].trimmed(), error, &newId);
        if (r == AddressBook::Result::Done)
            out << newId << "\n";
        return failed(r, error, QString());
    }
    if (action == QLatin1String("edit"))
        return failed(book.editId(id, p[2].trimmed(), p[3].trimmed(), error), error, p[1]);
    return failed(book.remove(id, error), error, p[1]);
}
