#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>

// Runs the modem simulator kvrsim for one test and collects its traffic trace.
class SimModem : public QObject
{
    Q_OBJECT
public:
    explicit SimModem(QObject *parent = nullptr);
    ~SimModem() override;

    static QString programPath();

    // Starts kvrsim with the options (plus --trace); false when it does not come up.
    bool start(const QStringList &options = {});
    QString path() const { return m_path; }

    // An operator command on the simulator's standard input ("ring", "hangup", ...).
    void command(const QByteArray &line);

    // Bytes the simulator received from the program so far, and the bytes it sent.
    QByteArray received();
    QByteArray sent();
    // Trace lines beginning with "#" (mode changes).
    QStringList events();

signals:
    // A trace line beginning with "#", as it arrives (the far end's reports among them).
    void eventArrived(const QString &line);

private:
    void collect();

    QProcess m_process;
    QString m_path;
    QByteArray m_pending;
    QByteArray m_received;
    QByteArray m_sent;
    QStringList m_events;
};
