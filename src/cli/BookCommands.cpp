#include "cli/BookCommands.h"

#include "cli/CliOptions.h"
#include "cli/LinkSession.h"
#include "core/app/AddressBook.h"
#include "core/app/AppState.h"

#include <QMap>

namespace {

int usage(QTextStream &err, const QString &problem)
{
    err << "kvrsetup-cli: " << problem << "\n"
        << "usage: kvrsetup-cli book list | add NAME PHONE | edit ID NAME PHONE | delete ID\n";
    return 2;
}

int failed(QTextStream &err, AddressBook::Result result, const QString &errorText, const QString &id)
{
    switch (result) {
    case AddressBook::Result::Done:
        return 0;
    case AddressBook::Result::Full:
        err << "Достигнуто максимальное количество записей\n";
        break;
    case AddressBook::Result::NotFound:
        err << "kvrsetup-cli: no record with Id " << id << "\n";
        break;
    case AddressBook::Result::Failed:
        err << "kvrsetup-cli: database error: " << errorText << "\n";
        break;
    }
    return 1;
}

} // namespace

int runBookCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const CliOptions o = parseOptions(args, {});
    if (!o.problem.isEmpty() || o.service)
        return usage(err, o.problem.isEmpty() ? QStringLiteral("unknown option --service") : o.problem);
    const QStringList &p = o.positional;
    const QString action = p.value(0);
    const QMap<QString, int> arity = {{QStringLiteral("list"), 1}, {QStringLiteral("add"), 3},
                                      {QStringLiteral("edit"), 4}, {QStringLiteral("delete"), 2}};
    if (!arity.contains(action) || p.size() != arity.value(action))
        return usage(err, QStringLiteral("book needs list, add NAME PHONE, edit ID NAME PHONE or delete ID"));
    bool idOk = true;
    const qint64 id = p.size() > 1 && (action == QLatin1String("edit") || action == QLatin1String("delete"))
                          ? p[1].toLongLong(&idOk)
                          : 0;
    if (!idOk)
        return usage(err, QStringLiteral("not an Id: ") + p[1]);

    const AppState state;
    Database db;
    QString error;
    if (!db.open(state.appPath(QStringLiteral("Data.db")), error)) {
        err << "Ошибка открытия базы " << error << "\n";
        return 1;
    }
    AddressBook book(db);
    if (action == QLatin1String("list")) {
        for (const Database::Record &r : book.records())
            out << r.Id << "\t" << escapedControls(r.Name) << "\t" << escapedControls(r.PhoneNumber) << "\n";
        return 0;
    }
    if (action == QLatin1String("add") || action == QLatin1String("edit")) {
        const QString why = AddressBook::refusal(p[p.size() - 2], p[p.size() - 1]);
        if (!why.isEmpty()) {
            err << "kvrsetup-cli: " << why << "\n";
            return 1;
        }
    }
    if (action == QLatin1String("add")) {
        qint64 newId = 0;
        const AddressBook::Result r = book.add(p[1].trimmed(), p[2].trimmed(), error, &newId);
        if (r == AddressBook::Result::Done)
            out << newId << "\n";
        return failed(err, r, error, QString());
    }
    if (action == QLatin1String("edit"))
        return failed(err, book.editId(id, p[2].trimmed(), p[3].trimmed(), error), error, p[1]);
    return failed(err, book.remove(id, error), error, p[1]);
}
