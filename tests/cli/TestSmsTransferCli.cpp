#include "TestSmsTransferCli.h"

#include "SimModem.h"
#include "SmsTestSupport.h"
#include "SmsdGateway.h"
#include "TestFiles.h"
#include "core/common/Clock.h"
#include "core/pdu/TransferRecord.h"
#include "core/tasks/TaskBook.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPhone = QStringLiteral("+71234567890");

QStringList with(const QString &command, const SimModem &sim, const QStringList &rest)
{
    return QStringList{command, QStringLiteral("--port"), sim.path()} + rest;
}

} // namespace

void TestSmsTransferCli::sendThenReadBack()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("profile.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(7)));
    // A firmware image chosen by mistake is no profile: refused before the port is taken.
    const QString image = home.filePath(QStringLiteral("firmware.BIN"));
    QVERIFY(writeBytes(image, QByteArray(40000, '\x33')));
    ProgramRun refused = runCli(with(QStringLiteral("send-profile"), sim, {QStringLiteral("--phone"), kPhone, image}),
                                home.path());
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QStringLiteral("kvrsetup-cli: Файл ") + image
                              + QStringLiteral(" не является профильным файлом (40000 байт)\n"));
    QCOMPARE(sim.received(), QByteArray());
    ProgramRun r = runCli(with(QStringLiteral("send-profile"), sim, {QStringLiteral("--phone"), kPhone, file}), home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("Профиль отправлен на номер +71234567890\n"));
    r = runCli(with(QStringLiteral("read-profile"), sim, {QStringLiteral("--phone"), kPhone}), home.path());
    QCOMPARE(r.code, 0);
    const QString saved = home.filePath(QStringLiteral("BIN/1234567890.bin"));
    // The confirmations of the send come with the answers to the read requests; the saved file
    // is the result.
    QCOMPARE(r.err, QStringLiteral("Запрос профиля отправлен на номер +71234567890\n"
                                   "Пакет 0x33h загружен в терминал: +71234567890\n"
                                   "Пакет 0x35h загружен в терминал: +71234567890\n"
                                   "Сохранен профильный файл от терминала: +71234567890, файл ")
                        + saved + QLatin1Char('\n'));
    QCOMPARE(r.out, saved + QLatin1Char('\n'));
    QCOMPARE(readBytes(saved), SmsTest::profileFile(7));
    QCOMPARE(sim.received().count("AT+CMGS=154\r"), 4);
    QVERIFY(sim.received().endsWith("AT+CMGL=4\rAT+CMGD=1\rAT+CMGD=2\rAT+CMGD=3\rAT+CMGD=4\r"));
    // One poll on its own: the store is empty now.
    r = runCli(with(QStringLiteral("poll"), sim, {}), home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString());
    QVERIFY(sim.received().endsWith("AT+CMGD=4\rAT+CMGF=0\rAT+CMGL=4\r"));
}

void TestSmsTransferCli::networkShowsAnotherNumberForm()
{
    // Asked as 8..., the terminal's answer comes from +7...: the same subscriber, and its file.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), QStringLiteral("89161234567"), QStringLiteral("--present-plus7"),
                       QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    const ProgramRun r = runCli(with(QStringLiteral("read-profile"), sim,
                                     {QStringLiteral("--phone"), QStringLiteral("89161234567"), QStringLiteral("--wait"),
                                      QStringLiteral("5")}),
                                home.path());
    QCOMPARE(r.code, 0);
    const QString saved = home.filePath(QStringLiteral("BIN/9161234567.bin"));
    QCOMPARE(r.err, QStringLiteral("Запрос профиля отправлен на номер 89161234567\n"
                                   "Сохранен профильный файл от терминала: +79161234567, файл ") + saved
                        + QLatin1Char('\n'));
    QCOMPARE(r.out, saved + QLatin1Char('\n'));
}

void TestSmsTransferCli::readProfileWaitsInVain()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("60000")}));
    QTemporaryDir home;
    const ProgramRun r = runCli(with(QStringLiteral("read-profile"), sim,
                                     {QStringLiteral("--phone"), kPhone, QStringLiteral("--wait"), QStringLiteral("0")}),
                                home.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QVERIFY(r.err.startsWith(QStringLiteral("Запрос профиля отправлен на номер +71234567890\n")));
    QVERIFY2(r.err.contains(QStringLiteral("нет профиля от +71234567890 за 0 с")), qPrintable(r.err));
    QVERIFY(sim.received().endsWith("AT+CMGL=4\r"));
}

void TestSmsTransferCli::refusedGprs()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--sms-refuse"), QStringLiteral("all")}));
    QTemporaryDir home;
    QStringList args = {QStringLiteral("--phone"), kPhone, QStringLiteral("--apn"), QStringLiteral("a"),
                        QStringLiteral("--server-port"), QStringLiteral("1000"), QStringLiteral("--server")};
    ProgramRun r = runCli(with(QStringLiteral("send-gprs"), sim, args + QStringList{QStringLiteral("10.0.0")}), home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("kvrsetup-cli: Неверно задан IP адрес: ")), qPrintable(r.err));
    r = runCli(with(QStringLiteral("send-gprs"), sim, args + QStringList{QStringLiteral("10.0.0.1")}), home.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("Ответ +CMS ERROR: 500 не позволяет продолжение сценария\n"
                                   "Модем не принял параметры GPRS (+CMS ERROR: 500)\n"));
    QCOMPARE(sim.received(), QByteArray("AT+CMGF=0\rAT+CMGS=154\r"));
}

void TestSmsTransferCli::gatewayPollThatCannotMark()
{
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Sqlite, why))
        QSKIP(qPrintable(why));
    SmsdGateway gw;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    const QByteArray profile = SmsTest::profileFile(8);
    QVERIFY(gw.deliver(kPhone, SmsTest::answer(0x43, profile.left(128))));
    QVERIFY(gw.deliver(kPhone, SmsTest::answer(0x45, profile.mid(130, 128))));
    QVERIFY(gw.exec(QStringLiteral("CREATE TRIGGER inbox_read_only BEFORE UPDATE ON inbox "
                                   "BEGIN SELECT RAISE(ABORT, 'read only'); END")));
    QTemporaryDir home;
    const QStringList poll{QStringLiteral("poll"), QStringLiteral("--smsd"), gw.configPath()};
    // The rows it cannot mark are not acted on, and the poll says it failed.
    ProgramRun r = runCli(poll, home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("Сообщения шлюза не отмечаются обработанными, они не обработаны: ")),
             qPrintable(r.err));
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("BIN/1234567890.bin"))));
    QVERIFY(gw.exec(QStringLiteral("DROP TRIGGER inbox_read_only")));
    r = runCli(poll, home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(readBytes(home.filePath(QStringLiteral("BIN/1234567890.bin"))), profile);
}

void TestSmsTransferCli::noHistoryIsSaidLoudly()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--sms-refuse"), QStringLiteral("all")}));
    QTemporaryDir home;
    // A book that cannot be opened: the send goes on, and the operator learns nothing is kept.
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Data.db")));
    const ProgramRun r = runCli(with(QStringLiteral("send-gprs"), sim,
                                     {QStringLiteral("--phone"), kPhone, QStringLiteral("--apn"), QStringLiteral("a"),
                                      QStringLiteral("--server-port"), QStringLiteral("1000"), QStringLiteral("--server"),
                                      QStringLiteral("10.0.0.1")}),
                                home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("ВНИМАНИЕ: история операций не ведется, Data.db не открылась: ")),
             qPrintable(r.err));
    QVERIFY(r.err.endsWith(QStringLiteral("Модем не принял параметры GPRS (+CMS ERROR: 500)\n")));
}

void TestSmsTransferCli::gprsPasswordSources()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("password"));
    QVERIFY(writeBytes(file, "s3cret\r\nnot this\n"));
    const auto sendGprs = [&](const QStringList &password) {
        const QStringList args{"--phone", kPhone, "--apn", "a", "--server", "10.0.0.1", "--server-port", "1000"};
        return runCli(with(QStringLiteral("send-gprs"), sim, args + password), home.path());
    };
    const auto sent = [&sim](const char *password) {
        return sim.received().contains(QByteArray(password).toHex().toUpper() + "00");
    };
    // The file's first line without its end; the command line's with a word on what that exposes.
    QCOMPARE(sendGprs({"--password-file", file}).code, 0);
    QVERIFY(sent("s3cret"));
    const ProgramRun r = sendGprs({"--password=p4ss"});
    QVERIFY2(r.code == 0 && r.err.startsWith(QStringLiteral("kvrsetup-cli: пароль --password виден другим пользователям")),
             qPrintable(r.err));
    QVERIFY(sent("p4ss"));
    qputenv("KVRSETUP_GPRS_PASSWORD", "v4riable");
    const auto unset = qScopeGuard([] { qunsetenv("KVRSETUP_GPRS_PASSWORD"); });
    QCOMPARE(sendGprs({}).code, 0);
    QVERIFY(sent("v4riable"));
    // Two sources are bad usage, before the file is read; a file too big for a password is refused.
    QVERIFY(writeBytes(file, QByteArray(1025, 'x')));
    const ProgramRun two = sendGprs({"--password-file", file});
    QVERIFY2(two.code == 2 && two.err.startsWith(QStringLiteral("kvrsetup-cli: пароль задается одним способом")),
             qPrintable(two.err));
    qunsetenv("KVRSETUP_GPRS_PASSWORD");
    QCOMPARE(sendGprs({"--password-file", file}).err,
             QStringLiteral("kvrsetup-cli: файл пароля больше 1024 байт: ") + file + QLatin1Char('\n'));
}

void TestSmsTransferCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no port") << QStringList{"poll"};
    QTest::newRow("port and gateway") << QStringList{"poll", "--port", "/dev/null", "--smsd", "smsdrc"};
    QTest::newRow("no file") << QStringList{"send-profile", "--port", "/dev/null", "--phone", "+7916"};
    QTest::newRow("foreign option") << QStringList{"poll", "--port", "/dev/null", "--phone", "+7916"};
    QTest::newRow("bad wait") << QStringList{"read-profile", "--port", "/dev/null", "--phone", "+7916", "--wait", "x"};
    QTest::newRow("gprs without server") << QStringList{"send-gprs", "--port", "/dev/null", "--phone", "+7916",
                                                        "--apn", "a", "--server-port", "1"};
}

void TestSmsTransferCli::usageErrors()
{
    QFETCH(QStringList, args);
    const ProgramRun r = runCli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("Использование: kvrsetup-cli ") + args.first()), qPrintable(r.err));
}

void TestSmsTransferCli::fleetFromTheAddressBook()
{
    // Two terminals in the book; only the first exists behind kvrsim's network.
    const QString ghost = QStringLiteral("+79990000000");
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), kPhone}, home.path()).code, 0);
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Призрак"), ghost}, home.path()).code, 0);

    ProgramRun r = runCli(with(QStringLiteral("read-profile"), sim,
                               {QStringLiteral("--all"), QStringLiteral("--wait"), QStringLiteral("3")}),
                          home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.endsWith(QStringLiteral("terminal | number | result\n") + QStringLiteral("Грузовик | ") + kPhone
                            + QStringLiteral(" | ok\nПризрак | ") + ghost + QStringLiteral(" | failed\n")),
             qPrintable(r.out));
    QVERIFY(r.out.contains(home.filePath(QStringLiteral("BIN/1234567890.bin"))));
    QVERIFY2(r.err.contains(QStringLiteral("нет профиля от +79990000000 за 3 с")), qPrintable(r.err));

    // One terminal by its name; a name the book does not hold is refused before the port is used.
    const QString file = home.filePath(QStringLiteral("profile.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(3)));
    r = runCli(with(QStringLiteral("send-profile"), sim, {QStringLiteral("--terminal"), QStringLiteral("Грузовик"), file}),
               home.path());
    QCOMPARE(r.code, 0);
    r = runCli(with(QStringLiteral("send-profile"), sim, {QStringLiteral("--terminal"), QStringLiteral("Никто"), file}),
               home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("нет терминала с названием Никто")), qPrintable(r.err));
    // One way of naming the terminals at a time; a GPRS send still needs its settings.
    QCOMPARE(runCli(with(QStringLiteral("send-gprs"), sim, {QStringLiteral("--all")}), home.path()).code, 2);
    QCOMPARE(runCli(with(QStringLiteral("send-profile"), sim,
                         {QStringLiteral("--all"), QStringLiteral("--phone"), kPhone, file}),
                    home.path())
                 .code,
             2);
}

void TestSmsTransferCli::fleetOverAModemPool()
{
    // Two modems, each the SIM one terminal talks to; a third terminal never answers.
    const QString second = QStringLiteral("+79161112233");
    const QString ghost = QStringLiteral("+79990000000");
    SimModem a;
    SimModem b;
    QVERIFY(a.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QVERIFY(b.start({QStringLiteral("--terminal"), second, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    for (const auto &[name, number] : {std::pair{QStringLiteral("Грузовик"), kPhone}, std::pair{QStringLiteral("Автобус"), second},
                                       std::pair{QStringLiteral("Призрак"), ghost}})
        QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), name, number}, home.path()).code, 0);
    const ProgramRun r = runCli({QStringLiteral("read-profile"), QStringLiteral("--port"), a.path(), QStringLiteral("--port"),
                                 b.path(), QStringLiteral("--all"), QStringLiteral("--wait"), QStringLiteral("2")},
                                home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.endsWith(QStringLiteral("terminal | number | result\nГрузовик | ") + kPhone
                            + QStringLiteral(" | ok\nАвтобус | ") + second + QStringLiteral(" | ok\nПризрак | ") + ghost
                            + QStringLiteral(" | failed\n")),
             qPrintable(r.out));
    QVERIFY(r.out.contains(home.filePath(QStringLiteral("BIN/9161112233.bin"))));
    // Each request went out through one line of the pool: the first and third through the
    // first modem, the second through the other; both were polled.
    QCOMPARE(a.received().count("AT+CMGS="), 4);
    QCOMPARE(b.received().count("AT+CMGS="), 2);
    QVERIFY(b.received().contains("AT+CMGL=4"));

    // The history keeps each terminal's outcome with its port; --failed --json for a script.
    const ProgramRun failed = runCli({QStringLiteral("history"), QStringLiteral("--failed"), QStringLiteral("--json")},
                                     home.path());
    QCOMPARE(failed.code, 0);
    const QJsonArray rows = QJsonDocument::fromJson(failed.out.toUtf8()).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0)[QStringLiteral("operation")].toString(), QStringLiteral("read-profile"));
    QCOMPARE(rows.at(0)[QStringLiteral("terminal")].toString(), QStringLiteral("Призрак"));
    QCOMPARE(rows.at(0)[QStringLiteral("port")].toString(), a.path());
    const ProgramRun byNumber = runCli({QStringLiteral("history"), QStringLiteral("--phone"), QStringLiteral("89161112233")},
                                      home.path());
    QCOMPARE(byNumber.code, 0);
    // Newest first: the read's outcome, after the profile the poll received.
    const QStringList lines = byNumber.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), QStringLiteral("time | operation | terminal | number | port | result | detail"));
    QVERIFY2(lines.at(1).contains(QStringLiteral(" | read-profile | Автобус | +79161112233 | ") + b.path()
                                  + QStringLiteral(" | ok | ")),
             qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).contains(QStringLiteral(" | profile-received | ")), qPrintable(lines.at(2)));

    // Again, only for the one whose last read failed.
    const qsizetype sentBefore = a.received().count("AT+CMGS=") + b.received().count("AT+CMGS=");
    const ProgramRun retry = runCli({QStringLiteral("read-profile"), QStringLiteral("--port"), a.path(),
                                     QStringLiteral("--port"), b.path(), QStringLiteral("--retry-failed"),
                                     QStringLiteral("--wait"), QStringLiteral("1"), QStringLiteral("--json")},
                                    home.path());
    QCOMPARE(retry.code, 1);
    const QJsonArray summary = QJsonDocument::fromJson(retry.out.toUtf8()).array();
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary.at(0)[QStringLiteral("terminal")].toString(), QStringLiteral("Призрак"));
    QCOMPARE(summary.at(0)[QStringLiteral("result")].toString(), QStringLiteral("failed"));
    QCOMPARE(summary.at(0)[QStringLiteral("port")].toString(), a.path());
    const QJsonArray book = QJsonDocument::fromJson(
                                runCli({QStringLiteral("book"), QStringLiteral("list"), QStringLiteral("--json")}, home.path())
                                    .out.toUtf8())
                                .array();
    QCOMPARE(book.size(), 3);
    QCOMPARE(book.at(1)[QStringLiteral("name")].toString(), QStringLiteral("Автобус"));
    QCOMPARE(book.at(1)[QStringLiteral("number")].toString(), second);
    QCOMPARE(a.received().count("AT+CMGS=") + b.received().count("AT+CMGS=") - sentBefore, 2);

    // GPRS settings to terminals named one by one: done when each has confirmed them.
    const ProgramRun gprs = runCli({QStringLiteral("send-gprs"), QStringLiteral("--port"), a.path(), QStringLiteral("--port"),
                                    b.path(), QStringLiteral("--phone"), kPhone, QStringLiteral("--phone"), second,
                                    QStringLiteral("--terminal"), QStringLiteral("Призрак"),
                                    QStringLiteral("--wait"), QStringLiteral("2"),
                                    QStringLiteral("--apn"), QStringLiteral("internet"), QStringLiteral("--server"),
                                    QStringLiteral("10.0.0.1"), QStringLiteral("--server-port"), QStringLiteral("1000")},
                                   home.path());
    QCOMPARE(gprs.code, 1);
    QVERIFY2(gprs.out.endsWith(QStringLiteral("terminal | number | result\n") + kPhone + QStringLiteral(" | ") + kPhone
                               + QStringLiteral(" | ok\n") + second + QStringLiteral(" | ") + second
                               + QStringLiteral(" | ok\nПризрак | ") + ghost + QStringLiteral(" | failed\n")),
             qPrintable(gprs.out));
}

void TestSmsTransferCli::fleetWithARefusal()
{
    // The modem refuses the first message of the run; the others go on, one terminal answers,
    // one stays silent. Each outcome reaches the summary and the history.
    const QString refused = QStringLiteral("+79995550000");
    const QString ghost = QStringLiteral("+79990000000");
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0"),
                       QStringLiteral("--sms-refuse"), QStringLiteral("1")}));
    QTemporaryDir home;
    for (const auto &[name, number] : {std::pair{QStringLiteral("Отказ"), refused}, std::pair{QStringLiteral("Грузовик"), kPhone},
                                       std::pair{QStringLiteral("Призрак"), ghost}})
        QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), name, number}, home.path()).code, 0);
    const ProgramRun r = runCli(with(QStringLiteral("read-profile"), sim,
                                     {QStringLiteral("--all"), QStringLiteral("--wait"), QStringLiteral("2")}),
                                home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.endsWith(QStringLiteral("terminal | number | result\nОтказ | ") + refused
                            + QStringLiteral(" | failed\nГрузовик | ") + kPhone + QStringLiteral(" | ok\nПризрак | ") + ghost
                            + QStringLiteral(" | failed\n")),
             qPrintable(r.out));
    QVERIFY2(r.err.contains(QStringLiteral("+CMS ERROR: 500")), qPrintable(r.err));
    QVERIFY2(r.err.contains(QStringLiteral("нет профиля от +79990000000 за 2 с")), qPrintable(r.err));
    // The refused terminal cost one message, the others two each.
    QCOMPARE(sim.received().count("AT+CMGS="), 5);

    const ProgramRun failed = runCli({QStringLiteral("history"), QStringLiteral("--failed"), QStringLiteral("--json")},
                                     home.path());
    QCOMPARE(failed.code, 0);
    const QJsonArray rows = QJsonDocument::fromJson(failed.out.toUtf8()).array();
    QCOMPARE(rows.size(), 2);
    QStringList names;
    for (const QJsonValue &row : rows) {
        QCOMPARE(row[QStringLiteral("operation")].toString(), QStringLiteral("read-profile"));
        names << row[QStringLiteral("terminal")].toString();
        if (row[QStringLiteral("terminal")].toString() == QStringLiteral("Отказ"))
            QVERIFY2(row[QStringLiteral("detail")].toString().contains(QStringLiteral("+CMS ERROR: 500")),
                     qPrintable(row[QStringLiteral("detail")].toString()));
    }
    names.sort();
    QCOMPARE(names, (QStringList{QStringLiteral("Отказ"), QStringLiteral("Призрак")}));
}

void TestSmsTransferCli::poolPortThatDoesNotOpen()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    const QString missing = home.filePath(QStringLiteral("нет-такого-порта"));
    const QString ghost = QStringLiteral("+79990000000");
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), kPhone}, home.path()).code, 0);
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Призрак"), ghost}, home.path()).code, 0);
    const ProgramRun r = runCli({QStringLiteral("read-profile"), QStringLiteral("--port"), missing, QStringLiteral("--port"),
                                 sim.path(), QStringLiteral("--all"), QStringLiteral("--wait"), QStringLiteral("2"),
                                 QStringLiteral("--json")},
                                home.path());
    QCOMPARE(r.code, 1);
    // Named once with why; the run went on through the port that opened.
    QCOMPARE(r.err.count(QStringLiteral("не удалось открыть порт")), 1);
    QVERIFY2(r.err.contains(QStringLiteral("не удалось открыть порт ") + missing), qPrintable(r.err));
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0)[QStringLiteral("result")].toString(), QStringLiteral("ok"));
    QCOMPARE(rows.at(1)[QStringLiteral("result")].toString(), QStringLiteral("failed"));
    for (const QJsonValue &row : rows)
        QCOMPARE(row[QStringLiteral("port")].toString(), sim.path());
    QCOMPARE(sim.received().count("AT+CMGS="), 4);
    const ProgramRun history = runCli({QStringLiteral("history"), QStringLiteral("--json")}, home.path());
    QCOMPARE(history.code, 0);
    int reads = 0;
    for (const QJsonValue &row : QJsonDocument::fromJson(history.out.toUtf8()).array())
        reads += row[QStringLiteral("operation")].toString() == QStringLiteral("read-profile") ? 1 : 0;
    QCOMPARE(reads, 2);

    // No port opens: the run ends as before, with nothing sent and no summary.
    const ProgramRun none = runCli({QStringLiteral("read-profile"), QStringLiteral("--port"), missing, QStringLiteral("--all")},
                                   home.path());
    QCOMPARE(none.code, 1);
    QCOMPARE(none.out, QString());
    QCOMPARE(none.err.count(QStringLiteral("не удалось открыть порт")), 1);
}

void TestSmsTransferCli::fleetThroughAGateway_data()
{
    QTest::addColumn<SmsdGateway::Store>("store");
    // One run per store: SQLite runs behind the real gateway in tst_gatewaytransfer.
    QTest::newRow("postgresql") << SmsdGateway::Store::Postgres;
}

void TestSmsTransferCli::fleetThroughAGateway()
{
    QFETCH(SmsdGateway::Store, store);
    QString why;
    if (!SmsdGateway::available(store, why))
        QSKIP(qPrintable(why));
    const QString second = QStringLiteral("+79161112233");
    const QString ghost = QStringLiteral("+79990000000");
    SmsdGateway gw(store);
    QVERIFY2(gw.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--terminal"), second,
                       QStringLiteral("--sms-delay"), QStringLiteral("0")},
                      why),
             qPrintable(why));
    QTemporaryDir home;
    for (const auto &[name, number] : {std::pair{QStringLiteral("Грузовик"), kPhone}, std::pair{QStringLiteral("Автобус"), second},
                                       std::pair{QStringLiteral("Призрак"), ghost}})
        QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), name, number}, home.path()).code, 0);
    // The gateway passes a message a second whatever the tool does; the tool's own waits shrink.
    qputenv("KVRSETUP_TIME_SCALE", "0.1");
    const ProgramRun r = runCli({QStringLiteral("read-profile"), QStringLiteral("--smsd"), gw.configPath(),
                                 QStringLiteral("--all"), QStringLiteral("--wait"), QStringLiteral("20")},
                                home.path(), 120000);
    qunsetenv("KVRSETUP_TIME_SCALE");
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.endsWith(QStringLiteral("terminal | number | result\nГрузовик | ") + kPhone
                            + QStringLiteral(" | ok\nАвтобус | ") + second + QStringLiteral(" | ok\nПризрак | ") + ghost
                            + QStringLiteral(" | failed\n")),
             qPrintable(r.out + r.err + gw.log()));
    QCOMPARE(readBytes(home.filePath(QStringLiteral("BIN/9161112233.bin"))).size(), 260);
    QVERIFY2(r.err.contains(QStringLiteral("Запрос профиля отправлен на номер +79990000000")), qPrintable(r.err));
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM sentitems")).value(0), QStringLiteral("6"));
    // The history names the gateway's file where a modem's port would stand.
    const ProgramRun history = runCli({QStringLiteral("history"), QStringLiteral("--terminal"), QStringLiteral("Автобус"),
                                       QStringLiteral("--json")},
                                      home.path());
    const QJsonArray rows = QJsonDocument::fromJson(history.out.toUtf8()).array();
    QVERIFY(!rows.isEmpty());
    for (const QJsonValue &row : rows)
        QCOMPARE(row[QStringLiteral("port")].toString(), gw.configPath());
    // Nothing is left for a poll: every answer of the system's was marked processed.
    const ProgramRun poll = runCli({QStringLiteral("poll"), QStringLiteral("--smsd"), gw.configPath()}, home.path());
    QCOMPARE(poll.code, 0);
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM inbox WHERE \"Processed\" = 'false'")).value(0), QStringLiteral("0"));
}

void TestSmsTransferCli::twoWorkstationsOnOneGateway()
{
    // Workstation A reads four terminals while B keeps polling the same gateway: A gets every
    // profile, whole, B keeps none of them, and every answer is acted on once.
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Sqlite, why))
        QSKIP(qPrintable(why));
    const QStringList phones{kPhone, QStringLiteral("+79161112233"), QStringLiteral("+79035554433"),
                             QStringLiteral("+79267778899")};
    SmsdGateway gw;
    QTemporaryDir homeA;
    QTemporaryDir homeB;
    // Each terminal holds a profile of its own, so that halves joined across terminals would show.
    QStringList options{QStringLiteral("--sms-delay"), QStringLiteral("500")};
    for (int i = 0; i < phones.size(); ++i) {
        const QString image = homeB.filePath(QStringLiteral("terminal%1.bin").arg(i));
        QVERIFY(writeBytes(image, SmsTest::profileFile(10 + i)));
        options << QStringLiteral("--terminal") << phones[i] + QLatin1Char('=') + image;
    }
    QVERIFY2(gw.start(options, why), qPrintable(why));
    for (int i = 0; i < phones.size(); ++i)
        QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("t%1").arg(i), phones[i]}, homeA.path()).code, 0);
    QProcess a;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KVRSETUP_HOME"), homeA.path());
    env.insert(QStringLiteral("KVRSETUP_WORKSTATION"), QStringLiteral("A"));
    env.insert(QStringLiteral("KVRSETUP_TIME_SCALE"), QStringLiteral("0.1"));
    a.setProcessEnvironment(env);
    a.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"), {QStringLiteral("read-profile"), QStringLiteral("--smsd"),
                                                          gw.configPath(), QStringLiteral("--all"), QStringLiteral("--wait"),
                                                          QStringLiteral("300")});
    QVERIFY(a.waitForStarted());
    const QByteArray workstationBefore = qgetenv("KVRSETUP_WORKSTATION");
    qputenv("KVRSETUP_WORKSTATION", "B");
    // The run's wait is 30 s at this time scale; B polls all along.
    int polls = 0;
    while (!a.waitForFinished(200) && polls < 300) {
        QCOMPARE(runCli({QStringLiteral("poll"), QStringLiteral("--smsd"), gw.configPath()}, homeB.path()).code, 0);
        ++polls;
    }
    qputenv("KVRSETUP_WORKSTATION", workstationBefore);
    QVERIFY(a.state() == QProcess::NotRunning || a.waitForFinished(60000));
    const QString out = QString::fromUtf8(a.readAllStandardOutput());
    const QString err = QString::fromUtf8(a.readAllStandardError());
    QVERIFY2(a.exitCode() == 0, qPrintable(out + err + gw.log()));
    for (int i = 0; i < phones.size(); ++i)
        QCOMPARE(readBytes(homeA.filePath(QStringLiteral("BIN/%1.bin").arg(phones[i].mid(2)))), SmsTest::profileFile(10 + i));
    QVERIFY(!QFileInfo::exists(homeB.filePath(QStringLiteral("BIN"))) || QDir(homeB.filePath(QStringLiteral("BIN"))).isEmpty());
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM inbox WHERE \"Processed\" = 'false'")).value(0), QStringLiteral("0"));
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM kvr_halves")).value(0), QStringLiteral("0"));
    QCOMPARE(gw.rows(QStringLiteral("SELECT status, workstation, COUNT(*) FROM kvr_tasks GROUP BY status, workstation")),
             QStringList{QStringLiteral("confirmed|kvrsetup@A|4")});
}

void TestSmsTransferCli::tasksFollowTheAnswers()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("3000")}));
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("profile.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(5)));
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), kPhone}, home.path()).code, 0);
    const auto tasks = [&home] { return tasksJson(home.path()); };
    // A send is sent, not yet confirmed; each packet was written as it went.
    QCOMPARE(runCli(with(QStringLiteral("send-profile"), sim, {QStringLiteral("--phone"), kPhone, file}), home.path()).code, 0);
    QJsonArray all = tasks();
    QCOMPARE(all.size(), 1);
    QCOMPARE(all[0][QStringLiteral("status")].toString(), QStringLiteral("sent"));
    QCOMPARE(all[0][QStringLiteral("terminal")].toString(), QStringLiteral("Грузовик"));
    QCOMPARE(all[0][QStringLiteral("packets")][1][QStringLiteral("state")].toString(), QStringLiteral("sent"));
    // A read whose wait is over before the answer: expired, a failure in the history too.
    ProgramRun r = runCli(with(QStringLiteral("read-profile"), sim, {QStringLiteral("--phone"), kPhone,
                                                                    QStringLiteral("--wait"), QStringLiteral("0")}),
                          home.path());
    QCOMPARE(r.code, 1);
    all = tasks();
    QCOMPARE(all[0][QStringLiteral("operation")].toString(), QStringLiteral("read-profile"));
    QCOMPARE(all[0][QStringLiteral("status")].toString(), QStringLiteral("expired"));
    // The answers come late: any later poll confirms the send and the read.
    QTest::qWait(4000);
    QCOMPARE(runCli(with(QStringLiteral("poll"), sim, {}), home.path()).code, 0);
    all = tasks();
    QCOMPARE(all[0][QStringLiteral("status")].toString(), QStringLiteral("confirmed"));
    QCOMPARE(all[0][QStringLiteral("detail")].toString(), home.filePath(QStringLiteral("BIN/1234567890.bin")));
    QCOMPARE(all[1][QStringLiteral("status")].toString(), QStringLiteral("confirmed"));
    QCOMPARE(all[1][QStringLiteral("packets")][0][QStringLiteral("state")].toString(), QStringLiteral("confirmed"));
    // A retry asks nobody: the failure was answered after all.
    const QByteArray before = sim.received();
    r = runCli(with(QStringLiteral("read-profile"), sim, {QStringLiteral("--retry-failed")}), home.path());
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains(QStringLiteral("нет терминалов, у которых последний запуск не удался")), qPrintable(r.err));
    QVERIFY(!sim.received().mid(before.size()).contains("AT+CMGS"));
}

void TestSmsTransferCli::profileLeftInPartIsCompletedFirst()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    QTemporaryDir home;
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), kPhone}, home.path()).code, 0);
    // What a process killed between the two packets leaves behind: 0x33 written as sent, 0x35
    // pending; and one killed while handing 0x35 to the modem: 0x35 left sending.
    const QByteArray profile = SmsTest::profileFile(3);
    const QString other = QStringLiteral("+71234567899");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("killed"));
        db.setDatabaseName(home.filePath(QStringLiteral("Data.db")));
        QVERIFY(db.open());
        TaskBook book(QStringLiteral("killed"), Clock::system());
        QString error;
        QVERIFY2(book.ensureSchema(error), qPrintable(error));
        for (const QString &number : {kPhone, other}) {
            TaskBook::NewTask task;
            task.number = number;
            task.payload = profile;
            task.packets = {0x33, 0x35};
            const std::optional<qint64> id = book.create(task, error);
            QVERIFY2(id, qPrintable(error));
            QCOMPARE(book.packetSending(*id, 0x33, error), TaskBook::Change::Done);
            QCOMPARE(book.packetEnded(*id, 0x33, TaskBook::PacketState::Sent, {}, error), TaskBook::Change::Done);
            if (number == other)
                QCOMPARE(book.packetSending(*id, 0x35, error), TaskBook::Change::Done);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("killed"));

    // The next command completes the first before its own work, from the task's copy; the second
    // may have had its 0x35 and is not sent again.
    ProgramRun r = runCli(with(QStringLiteral("poll"), sim, {}), home.path());
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.startsWith(QStringLiteral("Профиль ") + other
                              + QStringLiteral(" отправлен не полностью, не известно, дошел ли пакет 0x35h: не досылается\n")
                              + QStringLiteral("Профиль ") + kPhone
                              + QStringLiteral(" отправлен не полностью, досылается пакет 0x35h\n")
                              + QStringLiteral("Профиль отправлен на номер ") + kPhone),
             qPrintable(r.err));
    const QByteArray traffic = sim.received();
    QCOMPARE(traffic.count("AT+CMGS="), 1);
    QVERIFY(traffic.contains(TransferRecord::forPacket(PacketType::ProfileBlock2, profile).octets().toHex().toUpper()));
    QVERIFY(traffic.indexOf("AT+CMGS=") < traffic.indexOf("AT+CMGL"));
    const QJsonArray tasks = tasksJson(home.path());
    QCOMPARE(tasks.size(), 2);
    QCOMPARE(tasks[0][QStringLiteral("status")].toString(), QStringLiteral("failed"));
    QCOMPARE(tasks[1][QStringLiteral("status")].toString(), QStringLiteral("sent"));
    // The poll after it read the terminal's confirmation of the packet.
    QCOMPARE(tasks[1][QStringLiteral("packets")][1][QStringLiteral("state")].toString(), QStringLiteral("confirmed"));
    // Nothing is sent twice by a later start.
    QCOMPARE(runCli(with(QStringLiteral("poll"), sim, {}), home.path()).code, 0);
    QCOMPARE(sim.received().count("AT+CMGS="), 1);
}
