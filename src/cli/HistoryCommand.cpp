#include "cli/HistoryCommand.h"
#include "cli/HistoryBook.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/LinkSession.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

int runHistory(const CliOptions &o, CliContext &c)
{
    OperationHistory::Filter filter;
    filter.terminal = o.value(QStringLiteral("--terminal"));
    filter.number = o.value(QStringLiteral("--phone"));
    if (!filter.terminal.isEmpty() && !filter.number.isEmpty())
        return c.badUsage(CliText::tr("--terminal или --phone, не оба"));
    if (o.has(QStringLiteral("--since"))) {
        filter.since = QDate::fromString(o.value(QStringLiteral("--since")), Qt::ISODate);
        if (!filter.since.isValid())
            return c.badUsage(CliText::tr("недопустимое значение %1: %2").arg(QStringLiteral("--since"),
                                                                             shown(o.value(QStringLiteral("--since")))));
    }
    filter.failedOnly = o.flag(QStringLiteral("--failed"));

    const AppState state;
    Database db;
    QString error;
    if (!HistoryBook::open(state, db, error))
        return failWith(CliText::tr("ошибка базы данных: %1").arg(error));
    // An unreadable history is no empty one.
    QString unreadable;
    const QList<OperationHistory::Entry> entries = OperationHistory(db).entries(filter, &unreadable);
    if (!unreadable.isEmpty())
        return failWith(CliText::tr("история операций не читается: %1").arg(unreadable));
    if (o.flag(QStringLiteral("--json"))) {
        QJsonArray rows;
        for (const OperationHistory::Entry &e : entries)
            rows.append(QJsonObject{{QStringLiteral("time"), e.time.toString(Qt::ISODate)},
                                    {QStringLiteral("operation"), OperationHistory::shownOperation(e)},
                                    {QStringLiteral("terminal"), e.terminal},
                                    {QStringLiteral("number"), e.number},
                                    {QStringLiteral("port"), e.port},
                                    {QStringLiteral("result"), OperationHistory::resultText(e.result)},
                                    {QStringLiteral("detail"), e.detail}});
        c.out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
        return 0;
    }
    c.out << "time | operation | terminal | number | port | result | detail\n";
    for (const OperationHistory::Entry &e : entries) {
        const QStringList fields{e.time.toString(Qt::ISODate), OperationHistory::shownOperation(e), e.terminal,
                                 e.number, e.port, OperationHistory::resultText(e.result), e.detail};
        QStringList shownFields;
        for (const QString &field : fields)
            shownFields << shown(field);
        c.out << shownFields.join(QStringLiteral(" | ")) << "\n";
    }
    return 0;
}
