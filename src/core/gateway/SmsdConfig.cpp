#include "core/gateway/SmsdConfig.h"

#include "core/common/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

// One section's keys (lower case) and values; gammu reads keys without regard to case.
QHash<QString, QString> section(const QByteArray &text, QLatin1String name)
{
    QHash<QString, QString> keys;
    bool inSection = false;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1Char('[') + name + QLatin1Char(']'), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq < 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        keys.insert(line.left(eq).trimmed().toLower(), value);
    }
    return keys;
}

} // namespace

std::optional<SmsdConfig> SmsdConfig::read(const QString &path, QString &error)
{
    // A regular file of a sane size: a FIFO would hang the tool and the window, /dev/zero fill memory.
    constexpr qint64 MaxConfigBytes = 1 << 20;
    QByteArray content;
    QString why;
    if (!FileIo::readRegular(path, content, why, MaxConfigBytes + 1)) {
        error = QStringLiteral("Не открывается файл настроек шлюза ") + path + QStringLiteral(": ") + why;
        return std::nullopt;
    }
    if (content.size() > MaxConfigBytes) {
        error = QStringLiteral("Не открывается файл настроек шлюза ") + path
                + QStringLiteral(": файл больше 1 МБ, это не файл настроек");
        return std::nullopt;
    }
    const QHash<QString, QString> keys = section(content, QLatin1String("smsd"));
    const QString service = keys.value(QStringLiteral("service")).toLower();
    if (service != QLatin1String("sql")) {
        error = QStringLiteral("В файле ") + path
                + QStringLiteral(" шлюз хранит сообщения не в базе данных (service = ") + keys.value(QStringLiteral("service"))
                + QStringLiteral("), нужен service = sql");
        return std::nullopt;
    }
    const QString driver = keys.value(QStringLiteral("driver")).toLower();
    SmsdConfig config;
    // The gateway may keep its messages under other table names; the program follows it.
    const QHash<QString, QString> tables = section(content, QLatin1String("tables"));
    for (QString *name : {&config.tables.inbox, &config.tables.outbox, &config.tables.sentitems, &config.tables.phones,
                          &config.tables.outboxMultipart, &config.tables.gammu}) {
        const QString renamed = tables.value(*name);
        if (!renamed.isEmpty())
            *name = renamed;
    }
    config.database = keys.value(QStringLiteral("database"));
    config.phoneId = keys.value(QStringLiteral("phoneid"));
    if (keys.contains(QStringLiteral("statusfrequency"))) {
        bool ok = false;
        const int seconds = keys.value(QStringLiteral("statusfrequency")).toInt(&ok);
        if (ok && seconds >= 0)
            config.statusFrequency = seconds;
    }
    if (driver == QLatin1String("sqlite3") || driver == QLatin1String("native_sqlite3")) {
        config.driver = Driver::Sqlite;
        const QDir base = QFileInfo(path).absoluteDir();
        const QString dir = keys.value(QStringLiteral("dbdir"));
        const QString folder = dir.isEmpty() ? base.absolutePath() : base.absoluteFilePath(dir);
        config.sqliteFile = config.database.isEmpty() ? QString() : QDir(folder).absoluteFilePath(config.database);
        if (config.sqliteFile.isEmpty()) {
            error = QStringLiteral("В файле ") + path + QStringLiteral(" не задана база данных шлюза (database)");
            return std::nullopt;
        }
        return config;
    }
    if (driver == QLatin1String("native_pgsql") || driver == QLatin1String("pgsql")) {
        config.driver = Driver::Postgres;
        config.host = keys.value(QStringLiteral("host"));
        const qsizetype colon = config.host.lastIndexOf(QLatin1Char(':'));
        if (colon > 0) {
            bool ok = false;
            const int port = config.host.mid(colon + 1).toInt(&ok);
            if (ok) {
                config.port = port;
                config.host.truncate(colon);
            }
        }
        config.user = keys.value(QStringLiteral("user"));
        config.password = keys.value(QStringLiteral("password"));
        if (config.database.isEmpty()) {
            error = QStringLiteral("В файле ") + path + QStringLiteral(" не задана база данных шлюза (database)");
            return std::nullopt;
        }
        return config;
    }
    error = QStringLiteral("Драйвер базы данных шлюза ") + keys.value(QStringLiteral("driver")) + QStringLiteral(" в файле ")
            + path + QStringLiteral(" не поддерживается (нужен sqlite3 или native_pgsql)");
    return std::nullopt;
}

QString SmsdConfig::qtDriver() const
{
    return driver == Driver::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}
