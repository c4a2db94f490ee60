#include "core/scenario/TransmitQueue.h"

#include "core/common/HexText.h"
#include "core/scenario/clsScenarioAt.h"

TransmitQueue::TransmitQueue(clsScenarioAt &engine, QObject *parent) : QObject(parent), m_engine(engine)
{
    connect(&engine, &clsScenarioAt::DataSend, this, &TransmitQueue::onSent);
    connect(&engine, &clsScenarioAt::ErrorInCommand, this, [this](const QString &what) {
        if (what == QLatin1String("CMGF"))
            onFailed(QStringLiteral("модем не перешел в режим PDU"));
        else
            onFailed(what == QLatin1String("CMGS") ? QStringLiteral("модем не принял AT+CMGS")
                                                   : QStringLiteral("модем не подтвердил отправку"));
    });
    // A break-in or a halted engine ends the try on its way: the watchdog ran out, the
    // modem's buffer overflowed or the operator broke in.
    connect(&engine, &clsScenarioAt::EventBreak4Phone, this,
            [this] { onFailed(QStringLiteral("модем не ответил")); });
    connect(&engine, &clsScenarioAt::ErrorInSerialCommunicate, this,
            [this] { onFailed(QStringLiteral("модем не ответил")); });
}

QString TransmitQueue::packetText(PacketType packet)
{
    // Written as the poll writes the terminal's confirmations ("Пакет 0x33h загружен ...").
    return QStringLiteral("Пакет 0x") + HexText::byte(quint8(packet)) + QStringLiteral("h");
}

void TransmitQueue::add(const clsQueueForTrans &item)
{
    m_entries.append({item, 0, 0, false});
}

void TransmitQueue::clear()
{
    m_entries.clear();
    m_inFlight = false;
}

void TransmitQueue::dropFor(const QString &phone)
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (m_entries.at(i).item.PhoneNumber != phone)
            continue;
        if (i == 0 && m_inFlight)
            m_entries[0].lastTry = true;
        else
            m_entries.removeAt(i);
    }
}

void TransmitQueue::tick(bool canSend)
{
    if (m_inFlight || m_entries.isEmpty())
        return;
    Entry &e = m_entries.first();
    if (e.waitTicks > 0) {
        --e.waitTicks;
        return;
    }
    if (!canSend || m_engine.busy())
        return;
    ++e.tries;
    m_inFlight = true;
    m_engine.RaiseAtCommandTimeout(qMax(1, e.item.TimeOut4Try));
    m_engine.SMSSendSMGS(e.item.strData, QString(), e.item.cmgsLength);
}

void TransmitQueue::onSent()
{
    if (!m_inFlight || m_entries.isEmpty())
        return;
    m_inFlight = false;
    const clsQueueForTrans item = m_entries.takeFirst().item;
    emit cmdInfoLine(packetText(item.packet) + QStringLiteral(" отправлен на номер ") + item.PhoneNumber
                     + QStringLiteral("\r\n"));
    emit finished(item, true);
}

void TransmitQueue::onFailed(const QString &reason)
{
    if (!m_inFlight || m_entries.isEmpty())
        return;
    m_inFlight = false;
    Entry &e = m_entries.first();
    const QString head = packetText(e.item.packet) + QStringLiteral(" не отправлен на номер ") + e.item.PhoneNumber
                         + QStringLiteral(" (") + reason + QStringLiteral(")");
    if (e.lastTry || e.tries >= e.item.NumTries) {
        const clsQueueForTrans item = m_entries.takeFirst().item;
        emit cmdInfoLine(head + QStringLiteral(", попытки исчерпаны\r\n"));
        emit finished(item, false);
        return;
    }
    e.waitTicks = qMax(0, e.item.DelayBetweenTries);
    emit cmdInfoLine(head + QStringLiteral(", попытка %1 из %2\r\n").arg(e.tries).arg(e.item.NumTries));
}
