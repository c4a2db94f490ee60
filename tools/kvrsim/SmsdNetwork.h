#pragma once

#include "SimTerminal.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

// The network behind a gammu-smsd gateway, for tests: it watches the gateway's sentitems table,
// hands each message the gateway sent to the terminal it was addressed to, and puts the
// terminal's answers into the inbox table as the gateway would have received them. Numbers in
// refuse are turned down: the gateway's sentitems row for them gets the status Error.
class SmsdNetwork : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString database;           // the gateway's SQLite file, or a postgresql:// address
        int deliveryDelayMs = 2000; // a terminal's answer reaches the inbox this much later
        QStringList refuse;
    };

    explicit SmsdNetwork(const Options &options, QObject *parent = nullptr);
    ~SmsdNetwork() override;

    void addTerminal(const QString &number, const QByteArray &image);
    bool start(QString &problem);

private:
    void look();
    void deliver(const QString &sender, const QByteArray &userData);
    SimTerminal *terminalFor(const QString &number);

    Options m_options;
    QString m_connection;
    std::vector<std::unique_ptr<SimTerminal>> m_terminals;
    QSet<qint64> m_seen;
    QTimer m_timer;
};
