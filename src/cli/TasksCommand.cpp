#include "cli/TasksCommand.h"
#include "cli/HistoryBook.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/common/Clock.h"
#include "core/common/FileIo.h"
#include "core/gateway/SmsdConfig.h"
#include "core/gateway/SmsdStore.h"
#include "core/tasks/TaskBook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {

const QString kSmsd = QStringLiteral("--smsd");

// Data.db of the application folder, or the gateway's database named by its configuration.
struct TaskDatabase
{
    Database dataDb;
    SmsdStore gateway;
    std::unique_ptr<TaskBook> book;

    bool open(const QString &smsdConfig, QString &error)
    {
        QString connection;
        if (smsdConfig.isEmpty()) {
            if (!HistoryBook::open(AppState(), dataDb, error))
                return false;
            connection = dataDb.connectionName();
        } else {
            const std::optional<SmsdConfig> config = SmsdConfig::read(smsdConfig, error);
            if (!config || !gateway.open(*config, error))
                return false;
            connection = gateway.connectionName();
        }
        book = std::make_unique<TaskBook>(connection, Clock::system());
        return book->ensureSchema(error);
    }
};

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toString(Qt::ISODate) : QString();
}

QString packetsText(const TaskBook::Entry &e)
{
    QStringList packets;
    for (const TaskBook::Packet &p : e.packets)
        packets << QStringLiteral("0x%1:%2").arg(p.packet, 2, 16, QLatin1Char('0')).arg(TaskBook::packetStateText(p.state));
    return packets.join(QLatin1Char(' '));
}

QJsonObject json(const TaskBook::Entry &e)
{
    QJsonArray packets;
    for (const TaskBook::Packet &p : e.packets)
        packets.append(QJsonObject{{QStringLiteral("packet"), p.packet},
                                   {QStringLiteral("state"), TaskBook::packetStateText(p.state)},
                                   {QStringLiteral("gateway_ids"), QJsonArray::fromStringList(p.gatewayIds)}});
    const auto time = [](const QDateTime &t) { return t.isValid() ? QJsonValue(t.toString(Qt::ISODate)) : QJsonValue(); };
    return {{QStringLiteral("id"), e.id},
            {QStringLiteral("operation"), e.operationWord},
            {QStringLiteral("terminal"), e.terminal},
            {QStringLiteral("number"), e.number},
            {QStringLiteral("file"), e.fileName},
            {QStringLiteral("sha256"), e.fileSha256},
            {QStringLiteral("workstation"), e.workstation},
            {QStringLiteral("user"), e.userName},
            {QStringLiteral("created"), time(e.created)},
            {QStringLiteral("sent"), time(e.sent)},
            {QStringLiteral("confirmed"), time(e.confirmed)},
            {QStringLiteral("status"), TaskBook::statusText(e.status)},
            {QStringLiteral("detail"), e.detail},
            {QStringLiteral("packets"), packets}};
}

int list(TaskBook &book, const CliOptions &o, CliContext &c)
{
    TaskBook::Filter filter;
    filter.open = o.flag(QStringLiteral("--open"));
    filter.failed = o.flag(QStringLiteral("--failed"));
    filter.terminal = o.value(QStringLiteral("--terminal"));
    QString error;
    const std::optional<QList<TaskBook::Entry>> tasks = book.list(filter, error);
    if (!tasks)
        return failWith(CliText::tr("задания не читаются: %1").arg(error));
    if (o.flag(QStringLiteral("--json"))) {
        QJsonArray rows;
        for (const TaskBook::Entry &e : *tasks)
            rows.append(json(e));
        c.out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
        return 0;
    }
    c.out << "id | created | operation | terminal | number | status | packets | detail\n";
    for (const TaskBook::Entry &e : *tasks) {
        QStringList fields{QString::number(e.id), timeText(e.created), e.operationWord, e.terminal, e.number,
                           TaskBook::statusText(e.status), packetsText(e), e.detail};
        for (QString &field : fields)
            field = shown(field);
        c.out << fields.join(QStringLiteral(" | ")) << "\n";
    }
    return 0;
}

// Each task cancelled, and its messages still in the gateway's outbox taken back.
int cancel(TaskDatabase &db, const QList<qint64> &ids, bool gateway)
{
    int code = 0;
    for (qint64 id : ids) {
        QString why;
        const std::optional<QStringList> takeBack = db.book->cancel(id, why);
        if (!takeBack) {
            printMessage(CliText::tr("задание %1 не отменено: %2").arg(id).arg(why));
            code = 1;
            continue;
        }
        for (const QString &outboxId : *takeBack) {
            if (!gateway || !db.gateway.withdraw(outboxId.toLongLong())) {
                printMessage(CliText::tr("задание %1 отменено, но сообщение %2 шлюз уже взял").arg(id).arg(outboxId));
                code = 1;
            }
        }
    }
    return code;
}

int get(TaskBook &book, qint64 id, const QString &out)
{
    QString error;
    const std::optional<TaskBook::Entry> task = book.get(id, error);
    if (!task)
        return failWith(error.isEmpty() ? CliText::tr("нет задания %1").arg(id)
                                        : CliText::tr("задания не читаются: %1").arg(error));
    if (task->payload.isEmpty())
        return failWith(CliText::tr("у задания %1 нет файла").arg(id));
    if (!FileIo::writeWhole(out, task->payload, error))
        return failWith(error);
    return 0;
}

} // namespace

int runTasks(const CliOptions &o, CliContext &c)
{
    QStringList p = o.positional;
    const QString action = p.isEmpty() ? QString() : p.takeFirst();
    if (!action.isEmpty() && action != QLatin1String("cancel") && action != QLatin1String("get"))
        return c.badUsage(CliText::tr("нужно cancel ID... или get ID --out FILE"));
    if (o.flag(QStringLiteral("--open")) && o.flag(QStringLiteral("--failed")))
        return c.badUsage(CliText::tr("--open или --failed, не оба"));
    if (action.isEmpty() != p.isEmpty() || (action == QLatin1String("get") && (p.size() != 1 || !o.has(QStringLiteral("--out")))))
        return c.badUsage(CliText::tr("нужно cancel ID... или get ID --out FILE"));
    QList<qint64> ids;
    for (const QString &text : std::as_const(p)) {
        bool ok = false;
        ids << text.toLongLong(&ok);
        if (!ok || ids.last() <= 0)
            return c.badUsage(CliText::tr("не Id: %1").arg(shown(text)));
    }

    TaskDatabase db;
    QString error;
    if (!db.open(o.value(kSmsd), error))
        return failWith(CliText::tr("задания не читаются: %1").arg(error));
    if (action == QLatin1String("cancel"))
        return cancel(db, ids, o.has(kSmsd));
    if (action == QLatin1String("get"))
        return get(*db.book, ids.first(), o.value(QStringLiteral("--out")));
    return list(*db.book, o, c);
}
