#pragma once

#include "core/app/Database.h"

#include <QString>
#include <QVariant>
#include <QStringList>

// Where each terminal's last firmware load stopped, kept in Data.db so that the window and the
// command-line tool share it: the last acknowledged block, with the load's mode and a fingerprint
// of its files. A load continues only on the same number, with the same files and mode. A load
// that completed leaves its files' fingerprint instead, until the next load of the terminal is
// dialled, so that a resumed roll-out can tell a finished terminal from one never started.
class ResumePoints
{
public:
    enum class Mode { Banked, Linear };

    struct Point
    {
        QString number;
        Mode mode = Mode::Banked;
        QString files; // fingerprint(): one line per file
        int bank = 0;
        qint32 address = 0;
    };

    explicit ResumePoints(Database &db) : m_db(db) {}

    // One line per file named: its name, size and SHA-256; empty fields name no file. A file that
    // cannot be read gives a line saying so, which matches nothing.
    static QString fingerprint(const QStringList &paths);

    // False with errorText when the database cannot be written.
    bool store(const Point &point, QString &errorText);
    // False when the number has no point (or the database cannot be read).
    bool find(const QString &number, Point &point) const;
    // False with errorText when the database cannot be written.
    bool remove(const QString &number, QString &errorText);

    // A load of point's files has completed: its point goes, and the files are kept as the
    // terminal's finished load. False with errorText when the database cannot be written.
    bool finish(const Point &point, QString &errorText);
    // A load has been dialled: the terminal no longer holds what finished before.
    bool forgetFinished(const QString &number, QString &errorText);
    // Whether the last load dialled for current's number completed with the same files and
    // mode, and no load has stopped midway since. False when it cannot be told.
    bool finished(const Point &current) const;

    // Empty when stored may be continued with current; else why not, for the operator.
    static QString difference(const Point &stored, const Point &current);

private:
    // One statement with its values; false with the database's error (or a closed database).
    bool write(const QString &sql, const QVariantList &values, QString &errorText);
    Database &m_db;
};
