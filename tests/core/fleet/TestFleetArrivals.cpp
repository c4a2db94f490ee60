#include "TestFleetArrivals.h"

#include "FakeSerial.h"
#include "VirtualClock.h"
#include "core/app/AppState.h"
#include "core/fleet/FleetRun.h"
#include "core/link/ModemLine.h"
#include "core/route/ProfileTransfer.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kAnnouncements = "\r\n+CMTI: \"SM\",1\r\n\r\n+CMTI: \"SM\",2\r\n\r\n+CMTI: \"ME\",3\r\n";

// A modem on a port double: a prompt for every message, "+CMGS" and "OK" for its body (after
// duringBody, once), "OK" for everything else; its store is always empty.
struct Modem
{
    QTemporaryDir dir;
    VirtualClock clock;
    FakeSerial port;
    ModemLine line;
    AppState state{dir.path()};
    std::unique_ptr<ProfileTransfer> transfer;
    QByteArray duringBody;

    Modem()
    {
        line.link().setClock(&clock);
        line.link().port().setDevice(&port);
        port.onWrite = [this](const QByteArray &bytes) {
            if (bytes.startsWith("AT+CMGS="))
                port.feed("\r\n> ");
            else if (bytes.contains('\x1A'))
                port.feed(std::exchange(duringBody, {}) + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
            else
                port.feed("\r\nOK\r\n");
        };
        transfer = std::make_unique<ProfileTransfer>(line, state);
    }
    // The commands written, without the message bodies and the lengths of AT+CMGS.
    QStringList commands() const
    {
        QStringList out;
        for (const QByteArray &w : port.writes) {
            if (w.startsWith("AT"))
                out << QString::fromLatin1(w.startsWith("AT+CMGS=") ? QByteArray("AT+CMGS") : w.chopped(1));
        }
        return out;
    }
    int polls() const { return int(commands().count(QStringLiteral("AT+CMGL=4"))); }
};

FleetRun::Request readRequest()
{
    FleetRun::Request r;
    r.job = FleetRun::Job::ReadProfile;
    return r;
}

} // namespace

void TestFleetArrivals::announcementIsPolledBeforeThePeriod()
{
    Modem m;
    FleetRun run({{m.transfer.get(), QStringLiteral("A")}}, readRequest());
    run.start({{QStringLiteral("t"), QStringLiteral("+79010000001")}});
    // The modem is asked to announce before anything goes; the last request is followed by a poll.
    QVERIFY(m.clock.runUntil([&m] { return m.polls() == 1; }, 1000));
    QCOMPARE(m.commands().first(), QLatin1String(ProfileTransfer::AnnounceCommand));
    m.clock.advance(3000);
    m.port.feed("\r\n+CMTI: \"SM\",1\r\n");
    QVERIFY(m.clock.runUntil([&m] { return m.polls() == 2; }, 20000));
    QCOMPARE(m.clock.elapsed(), qint64(3000));
}

void TestFleetArrivals::announcementsDuringAPairMakeOnePollAfterIt()
{
    Modem m;
    m.duringBody = kAnnouncements;
    FleetRun run({{m.transfer.get(), QStringLiteral("A")}}, readRequest());
    run.start({{QStringLiteral("t1"), QStringLiteral("+79010000001")}, {QStringLiteral("t2"), QStringLiteral("+79010000002")}});
    QVERIFY(m.clock.runUntil([&m] { return m.polls() == 2; }, 1000));
    m.clock.runUntil([&m] { return m.line.isIdle(); }, 1000);
    const QStringList pair{QStringLiteral("AT+CMGF=0"), QStringLiteral("AT+CMGS"), QStringLiteral("AT+CMGS")};
    const QStringList poll{QStringLiteral("AT+CMGF=0"), QStringLiteral("AT+CMGL=4")};
    QCOMPARE(m.commands(), QStringList{QLatin1String(ProfileTransfer::AnnounceCommand)} + pair + poll + pair + poll);
}
