#include "SimModem.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

SimModem::SimModem(QObject *parent) : QObject(parent)
{
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimModem::collect);
}

SimModem::~SimModem()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString SimModem::programPath()
{
    return QStringLiteral(KVRSIM_PATH);
}

bool SimModem::start(const QStringList &options)
{
    m_process.setProgram(programPath());
    m_process.setArguments(QStringList{QStringLiteral("--trace")} + options);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (m_path.isEmpty() && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        collect();
    }
    return !m_path.isEmpty();
}

void SimModem::command(const QByteArray &line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

void SimModem::collect()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(nl);
        m_pending.remove(0, nl + 1);
        if (m_path.isEmpty())
            m_path = QString::fromLocal8Bit(line).trimmed(); // the first line names the device
        else if (line.startsWith("< "))
            m_received += QByteArray::fromHex(line.mid(2));
        else if (line.startsWith("> "))
            m_sent += QByteArray::fromHex(line.mid(2));
        else if (line.startsWith('#')) {
            m_events.append(QString::fromLatin1(line));
            emit eventArrived(m_events.last());
        }
    }
}

QByteArray SimModem::received()
{
    QCoreApplication::processEvents();
    m_process.waitForReadyRead(50);
    collect();
    return m_received;
}

QByteArray SimModem::sent()
{
    received();
    return m_sent;
}

QStringList SimModem::events()
{
    received();
    return m_events;
}
