#pragma once

#include <QString>

#include <optional>

// Where a gammu-smsd gateway keeps its messages, read from the [smsd] section of its
// configuration file: an SQLite file (driver sqlite3 or native_sqlite3, dbdir + database) or a
// PostgreSQL database (native_pgsql or pgsql, host[:port], user, password, database). The
// [tables] section may rename gammu's tables.
struct SmsdConfig
{
    enum class Driver { Sqlite, Postgres };
    // The names the gateway's tables have in this database: gammu's own unless renamed.
    struct Tables
    {
        QString inbox = QStringLiteral("inbox");
        QString outbox = QStringLiteral("outbox");
        QString sentitems = QStringLiteral("sentitems");
        QString phones = QStringLiteral("phones");
        QString outboxMultipart = QStringLiteral("outbox_multipart");
        QString gammu = QStringLiteral("gammu");
    };

    Driver driver = Driver::Sqlite;
    QString sqliteFile;
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString database;
    Tables tables;
    // The gateway's phoneid: its messages are pinned to that SIM (SenderID); empty: any.
    QString phoneId;
    // How often the gateway writes its phone's row (TimeOut: its time plus 10 s); 0: never.
    int statusFrequency = 60;

    // Relative paths in the file count from the file's folder. Empty with a message when the
    // file cannot be read or names no database this program can open.
    static std::optional<SmsdConfig> read(const QString &path, QString &error);
    // The Qt SQL driver: "QSQLITE" or "QPSQL".
    QString qtDriver() const;
};
