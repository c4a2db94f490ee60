#include "TestProfileScenario.h"

#include "SimLink.h"
#include "core/link/LinkExchange.h"
#include "core/pdu/ScenarioPdu.h"
#include "core/scenario/TransmitQueue.h"
#include "core/scenario/clsScenarioAt.h"
#include "core/scenario/clsScenarioProfile.h"

#include <QSignalSpy>
#include <QTest>

using Packet = clsScenarioProfile::Packet;

namespace {

// What Set2Queue handed over, as the owner turns it into a queue item.
struct Queued
{
    QList<clsQueueForTrans> items;
    explicit Queued(clsScenarioProfile &s)
    {
        QObject::connect(&s, &clsScenarioProfile::Set2Queue, &s,
                         [this](const QString &pdu, const QString &number, TransportType transport, qint32 timeOut,
                                qint32 delay, qint16 tries, PacketType packet, int length) {
                             items.append({pdu, number, transport, timeOut, delay, tries, packet, length});
                         });
    }
};

QByteArray block(int seed)
{
    QByteArray b(130, '\0');
    for (int i = 0; i < b.size(); ++i)
        b[i] = char(seed + i * 7);
    return b;
}

} // namespace

void TestProfileScenario::queuesBothPackets()
{
    clsScenarioProfile s;
    Queued q(s);
    s.PhoneNumber = QStringLiteral("+71234567890");
    s.setPacket(Packet::ToSendPACK033, block(1));
    s.setPacket(Packet::ToSendPACK035, block(2));
    s.HScenario1(false, true, QString());
    QCOMPARE(s.scenarioStep(), 2);
    QCOMPARE(q.items.size(), 2);
    const PacketType types[2] = {PacketType::ProfileBlock1, PacketType::ProfileBlock2};
    for (int i = 0; i < 2; ++i) {
        ScenarioPdu::PduParts parts;
        QString error;
        const QString pdu = ScenarioPdu::ConvertArr2PDU(block(i + 1).left(128), i == 0 ? QStringLiteral("33") : QStringLiteral("35"),
                                                        QString(), QStringLiteral("+71234567890"), parts, error);
        const clsQueueForTrans expected{pdu, QStringLiteral("+71234567890"), TransportType::Sms, 40, 0, 1, types[i], 154};
        QVERIFY(q.items.at(i) == expected);
    }
    // A second start at step 2 queues nothing more.
    s.HScenario1(false, true, QString());
    QCOMPARE(q.items.size(), 2);
}

void TestProfileScenario::rejectedNumber()
{
    clsScenarioProfile s;
    Queued q(s);
    QSignalSpy errors(&s, &clsScenarioProfile::Error);
    s.PhoneNumber = QStringLiteral("9161234567");
    s.NumTriesSMS = 5;
    s.HScenario1(false, true, QString());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(),
             QStringLiteral("Неверный формат номера доставки, функция MAkePDUNumber шаг 0 процедура HScenario1"));
    QVERIFY(q.items.isEmpty());
    // The error resets the whole scenario, numbers and transport settings included.
    QCOMPARE(s.scenarioStep(), 0);
    QCOMPARE(s.PhoneNumber, QString());
    QCOMPARE(s.NumTriesSMS, qint16(1));
}

namespace {

// A scenario and the queue wired as the profile transfer wires them, on kvrsim.
struct QueueRig
{
    SimLink sim;
    clsScenarioAt at{sim.link};
    TransmitQueue queue{at};
    clsScenarioProfile scenario;

    bool start(const QStringList &options)
    {
        if (!sim.start(options))
            return false;
        sim.link.port().setRoute(LinkExchange::Route::Scenario);
        QObject::connect(&sim.link.port(), &LinkPort::scenarioByte, &at, &clsScenarioAt::ByteArrive);
        QObject::connect(&queue, &TransmitQueue::cmdInfoLine, &queue, [this](const QString &l) { sim.cmdInfo << l; });
        QObject::connect(&scenario, &clsScenarioProfile::Set2Queue, &queue,
                         [this](const QString &pdu, const QString &number, TransportType transport, qint32 timeOut,
                                qint32 delay, qint16 tries, PacketType packet, int length) {
                             queue.add({pdu, number, transport, timeOut, delay, tries, packet, length});
                         });
        QObject::connect(&queue, &TransmitQueue::finished, &scenario,
                         [this](const clsQueueForTrans &item, bool) { scenario.PacketFinished(item.packet); });
        return true;
    }
    // tmrSecond until the queue is empty, at most limit ticks.
    int tickUntilEmpty(int limit)
    {
        int ticks = 0;
        while (!queue.isEmpty() && ticks < limit) {
            at.Tick();
            queue.tick(true);
            ++ticks;
            QTest::qWait(20);
        }
        return ticks;
    }
};

} // namespace

void TestProfileScenario::queueRetriesRefusedSendThenEnds()
{
    QueueRig r;
    QVERIFY(r.start({QStringLiteral("--sms-refuse"), QStringLiteral("1"), QStringLiteral("--terminal"),
                     QStringLiteral("+71234567890"), QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QSignalSpy kill(&r.scenario, &clsScenarioProfile::KillMe);
    r.scenario.PhoneNumber = QStringLiteral("+71234567890");
    r.scenario.NumTriesSMS = 2;
    r.scenario.DelaySMS = 2;
    r.scenario.HScenario1(false, true, QString());
    QCOMPARE(r.queue.size(), 2);
    const QString first = r.queue.at(0).strData;
    const QString second = r.queue.at(1).strData;
    r.tickUntilEmpty(50);
    QVERIFY(r.queue.isEmpty());
    QCOMPARE(r.sim.cmdInfo,
             (QStringList{QStringLiteral("Пакет 0x33h не отправлен на номер +71234567890 (модем не принял AT+CMGS), "
                                         "попытка 1 из 2\r\n"),
                          QStringLiteral("Пакет 0x33h отправлен на номер +71234567890\r\n"),
                          QStringLiteral("Пакет 0x35h отправлен на номер +71234567890\r\n")}));
    QCOMPARE(kill.count(), 1);
    // One item at a time: the refused command, the same packet again, then the next one.
    // Each try puts the modem into PDU mode first.
    QTRY_COMPARE(r.sim.sim.received(), QByteArray("AT+CMGF=0\rAT+CMGS=154\rAT+CMGF=0\rAT+CMGS=154\r") + first.toLatin1()
                                           + '\x1A' + "AT+CMGF=0\rAT+CMGS=154\r" + second.toLatin1() + '\x1A');
}

void TestProfileScenario::queueDropsAfterLastTry()
{
    QueueRig r;
    QVERIFY(r.start({QStringLiteral("--silent")}));
    r.sim.link.setTimeScale(0.01);
    QSignalSpy kill(&r.scenario, &clsScenarioProfile::KillMe);
    r.scenario.PhoneNumber = QStringLiteral("+71234567890");
    r.scenario.TimeOutSMS = 3;
    r.scenario.HScenario1(false, true, QString());
    // A silent modem: each try runs out its watchdog, breaks in, and the packet is dropped.
    r.tickUntilEmpty(100);
    QVERIFY(r.queue.isEmpty());
    QCOMPARE(r.sim.cmdInfo,
             (QStringList{QStringLiteral("Пакет 0x33h не отправлен на номер +71234567890 (модем не ответил), "
                                         "попытки исчерпаны\r\n"),
                          QStringLiteral("Пакет 0x35h не отправлен на номер +71234567890 (модем не ответил), "
                                         "попытки исчерпаны\r\n")}));
    QCOMPARE(kill.count(), 1);
    QVERIFY(r.sim.sim.received().startsWith("AT+CMGF=0\r+++AT\r"));
}
