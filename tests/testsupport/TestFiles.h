#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QStringList>

// File and process helpers shared by the test programs.

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ProgramRun
{
    int code = -1; // -1: did not finish, -2: crashed
    QString out;
    QString err;
};

// Runs a program to its end and collects its UTF-8 output; home, when given, is its
// application folder (KVRSETUP_HOME).
inline ProgramRun runProgram(const QString &program, const QStringList &args, const QString &home = QString(),
                             int limitMs = 30000)
{
    QProcess p;
    if (!home.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KVRSETUP_HOME"), home);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(limitMs))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

#ifdef KVR_BIN_DIR
// The command-line tool of this build.
inline ProgramRun runCli(const QStringList &args, const QString &home = QString(), int limitMs = 30000)
{
    return runProgram(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"), args, home, limitMs);
}

// "kvrsetup-cli tasks --json" with more options, in home; empty when the command failed.
inline QJsonArray tasksJson(const QString &home, const QStringList &more = {})
{
    const ProgramRun r = runCli(QStringList{QStringLiteral("tasks"), QStringLiteral("--json")} + more, home);
    return r.code == 0 ? QJsonDocument::fromJson(r.out.toUtf8()).array() : QJsonArray();
}
#endif
