#pragma once

#include <QString>

#include <optional>

// Where a gammu-smsd gateway keeps its messages, read from the [smsd] section of its
// configuration file: an SQLite file (driver sqlite3 or native_sqlite3, dbdir + database) or a
// PostgreSQL database (native_pgsql or pgsql, host[:port], user, password, database).
struct SmsdConfig
{
    enum class Driver { Sqlite, Postgres };

    Driver driver = Driver::Sqlite;
    QString sqliteFile;
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString database;

    // Relative paths in the file count from the file's folder. Empty with a message when the
    // file cannot be read or names no database this program can open.
    static std::optional<SmsdConfig> read(const QString &path, QString &error);
    // The Qt SQL driver: "QSQLITE" or "QPSQL".
    QString qtDriver() const;
};
