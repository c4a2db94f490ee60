#include "TestGatewayTransfer.h"

#include "RunTask.h"
#include "SimLink.h"
#include "SmsTestSupport.h"
#include "SmsdGateway.h"
#include "TestFiles.h"
#include "VirtualClock.h"
#include "core/app/AppState.h"
#include "core/fleet/FleetRun.h"
#include "core/gateway/GatewayTransfer.h"
#include "core/route/ProfileTransfer.h"
#include "core/gateway/SmsdConfig.h"
#include "core/gateway/SmsdStore.h"
#include "core/tasks/TaskBook.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kPhone = QStringLiteral("+71234567890");

// The user data of every message the modem took after its prompt, as hex text.
QStringList modemUserData(const QByteArray &received)
{
    QStringList out;
    qsizetype at = 0;
    while ((at = received.indexOf("AT+CMGS=", at)) >= 0) {
        const qsizetype body = received.indexOf('\r', at) + 1;
        const qsizetype end = received.indexOf('\x1A', body);
        if (body <= 0 || end < 0)
            break;
        // 140 octets at the end of the PDU, after their length octet 8C.
        out << QString::fromLatin1(received.mid(end - 280, 280));
        at = end;
    }
    return out;
}

// A gateway started with kvrsim's options, and the program's transfer on it with its log lines.
struct Gateway
{
    SmsdGateway gw;
    QTemporaryDir home;
    AppState state{home.path()};
    std::unique_ptr<GatewayTransfer> transfer;
    QStringList lines;

    bool start(const QStringList &options, QString &why)
    {
        if (!gw.start(options, why))
            return false;
        transfer = std::make_unique<GatewayTransfer>(gw.configPath(), state);
        if (!transfer->open(why))
            return false;
        QObject::connect(transfer.get(), &GatewayTransfer::cmdInfoLine, [this](const QString &l) { lines << l; });
        return true;
    }
};

// Polls until a profile comes, at most limitMs.
SmsRoute::PollResult pollForProfile(GatewayTransfer &gateway, int limitMs = 20000)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        SmsRoute::PollResult result = runTask(gateway.pollMessages());
        if (!result.saved.isEmpty() || waited.elapsed() > limitMs)
            return result;
        QTest::qWait(300);
    }
}

// What Qt and the program print meanwhile, caught instead of printed.
QStringList s_printed;
void catchPrinted(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_printed << message;
}

Task<void> keepResult(Task<SmsRoute::SendResult> send, std::optional<SmsRoute::SendResult> *out)
{
    const SmsRoute::SendResult result = co_await send;
    out->emplace(result);
}

// A gateway whose gammu-smsd is stopped, played by the test (passOutbox), and the program's
// transfer on a virtual clock, with its log lines.
struct StoppedGateway
{
    SmsdGateway gw;
    QTemporaryDir home;
    AppState state{home.path()};
    VirtualClock clock;
    std::unique_ptr<GatewayTransfer> transfer;
    QStringList lines;
    std::optional<SmsRoute::SendResult> result;

    explicit StoppedGateway(SmsdGateway::Store store = SmsdGateway::Store::Sqlite) : gw(store) {}
    bool prepare(QString &why) { return gw.prepare(why) && open(why); }
    // A new transfer that reads the configuration again; the earlier one goes.
    bool open(QString &why)
    {
        lines.clear();
        transfer = std::make_unique<GatewayTransfer>(gw.configPath(), state);
        transfer->setClock(&clock);
        QObject::connect(transfer.get(), &GatewayTransfer::cmdInfoLine, [this](const QString &l) { lines << l; });
        return transfer->open(why);
    }
    void sendProfile(int seed = 1)
    {
        result.reset();
        GatewayTransfer *t = transfer.get();
        std::optional<SmsRoute::SendResult> *out = &result;
        t->submitSend(nullptr, [t, out, seed] { return keepResult(t->sendProfileFile(kPhone, QString(), SmsTest::profileFile(seed)), out); });
    }
    bool outboxHolds(const QString &outbox = QStringLiteral("outbox"))
    {
        return clock.runUntil(
            [this, outbox] { return gw.rows(QStringLiteral("SELECT COUNT(*) FROM %1").arg(SmsdStore::quoted(outbox))).value(0) == QLatin1String("1"); },
            10000);
    }
    // The gateway takes both packets of the profile, one after the other; the send's result.
    bool passBoth(const QString &outbox = QStringLiteral("outbox"), const QString &sentitems = QStringLiteral("sentitems"))
    {
        for (int packet = 0; packet < 2; ++packet) {
            if (!outboxHolds(outbox) || !gw.passOutbox(QStringLiteral("SendingOKNoReport"), outbox, sentitems))
                return false;
        }
        return clock.runUntil([this] { return result.has_value(); }, 10000) && result->passed;
    }
    QString said() const { return lines.join(QString()); }
};

} // namespace

void TestGatewayTransfer::initTestCase()
{
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Sqlite, why))
        QSKIP(qPrintable(why));
}

void TestGatewayTransfer::configurationFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("smsdrc"));
    QString error;
    QVERIFY(writeBytes(path, "[gammu]\ndevice = /dev/ttyUSB0\ndatabase = wrong.db\n\n[SMSD]\nService = SQL\n"
                             "Driver = sqlite3\nDBDir = data\n# database = old.db\nDatabase = smsd.db\n"));
    std::optional<SmsdConfig> c = SmsdConfig::read(path, error);
    QVERIFY2(c, qPrintable(error));
    QCOMPARE(c->qtDriver(), QStringLiteral("QSQLITE"));
    QCOMPARE(c->sqliteFile, QDir(dir.path()).absoluteFilePath(QStringLiteral("data/smsd.db")));
    QVERIFY(writeBytes(path, "[smsd]\nservice = sql\ndriver = native_pgsql\nhost = db.example:5433\nuser = smsd\n"
                             "password = \"se cret\"\ndatabase = smsd\n"));
    c = SmsdConfig::read(path, error);
    QVERIFY2(c, qPrintable(error));
    QCOMPARE(c->qtDriver(), QStringLiteral("QPSQL"));
    QCOMPARE(c->host, QStringLiteral("db.example"));
    QCOMPARE(c->port, 5433);
    QCOMPARE(c->password, QStringLiteral("se cret"));
    // A gateway that keeps its messages in files, or a driver this program has no use for.
    QVERIFY(writeBytes(path, "[smsd]\nservice = files\n"));
    QVERIFY(!SmsdConfig::read(path, error));
    QVERIFY2(error.contains(QStringLiteral("service = sql")), qPrintable(error));
    QVERIFY(writeBytes(path, "[smsd]\nservice = sql\ndriver = odbc\ndatabase = x\n"));
    QVERIFY(!SmsdConfig::read(path, error));
    QVERIFY2(error.contains(QStringLiteral("odbc")), qPrintable(error));
    // What is no configuration at all is refused at once: a FIFO nobody writes, an endless device.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QVERIFY(!SmsdConfig::read(fifo, error));
    QVERIFY2(error.startsWith(QStringLiteral("Не открывается файл настроек шлюза ") + fifo), qPrintable(error));
    QVERIFY(!SmsdConfig::read(QStringLiteral("/dev/zero"), error));
    QVERIFY(writeBytes(path, QByteArray((1 << 20) + 1, '#')));
    QVERIFY(!SmsdConfig::read(path, error));
    QVERIFY2(error.endsWith(QStringLiteral("файл больше 1 МБ, это не файл настроек")), qPrintable(error));
    // A database file that is not there is refused, not made empty.
    QVERIFY(writeBytes(path, "[smsd]\nservice = sql\ndriver = sqlite3\ndatabase = missing.db\n"));
    AppState state(dir.path());
    GatewayTransfer gateway(path, state);
    QVERIFY(!gateway.open(error));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing.db"))));
}

void TestGatewayTransfer::sameRecordsAsTheModem()
{
    Gateway g;
    QString why;
    QVERIFY2(g.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}, why),
             qPrintable(why));
    GatewayTransfer &gateway = *g.transfer;
    const QByteArray profile = SmsTest::profileFile(5);
    SmsRoute::SendResult sent = runTask(gateway.sendProfileFile(kPhone, QString(), profile), 30000);
    QVERIFY2(sent.passed, qPrintable(sent.failure + g.gw.log()));
    GprsSettings gprs{QStringLiteral("internet"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("10.0.0.1"),
                      QStringLiteral("1000")};
    sent = runTask(gateway.sendGprs(kPhone, QString(), gprs), 30000);
    QVERIFY2(sent.passed, qPrintable(sent.failure));
    QCOMPARE(g.lines, (QStringList{QStringLiteral("Профиль отправлен на номер +71234567890\r\n"),
                                 QStringLiteral("Параметры GPRS отправлены на номер +71234567890\r\n")}));

    // The same sends through a modem: the user data of each message is the same, octet for octet.
    SimLink modem;
    QVERIFY(modem.start({QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    ProfileTransfer transfer(modem.line, g.state);
    QVERIFY(runTask(transfer.sendProfileFile(kPhone, QString(), profile)).passed);
    QVERIFY(runTask(transfer.sendGprs(kPhone, QString(), gprs)).passed);
    const QStringList viaModem = modemUserData(modem.sim.received());
    QCOMPARE(viaModem.size(), 3);
    const QStringList rows = g.gw.rows(QStringLiteral(
        "SELECT Text, DestinationNumber, Coding, Class, RelativeValidity, CreatorID, Status FROM sentitems ORDER BY ID"));
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rows.at(i), viaModem.at(i) + QStringLiteral("|+71234567890|8bit|2|167|") + SmsdStore::creator()
                                 + QStringLiteral("|SendingOKNoReport"));
    // The rows name the workstation that queued them.
    QVERIFY(SmsdStore::creator().startsWith(QStringLiteral("kvrsetup@")) && SmsdStore::creator().size() > 9);
}

void TestGatewayTransfer::readBackAndLeaveForeignRows()
{
    Gateway g;
    QString why;
    QVERIFY2(g.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}, why),
             qPrintable(why));
    const SmsdGateway &gw = g.gw;
    GatewayTransfer &gateway = *g.transfer;
    // Other users of the gateway: a text, and 8-bit data that is no packet of this system's.
    QVERIFY(gw.exec(QStringLiteral("INSERT INTO inbox (Text, SenderNumber, Coding, UDH, RecipientID, TextDecoded) "
                                   "VALUES ('', '+79160000001', 'Default_No_Compression', '', '', 'привет')")));
    QVERIFY(gw.exec(QStringLiteral("INSERT INTO inbox (Text, SenderNumber, Coding, UDH, RecipientID, Class) "
                                   "VALUES ('43050000', '+79160000002', '8bit', '', '', 2)")));
    const QByteArray profile = SmsTest::profileFile(9);
    QVERIFY(runTask(gateway.sendProfileFile(kPhone, QString(), profile), 30000).passed);
    QVERIFY(runTask(gateway.requestProfile(kPhone, QString()), 30000).passed);
    const SmsRoute::PollResult poll = pollForProfile(gateway);
    QCOMPARE(poll.saved.size(), 1);
    QCOMPARE(readBytes(poll.saved.first().path), profile);
    QCOMPARE(poll.saved.first().path, g.home.filePath(QStringLiteral("BIN/1234567890.bin")));
    // The terminal's four messages are processed; the others are as they were.
    QCOMPARE(gw.rows(QStringLiteral("SELECT SenderNumber, Processed FROM inbox ORDER BY ID")),
             (QStringList{QStringLiteral("+79160000001|false"), QStringLiteral("+79160000002|false"),
                          QStringLiteral("+71234567890|true"), QStringLiteral("+71234567890|true"),
                          QStringLiteral("+71234567890|true"), QStringLiteral("+71234567890|true")}));
    // The confirmations came with the profile; nothing is read twice.
    QCOMPARE(runTask(gateway.pollMessages()).messages, 0);
}

void TestGatewayTransfer::refusedByTheGateway()
{
    Gateway g;
    QString why;
    QVERIFY2(g.start({QStringLiteral("--smsd-refuse"), kPhone}, why), qPrintable(why));
    const SmsdGateway &gw = g.gw;
    const SmsRoute::SendResult sent = runTask(g.transfer->sendProfileFile(kPhone, QString(), SmsTest::profileFile(1)), 30000);
    QVERIFY(!sent.passed);
    QCOMPARE(sent.failure, QStringLiteral("шлюз не отправил: Error"));
    QCOMPARE(g.lines, QStringList{QStringLiteral("Шлюз не отправил пакет 0x33h (шлюз не отправил: Error): ничего не отправлено\r\n")});
    // Half a profile never goes: the second packet was not queued.
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM sentitems")).value(0), QStringLiteral("1"));
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM outbox")).value(0), QStringLiteral("0"));
}

void TestGatewayTransfer::brokenOffSendsAreTakenBack()
{
    // A gateway whose gammu-smsd is stopped: every message stays in the outbox until taken back.
    SmsdGateway gw;
    QString why;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    QTemporaryDir home;
    AppState state{home.path()};
    VirtualClock clock;
    GatewayTransfer transfer(gw.configPath(), state);
    transfer.setClock(&clock);
    QVERIFY2(transfer.open(why), qPrintable(why));
    const QByteArray profile = SmsTest::profileFile(3);
    const auto outbox = [&gw] { return gw.rows(QStringLiteral("SELECT COUNT(*) FROM outbox")).value(0); };
    std::optional<SmsRoute::SendResult> result;
    const auto send = [&](QObject *owner) {
        result.reset();
        transfer.submitSend(owner, [&transfer, &result, profile] {
            return keepResult(transfer.sendProfileFile(kPhone, QString(), profile), &result);
        });
        return outbox() == QStringLiteral("1");
    };

    // The operator's break while the first message waits: taken back, nothing reaches the terminal.
    QVERIFY(send(nullptr));
    transfer.breakSends();
    QVERIFY(clock.runUntil([&result] { return result.has_value(); }));
    QCOMPARE(result->failure, QStringLiteral("прервано, сообщение отозвано"));
    QCOMPARE(outbox(), QStringLiteral("0"));
    QCOMPARE(clock.elapsed(), 0);

    // Its owner goes: the same, at once, before the owner's destructor returns.
    auto owner = std::make_unique<QObject>();
    QVERIFY(send(owner.get()));
    owner.reset();
    QVERIFY(result.has_value());
    QCOMPARE(result->failure, QStringLiteral("прервано, сообщение отозвано"));
    QCOMPARE(outbox(), QStringLiteral("0"));

    // Nobody takes it for ten minutes: taken back, so that it does not arrive after the operator
    // was told the send failed.
    QVERIFY(send(nullptr));
    QVERIFY(clock.runUntil([&result] { return result.has_value(); }));
    QCOMPARE(result->failure, QStringLiteral("шлюз не отправил сообщение за 600 с, оно отозвано"));
    QCOMPARE(outbox(), QStringLiteral("0"));
    QVERIFY(clock.elapsed() >= GatewayTransfer::SendWaitMs);

    // The gateway took the first message just before the break: the second one still goes, and
    // is not waited for.
    QVERIFY(send(nullptr));
    QVERIFY(gw.exec(QStringLiteral("INSERT INTO sentitems (Text, UDH, ID, SenderID, CreatorID, Status) "
                                   "SELECT COALESCE(Text, ''), COALESCE(UDH, ''), ID, '', CreatorID, 'SendingOKNoReport' FROM outbox")));
    QVERIFY(gw.exec(QStringLiteral("DELETE FROM outbox")));
    transfer.breakSends();
    QVERIFY(clock.runUntil([&result] { return result.has_value(); }));
    QCOMPARE(result->failure, QStringLiteral("передано шлюзу, отправка не дождались"));
    QCOMPARE(outbox(), QStringLiteral("1"));
    QVERIFY(transfer.sendsIdle() || clock.runUntil([&transfer] { return transfer.sendsIdle(); }));
}

void TestGatewayTransfer::tablesCheckedByTheirColumns()
{
    SmsdGateway gw;
    QString why;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    const std::optional<SmsdConfig> config = SmsdConfig::read(gw.configPath(), why);
    QVERIFY2(config, qPrintable(why));
    SmsdStore store;
    QVERIFY2(store.open(*config, why), qPrintable(why));
    store.close();
    // An inbox without Processed and Coding: SQLite would read those names as strings and pass.
    QVERIFY(gw.exec(QStringLiteral("DROP TABLE inbox")));
    QVERIFY(gw.exec(QStringLiteral("CREATE TABLE inbox (ID INTEGER PRIMARY KEY, SenderNumber TEXT, Text TEXT, "
                                   "Class INTEGER, UDH TEXT)")));
    QVERIFY(!store.open(*config, why));
    QCOMPARE(why, QStringLiteral("в таблице шлюза inbox нет столбцов: Coding, Processed"));
    // The names differ only in case: SQLite takes them for the same column.
    QVERIFY(gw.exec(QStringLiteral("ALTER TABLE inbox ADD COLUMN processed TEXT")));
    QVERIFY(gw.exec(QStringLiteral("ALTER TABLE inbox ADD COLUMN CODING TEXT")));
    QVERIFY2(store.open(*config, why), qPrintable(why));
    store.close();
    QVERIFY(gw.exec(QStringLiteral("DROP TABLE sentitems")));
    QVERIFY(!store.open(*config, why));
    QCOMPARE(why, QStringLiteral("В базе нет таблиц шлюза: sentitems"));
    // The operator's whole line names the file.
    QTemporaryDir home;
    AppState state(home.path());
    GatewayTransfer transfer(gw.configPath(), state);
    QVERIFY(!transfer.open(why));
    QCOMPARE(why, QStringLiteral("Не открывается база шлюза из ") + gw.configPath()
                      + QStringLiteral(": В базе нет таблиц шлюза: sentitems"));
}

void TestGatewayTransfer::lockedDatabaseIsBusy()
{
    QVERIFY(SmsdStore::BusyTimeoutMs >= 10000);
    SmsdGateway gw;
    QString why;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    const std::optional<SmsdConfig> config = SmsdConfig::read(gw.configPath(), why);
    QVERIFY2(config, qPrintable(why));
    // Another program writes: its lock is waited for (briefly here), then the base is busy, not empty.
    QVERIFY(gw.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    SmsdStore store;
    store.setBusyTimeout(50);
    QVERIFY(!store.open(*config, why));
    QVERIFY2(why.startsWith(QStringLiteral("база занята другой программой (") + config->sqliteFile + QStringLiteral("): ")),
             qPrintable(why));
    QVERIFY2(!why.contains(QStringLiteral("нет таблиц")), qPrintable(why));
    QVERIFY(gw.exec(QStringLiteral("ROLLBACK")));
    QVERIFY2(store.open(*config, why), qPrintable(why));
}

void TestGatewayTransfer::unmarkableRowsAreLeftAlone()
{
    SmsdGateway gw;
    QString why;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    QTemporaryDir home;
    AppState state(home.path());
    GatewayTransfer transfer(gw.configPath(), state);
    QVERIFY2(transfer.open(why), qPrintable(why));
    QStringList lines;
    QObject::connect(&transfer, &GatewayTransfer::cmdInfoLine, [&lines](const QString &l) { lines << l; });
    const QByteArray profile = SmsTest::profileFile(4);
    QVERIFY(gw.deliver(kPhone, SmsTest::answer(0x43, profile.left(128))));
    QVERIFY(gw.deliver(kPhone, SmsTest::answer(0x45, profile.mid(130, 128))));
    // A role that may read the inbox but not change it.
    QVERIFY(gw.exec(QStringLiteral("CREATE TRIGGER inbox_read_only BEFORE UPDATE ON inbox "
                                   "BEGIN SELECT RAISE(ABORT, 'read only'); END")));
    const QString binFile = home.filePath(QStringLiteral("BIN/1234567890.bin"));
    for (int poll = 0; poll < 2; ++poll) {
        const SmsRoute::PollResult result = runTask(transfer.pollMessages());
        QVERIFY(result.listed);
        QVERIFY(result.markFailed);
        QVERIFY(result.saved.isEmpty());
        QCOMPARE(result.messages, 0);
    }
    QVERIFY(!QFile::exists(binFile));
    // Said once for the two rows and the two polls.
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("Сообщения шлюза не отмечаются обработанными, они не обработаны: ")),
             qPrintable(lines.first()));
    QVERIFY2(lines.first().contains(QStringLiteral("read only")), qPrintable(lines.first()));
    // A trigger that only ignores the change changes no row: the same.
    QVERIFY(gw.exec(QStringLiteral("DROP TRIGGER inbox_read_only")));
    QVERIFY(gw.exec(QStringLiteral("CREATE TRIGGER inbox_ignored BEFORE UPDATE ON inbox BEGIN SELECT RAISE(IGNORE); END")));
    QVERIFY(runTask(transfer.pollMessages()).markFailed);
    QVERIFY(!QFile::exists(binFile));
    // Once the rows can be marked, the profile is read from them as they were.
    QVERIFY(gw.exec(QStringLiteral("DROP TRIGGER inbox_ignored")));
    const SmsRoute::PollResult result = runTask(transfer.pollMessages());
    QVERIFY(!result.markFailed);
    QCOMPARE(result.saved.size(), 1);
    QCOMPARE(readBytes(binFile), profile);
    QCOMPARE(gw.rows(QStringLiteral("SELECT Processed FROM inbox")),
             (QStringList{QStringLiteral("true"), QStringLiteral("true")}));
}

void TestGatewayTransfer::renamedTables()
{
    StoppedGateway g;
    QString why;
    QVERIFY2(g.gw.prepare(why), qPrintable(why));
    // A space in the names: they are read only as quoted identifiers.
    QVERIFY2(g.gw.renameTables(QStringLiteral("kvr gw-"), why), qPrintable(why));
    QVERIFY2(g.open(why), qPrintable(why));
    const QString inbox = QStringLiteral("kvr gw-inbox");
    const QString sentitems = QStringLiteral("kvr gw-sentitems");
    // A profile: each packet goes into the renamed outbox and counts as sent from the renamed sentitems.
    g.sendProfile(2);
    QVERIFY2(g.passBoth(QStringLiteral("kvr gw-outbox"), sentitems), qPrintable(g.said()));
    QCOMPARE(g.gw.rows(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CreatorID = '%2'")
                           .arg(SmsdStore::quoted(sentitems), SmsdStore::creator())),
             QStringList{QStringLiteral("2")});
    // The answer is read from the renamed inbox and marked there.
    const QByteArray profile = SmsTest::profileFile(6);
    QVERIFY(g.gw.deliver(kPhone, SmsTest::answer(0x43, profile.left(128)), inbox));
    QVERIFY(g.gw.deliver(kPhone, SmsTest::answer(0x45, profile.mid(130, 128)), inbox));
    const SmsRoute::PollResult poll = runTask(g.transfer->pollMessages());
    QVERIFY(!poll.markFailed);
    QCOMPARE(poll.saved.size(), 1);
    QCOMPARE(readBytes(poll.saved.first().path), profile);
    QCOMPARE(g.gw.rows(QStringLiteral("SELECT Processed FROM %1").arg(SmsdStore::quoted(inbox))),
             (QStringList{QStringLiteral("true"), QStringLiteral("true")}));
}

void TestGatewayTransfer::stoppedGatewayIsSaid()
{
    // gammu-smsd stopped: no phone row, then one it left behind; a running one keeps its row fresh.
    StoppedGateway g;
    QString why;
    QVERIFY2(g.gw.prepare(why), qPrintable(why));
    const auto warningsOf = [&g](qint64 waitMs) {
        QString error;
        if (!g.open(error))
            return QStringList{error};
        const qint64 from = g.clock.elapsed();
        QStringList said;
        const QMetaObject::Connection listening =
            QObject::connect(g.transfer.get(), &GatewayTransfer::cmdInfoLine, [&said, &g, from](const QString &line) {
                if (line.contains(QStringLiteral("не забирает")))
                    said << QStringLiteral("%1 s: ").arg((g.clock.elapsed() - from) / 1000) + line;
            });
        g.sendProfile();
        g.clock.runUntil([&g, from, waitMs] { return g.clock.elapsed() - from >= waitMs; });
        g.transfer->breakSends();
        g.clock.runUntil([&g] { return g.result.has_value(); });
        QObject::disconnect(listening);
        return said;
    };
    const QString check = QStringLiteral("; проверьте, запущен ли gammu-smsd (systemctl status gammu-smsd), его журнал и "
                                         "связь с модемом\r\n");
    // Said within the first minute, and once.
    QCOMPARE(warningsOf(120000),
             QStringList{QStringLiteral("20 s: Шлюз gammu-smsd не забирает сообщения: в таблице phones нет ни одного "
                                        "телефона шлюза")
                         + check});
    QVERIFY(g.gw.exec(QStringLiteral("INSERT INTO phones (ID, IMEI, IMSI, Client, TimeOut) VALUES "
                                     "('', '1', '2', 'Gammu', datetime('now', '-10 minutes'))")));
    const QString lastSeen = g.gw.rows(QStringLiteral("SELECT TimeOut FROM phones")).value(0);
    QCOMPARE(warningsOf(60000),
             QStringList{QStringLiteral("20 s: Шлюз gammu-smsd не забирает сообщения: последняя отметка шлюза в таблице "
                                        "phones: ")
                         + lastSeen + check});
    // Refreshed a moment ago: at work, only slow; nothing is said.
    QVERIFY(g.gw.exec(QStringLiteral("UPDATE phones SET TimeOut = datetime('now', '+10 seconds')")));
    QCOMPARE(warningsOf(120000), QStringList());
}

void TestGatewayTransfer::phoneIdPinsTheSim()
{
    // A gateway with a phoneid: both halves of a request are pinned to its SIM; without one, any.
    StoppedGateway g;
    QString why;
    QVERIFY2(g.prepare(why), qPrintable(why));
    QStringList senders;
    for (const QByteArray &line : {QByteArray(), QByteArray("phoneid = gw1\n")}) {
        if (!line.isEmpty()) {
            QFile config(g.gw.configPath());
            QVERIFY(config.open(QIODevice::Append) && config.write(line) == line.size());
            config.close();
            QVERIFY2(g.open(why), qPrintable(why));
        }
        g.sendProfile();
        for (int packet = 0; packet < 2; ++packet) {
            QVERIFY(g.outboxHolds());
            senders += g.gw.rows(QStringLiteral("SELECT COALESCE(SenderID, 'NULL') FROM outbox"));
            QVERIFY(g.gw.passOutbox());
        }
        QVERIFY(g.clock.runUntil([&g] { return g.result.has_value(); }));
    }
    QCOMPARE(senders, (QStringList{QStringLiteral("NULL"), QStringLiteral("NULL"), QStringLiteral("gw1"),
                                   QStringLiteral("gw1")}));
}

void TestGatewayTransfer::restartedDatabaseIsReopened()
{
    // A message waits in the outbox while the PostgreSQL server restarts; the gateway sends it
    // meanwhile. The connection is opened again and the send ends as sent, from sentitems.
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Postgres, why))
        QSKIP(qPrintable(why));
    StoppedGateway g(SmsdGateway::Store::Postgres);
    QVERIFY2(g.prepare(why), qPrintable(why));
    s_printed.clear();
    const QtMessageHandler previous = qInstallMessageHandler(catchPrinted);
    const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
    g.sendProfile();
    QVERIFY(g.outboxHolds());
    QVERIFY2(g.gw.restartServer(why), qPrintable(why));
    // Some status polls on the dropped connection and after it, then the gateway's pass.
    g.clock.runUntil([] { return false; }, 5000);
    QVERIFY2(g.passBoth(), qPrintable(g.said()));
    qInstallMessageHandler(previous);
    QCOMPARE(g.lines.filter(QStringLiteral("Связь с базой шлюза потеряна: ")).size(), 1);
    QVERIFY2(g.lines.filter(QStringLiteral("Связь с базой шлюза потеряна: ")).first().endsWith(QStringLiteral(", повтор\r\n")),
             qPrintable(g.said()));
    QCOMPARE(g.lines.filter(QStringLiteral("Связь с базой шлюза восстановлена\r\n")).size(), 1);
    QVERIFY2(g.lines.last().startsWith(QStringLiteral("Профиль отправлен на номер ")), qPrintable(g.said()));
    QVERIFY2(s_printed.filter(QStringLiteral("database not open")).isEmpty(), qPrintable(s_printed.join(QLatin1Char('\n'))));
}

void TestGatewayTransfer::reopeningIsSpaced()
{
    // A server down for 20 s: the attempts to reopen come after 1, 2, 4, 8 and 16 s, so the one
    // that finds it back is at about 31 s from the loss, not at the next poll after its start.
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Postgres, why))
        QSKIP(qPrintable(why));
    StoppedGateway g(SmsdGateway::Store::Postgres);
    QVERIFY2(g.prepare(why), qPrintable(why));
    qint64 lostAt = -1;
    qint64 backAt = -1;
    QObject::connect(g.transfer.get(), &GatewayTransfer::cmdInfoLine, [&](const QString &line) {
        if (line.startsWith(QStringLiteral("Связь с базой шлюза потеряна: ")))
            lostAt = g.clock.elapsed();
        if (line.startsWith(QStringLiteral("Связь с базой шлюза восстановлена")))
            backAt = g.clock.elapsed();
    });
    g.sendProfile();
    QVERIFY(g.outboxHolds());
    QVERIFY2(g.gw.stopServer(why), qPrintable(why));
    QVERIFY(g.clock.runUntil([&lostAt] { return lostAt >= 0; }, 5000));
    g.clock.runUntil([] { return false; }, 20000);
    QVERIFY2(g.gw.startServer(why), qPrintable(why));
    QVERIFY(g.clock.runUntil([&backAt] { return backAt >= 0; }, 60000));
    QVERIFY2(backAt - lostAt >= 30000 && backAt - lostAt <= 33000,
             qPrintable(QStringLiteral("%1 ms\n").arg(backAt - lostAt) + g.said()));
    QVERIFY2(g.passBoth(), qPrintable(g.said()));
}

void TestGatewayTransfer::inboxLookedAtOftenWhileARunWaits()
{
    // The request has gone and the run waits: a profile that reaches the inbox is found within
    // AnswerPollMs, not at the run's next poll of every PollMs.
    StoppedGateway g;
    QString why;
    QVERIFY2(g.prepare(why), qPrintable(why));
    FleetRun::Request request;
    request.job = FleetRun::Job::ReadProfile;
    FleetRun run({{g.transfer.get(), QStringLiteral("gw")}}, request);
    run.start({{QStringLiteral("t"), kPhone}});
    for (int packet = 0; packet < 2; ++packet)
        QVERIFY(g.outboxHolds() && g.gw.passOutbox());
    g.clock.runUntil([] { return false; }, 3000);
    QVERIFY(!run.isFinished());
    const QByteArray profile = SmsTest::profileFile(4);
    QVERIFY(g.gw.deliver(kPhone, SmsTest::answer(0x43, profile.left(128))));
    QVERIFY(g.gw.deliver(kPhone, SmsTest::answer(0x45, profile.mid(130, 128))));
    const qint64 from = g.clock.elapsed();
    QVERIFY(g.clock.runUntil([&run] { return run.isFinished(); }, SmsRoute::PollMs));
    QVERIFY2(g.clock.elapsed() - from <= GatewayTransfer::AnswerPollMs, qPrintable(QString::number(g.clock.elapsed() - from)));
    QCOMPARE(run.results().at(0).outcome, FleetRun::Outcome::Done);
}

void TestGatewayTransfer::twoWorkstationsShareOneInbox_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

void TestGatewayTransfer::twoWorkstationsShareOneInbox()
{
    QFETCH(bool, postgres);
    const SmsdGateway::Store store = postgres ? SmsdGateway::Store::Postgres : SmsdGateway::Store::Sqlite;
    QString unavailable;
    if (!SmsdGateway::available(store, unavailable))
        QSKIP(qPrintable(unavailable));
    // Workstation A reads two terminals while B polls the same gateway: each answer is acted on
    // once, halves read by different workstations make one profile, and every profile of A's
    // ends in A's folder and A's tasks, none in B's.
    const QByteArray workstationBefore = qgetenv("KVRSETUP_WORKSTATION");
    const auto restoreWorkstation = qScopeGuard([&] { qputenv("KVRSETUP_WORKSTATION", workstationBefore); });
    qputenv("KVRSETUP_WORKSTATION", "A");
    StoppedGateway a(store);
    QString why;
    QVERIFY2(a.prepare(why), qPrintable(why));
    TaskBook booksA(a.transfer->databaseConnection(), a.clock);
    QVERIFY2(booksA.ensureSchema(why), qPrintable(why));
    a.transfer->setTaskBook(&booksA);
    QTemporaryDir homeB;
    AppState stateB(homeB.path());
    qputenv("KVRSETUP_WORKSTATION", "B");
    GatewayTransfer b(a.gw.configPath(), stateB);
    QCOMPARE(b.workstation(), QStringLiteral("kvrsetup@B"));
    b.setClock(&a.clock);
    QVERIFY2(b.open(why), qPrintable(why));
    TaskBook booksB(b.databaseConnection(), a.clock);
    b.setTaskBook(&booksB);
    QStringList saidB;
    QObject::connect(&b, &GatewayTransfer::cmdInfoLine, [&saidB](const QString &l) { saidB << l; });
    const auto pollAsB = [&b] { return runTask(b.pollMessages()); };

    const QString other = QStringLiteral("+71234567891");
    FleetRun::Request request;
    request.job = FleetRun::Job::ReadProfile;
    request.tasks = &booksA;
    FleetRun run({{a.transfer.get(), QStringLiteral("gw")}}, request);
    run.start({{QStringLiteral("t1"), kPhone}, {QStringLiteral("t2"), other}});
    // The gateway takes each request as it comes (the second of a pair after the first).
    const auto sentItems = [&a] { return a.gw.rows(QStringLiteral("SELECT COUNT(*) FROM sentitems")).value(0); };
    for (int round = 0; round < 8 && sentItems() != QLatin1String("4"); ++round) {
        a.clock.runUntil([&a] { return a.gw.rows(QStringLiteral("SELECT COUNT(*) FROM outbox")).value(0) != QLatin1String("0"); }, 5000);
        QVERIFY(a.gw.passOutbox());
    }
    QCOMPARE(sentItems(), QStringLiteral("4"));
    a.clock.runUntil([] { return false; }, 1500);
    QVERIFY(!run.isFinished());

    // The first terminal's halves are read one by B and one by A; someone else's message on
    // the gateway stays unprocessed.
    const QByteArray first = SmsTest::profileFile(4);
    const QByteArray second = SmsTest::profileFile(5);
    QVERIFY(a.gw.exec(QStringLiteral("INSERT INTO inbox (\"Text\", \"SenderNumber\", \"Coding\", \"UDH\", \"SMSCNumber\", "
                                     "\"Class\", \"TextDecoded\", \"RecipientID\") "
                                     "VALUES ('', '+79000000000', 'Default_No_Compression', '', '', -1, 'hello', '')")));
    QVERIFY(a.gw.deliver(kPhone, SmsTest::answer(0x43, first.left(128))));
    SmsRoute::PollResult byB = pollAsB();
    QVERIFY(byB.saved.isEmpty());
    QVERIFY(a.gw.deliver(kPhone, SmsTest::answer(0x45, first.mid(130, 128))));
    // The second terminal's answer comes whole, and B reads both halves of it first.
    QVERIFY(a.gw.deliver(other, SmsTest::answer(0x43, second.left(128))));
    QVERIFY(a.gw.deliver(other, SmsTest::answer(0x45, second.mid(130, 128))));
    byB = pollAsB();
    QVERIFY(byB.saved.isEmpty());
    QVERIFY2(saidB.join(QString()).contains(QStringLiteral("передан заданию")), qPrintable(saidB.join(QString())));
    // A's run learns both from the tasks at its next look.
    QVERIFY(a.clock.runUntil([&run] { return run.isFinished(); }, 5000));
    QCOMPARE(run.results().at(0).outcome, FleetRun::Outcome::Done);
    QCOMPARE(run.results().at(1).outcome, FleetRun::Outcome::Done);
    QCOMPARE(readBytes(a.home.filePath(QStringLiteral("BIN/1234567890.bin"))), first);
    QCOMPARE(readBytes(a.home.filePath(QStringLiteral("BIN/1234567891.bin"))), second);
    QVERIFY(QDir(homeB.filePath(QStringLiteral("BIN"))).entryList(QDir::Files).isEmpty());
    QCOMPARE(a.gw.rows(QStringLiteral("SELECT \"Processed\", COUNT(*) FROM inbox GROUP BY \"Processed\" ORDER BY \"Processed\"")),
             (QStringList{QStringLiteral("false|1"), QStringLiteral("true|4")}));
    QCOMPARE(a.gw.rows(QStringLiteral("SELECT COUNT(*) FROM kvr_halves")), QStringList{QStringLiteral("0")});
    QCOMPARE(a.gw.rows(QStringLiteral("SELECT status, workstation, length(payload) FROM kvr_tasks ORDER BY id")),
             (QStringList{QStringLiteral("confirmed|kvrsetup@A|260"), QStringLiteral("confirmed|kvrsetup@A|260")}));

    // Both read the first terminal at once and it answers each request: whichever workstation
    // reads the answers, each run ends with the profile, in its own folder.
    FleetRun::Request requestB = request;
    requestB.tasks = &booksB;
    FleetRun again({{a.transfer.get(), QStringLiteral("gw")}}, request);
    FleetRun runB({{&b, QStringLiteral("gw")}}, requestB);
    again.start({{QStringLiteral("t1"), kPhone}});
    runB.start({{QStringLiteral("t1"), kPhone}});
    for (int round = 0; round < 8 && sentItems() != QLatin1String("8"); ++round) {
        a.clock.runUntil([&a] { return a.gw.rows(QStringLiteral("SELECT COUNT(*) FROM outbox")).value(0) != QLatin1String("0"); }, 5000);
        QVERIFY(a.gw.passOutbox());
    }
    QCOMPARE(sentItems(), QStringLiteral("8"));
    const QByteArray third = SmsTest::profileFile(6);
    for (int answer = 0; answer < 2; ++answer) {
        QVERIFY(a.gw.deliver(kPhone, SmsTest::answer(0x43, third.left(128))));
        QVERIFY(a.gw.deliver(kPhone, SmsTest::answer(0x45, third.mid(130, 128))));
    }
    QVERIFY(a.clock.runUntil([&] { return again.isFinished() && runB.isFinished(); }, 5000));
    QCOMPARE(again.results().at(0).outcome, FleetRun::Outcome::Done);
    QCOMPARE(runB.results().at(0).outcome, FleetRun::Outcome::Done);
    QCOMPARE(readBytes(a.home.filePath(QStringLiteral("BIN/1234567890.bin"))), third);
    QCOMPARE(readBytes(homeB.filePath(QStringLiteral("BIN/1234567890.bin"))), third);
    QCOMPARE(a.gw.rows(QStringLiteral("SELECT COUNT(*) FROM inbox WHERE \"Processed\" = 'false'")), QStringList{QStringLiteral("1")});
    QCOMPARE(a.gw.rows(QStringLiteral("SELECT status, workstation FROM kvr_tasks WHERE id > 2 ORDER BY id")),
             (QStringList{QStringLiteral("confirmed|kvrsetup@A"), QStringLiteral("confirmed|kvrsetup@B")}));
}
