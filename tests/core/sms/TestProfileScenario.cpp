#include "TestProfileScenario.h"

#include "SimLink.h"
#include "core/link/LinkExchange.h"
#include "core/sms/ActiveScenarios.h"
#include "core/sms/ScenarioPdu.h"
#include "core/sms/TransmitQueue.h"
#include "core/sms/clsScenarioAt.h"
#include "core/sms/clsScenarioProfile.h"

#include <QPointer>
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
    const char *headers[2] = {"33", "35"};
    for (int i = 0; i < 2; ++i) {
        const clsQueueForTrans &item = q.items.at(i);
        ScenarioPdu::PduParts parts;
        QString error;
        const QString expected = ScenarioPdu::ConvertArr2PDU(block(i + 1).left(128), QLatin1String(headers[i]),
                                                             QString(), QStringLiteral("+71234567890"), parts, error);
        QCOMPARE(item.strData, expected);
        QCOMPARE(item.PhoneNumber, QStringLiteral("+71234567890"));
        QCOMPARE(item.transport, TransportType::Sms);
        QCOMPARE(item.TimeOut4Try, 40);
        QCOMPARE(item.DelayBetweenTries, 0);
        QCOMPARE(item.NumTries, qint16(1));
        QCOMPARE(item.packet, types[i]);
        QCOMPARE(item.cmgsLength, 154);
    }
    // A second start at step 2 queues nothing more.
    s.HScenario1(false, true, QString());
    QCOMPARE(q.items.size(), 2);
}

void TestProfileScenario::rejectedNumbers_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("centre");
    QTest::addColumn<QString>("error");
    QTest::newRow("destination beginning with 9")
        << "9161234567" << "" << "Неверный формат номера доставки, функция MAkePDUNumber шаг 0 процедура HScenario1";
    QTest::newRow("no destination") << "" << "" << "Не указан номер доставки, функция MAkePDUNumber шаг 0 процедура HScenario1";
    QTest::newRow("unusable centre") << "+71234567890" << "+3361"
                                     << "Неверный формат номера SMS центра шаг 0 процедура HScenario1";
}

void TestProfileScenario::rejectedNumbers()
{
    QFETCH(QString, phone);
    QFETCH(QString, centre);
    QFETCH(QString, error);
    clsScenarioProfile s;
    Queued q(s);
    QSignalSpy errors(&s, &clsScenarioProfile::Error);
    s.PhoneNumber = phone;
    s.SMSCNumber = centre;
    s.NumTriesSMS = 5;
    s.HScenario1(false, true, QString());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), error);
    QVERIFY(q.items.isEmpty());
    // The error resets the whole scenario, numbers and transport settings included.
    QCOMPARE(s.scenarioStep(), 0);
    QCOMPARE(s.PhoneNumber, QString());
    QCOMPARE(s.SMSCNumber, QString());
    QCOMPARE(s.NumTriesSMS, qint16(1));
}

void TestProfileScenario::packetArraysAreBounded()
{
    clsScenarioProfile s;
    bool ok = true;
    QVERIFY(s.setPacketByte(Packet::ReceivedPACK035, 130, 0x5A));
    QCOMPARE(s.packetByte(Packet::ReceivedPACK035, 130, &ok), quint8(0x5A));
    QVERIFY(ok);
    QVERIFY(!s.setPacketByte(Packet::ToSendPACK033, 131, 1));
    QVERIFY(!s.setPacketByte(Packet::ToSendPACK033, -1, 1));
    QCOMPARE(s.packetByte(Packet::ToSendPACK033, 131, &ok), quint8(0));
    QVERIFY(!ok);
    // Reset keeps the packets.
    s.Reset();
    QCOMPARE(s.packetByte(Packet::ReceivedPACK035, 130), quint8(0x5A));
}

void TestProfileScenario::endsOnceBothPacketsFinished()
{
    clsScenarioProfile s;
    QSignalSpy kill(&s, &clsScenarioProfile::KillMe);
    s.PhoneNumber = QStringLiteral("89161234567");
    s.HScenario1(false, true, QString());
    s.PacketFinished(PacketType::ProfileBlock2);
    s.PacketFinished(PacketType::ProfileBlock2);
    QCOMPARE(kill.count(), 0);
    s.PacketFinished(PacketType::ProfileBlock1);
    QCOMPARE(kill.count(), 1);
    QCOMPARE(kill.at(0).at(0).toString(), QStringLiteral("89161234567"));
    QCOMPARE(s.scenarioSubStep(), 3);
}

void TestProfileScenario::activeScenariosByKey()
{
    ActiveScenarios active;
    QPointer<clsScenarioProfile> a = new clsScenarioProfile;
    QPointer<clsScenarioProfile> b = new clsScenarioProfile;
    QPointer<clsScenarioProfile> dup = new clsScenarioProfile;
    QVERIFY(active.add(QStringLiteral("+7111"), a));
    QVERIFY(active.add(QStringLiteral("+7222"), b));
    QVERIFY(!active.add(QStringLiteral("+7111"), dup));
    QCOMPARE(active.size(), 2);
    QCOMPARE(active.first(), a.data());
    QCOMPARE(active.find(QStringLiteral("+7222")), b.data());
    QVERIFY(active.remove(QStringLiteral("+7111")));
    QVERIFY(!active.remove(QStringLiteral("+7111")));
    QCOMPARE(active.first(), b.data());
    QCOMPARE(active.keyAt(0), QStringLiteral("+7222"));
    // Removed scenarios go once the event loop runs (they may be inside their own handler).
    QVERIFY(a);
    QTRY_VERIFY(!a && !dup);
    QVERIFY(b);
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
        sim.link.setRoute(LinkExchange::Route::Scenario);
        QObject::connect(&sim.link, &LinkExchange::scenarioByte, &at, &clsScenarioAt::ByteArrive);
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
    QTRY_COMPARE(r.sim.sim.received(), QByteArray("AT+CMGS=154\rAT+CMGS=154\r") + first.toLatin1() + '\x1A'
                                           + "AT+CMGS=154\r" + second.toLatin1() + '\x1A');
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
    QVERIFY(r.sim.sim.received().startsWith("AT+CMGS=154\r+++AT\r"));
}
