#include "TestCliTable.h"

#include "TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The names of the overview's command list, two spaces in.
QStringList commandNames()
{
    QStringList names;
    const ProgramRun r = runCli({QStringLiteral("help")});
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    for (qsizetype i = lines.indexOf(QStringLiteral("Команды:")) + 1; i > 0 && i < lines.size(); ++i) {
        if (!lines[i].startsWith(QStringLiteral("  ")))
            break;
        names << lines[i].trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return names;
}

QString utf8File(const QString &path)
{
    return QString::fromUtf8(readBytes(path));
}

} // namespace

void TestCliTable::helpAndBadOptionOfEveryCommand()
{
    const QStringList names = commandNames();
    QCOMPARE(names.size(), 17);
    for (const QString &name : names) {
        const QString usage = QStringLiteral("Использование: kvrsetup-cli ") + name;
        const ProgramRun help = runCli({name, QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.startsWith(usage) && help.err.isEmpty(), qPrintable(name));
        QCOMPARE(runCli({QStringLiteral("help"), name}).out, help.out);

        const ProgramRun bad = runCli({name, QStringLiteral("--no-such-option")});
        QCOMPARE(bad.code, 2);
        QVERIFY2(bad.out.isEmpty(), qPrintable(name));
        QVERIFY2(bad.err.startsWith(QStringLiteral("kvrsetup-cli: неизвестный параметр --no-such-option\n") + usage),
                 qPrintable(bad.err));
    }
}

void TestCliTable::withoutACommand()
{
    const ProgramRun help = runCli({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    QVERIFY(help.out.contains(QStringLiteral("Команды:")) && help.err.isEmpty());
    const ProgramRun none = runCli({});
    QCOMPARE(none.code, 2);
    QCOMPARE(none.err, help.out);
    const ProgramRun unknown = runCli({QStringLiteral("frobnicate")});
    QCOMPARE(unknown.code, 2);
    QCOMPARE(unknown.err, QStringLiteral("kvrsetup-cli: нет команды frobnicate\n") + help.out);
}

void TestCliTable::strictOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("problem");
    const QStringList gprs{"send-gprs", "--port", "/dev/null", "--apn", "a", "--server", "10.0.0.1", "--server-port", "1"};
    QTest::newRow("no value before an option") << gprs + QStringList{"--phone", "--all"}
                                               << "для --phone нужно значение NUMBER";
    QTest::newRow("a value for a flag") << QStringList{"check-table", "--service=1", "t"}
                                        << "параметр --service задается без значения";
    QTest::newRow("an option twice") << QStringList{"history", "--since", "2026-01-01", "--since=2026-02-01"}
                                     << "параметр --since задан дважды";
    QTest::newRow("one port for a poll") << QStringList{"poll", "--port", "/dev/null", "--port", "/dev/zero"}
                                         << "параметр --port задан дважды";
    QTest::newRow("a value after =") << QStringList{"history", "--since=--x"} << "недопустимое значение --since: --x";
    QTest::newRow("not a choice") << QStringList{"convert", "--table", "t", "--data", "d", "--out", "o", "--form", "300"}
                                  << "недопустимое значение --form: 300";
    QTest::newRow("plain after --") << QStringList{"decode-pdu", "--", "--x", "--y"} << "лишний аргумент --y";
    QTest::newRow("escaped, its value unsaid") << QStringList{"decode-pdu", "--x\x1B[2J=1234"}
                                               << "неизвестный параметр --x\\x1B[2J";
}

void TestCliTable::strictOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QString, problem);
    const ProgramRun r = runCli(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QStringLiteral("kvrsetup-cli: ") + problem + QStringLiteral("\nИспользование: kvrsetup-cli ")
                              + args.first() + QLatin1Char(' ')),
             qPrintable(r.err));
}

void TestCliTable::renamedOption()
{
    // The serial commands' old --data still counts, with a warning; report's --data stays its data file.
    const QString warning = QStringLiteral("kvrsetup-cli: --data устарел, используйте --data-bits\n");
    ProgramRun r = runCli({"modem-info", "--port", "/nonexistent/ttyKVR", "--data", "7"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(warning) && r.err.contains(QStringLiteral("не удалось открыть порт")), qPrintable(r.err));
    r = runCli({"at", "--port", "1", "--data-bits=8", "--data", "7", "AT"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(warning + QStringLiteral("kvrsetup-cli: параметр --data задан дважды\n")), qPrintable(r.err));
}

void TestCliTable::readmeListsTheCommands()
{
    const QString readme = utf8File(QStringLiteral(KVR_SHIPPED_DATA_DIR "/../README.md"));
    const QString begin = QStringLiteral("<!-- kvrsetup-cli help --markdown -->\n");
    const qsizetype from = readme.indexOf(begin) + begin.size();
    const qsizetype to = readme.indexOf(QStringLiteral("<!-- end kvrsetup-cli help --markdown -->"));
    QVERIFY(from >= begin.size() && to > from);
    QCOMPARE(readme.mid(from, to - from), runCli({QStringLiteral("help"), QStringLiteral("--markdown")}).out);
}

void TestCliTable::manPageIsTheTable()
{
    // The page installed as kvrsetup-cli(1); "kvrsetup-cli help --man > dist/kvrsetup-cli.1" makes it anew.
    const QString page = utf8File(QStringLiteral(KVR_SHIPPED_DATA_DIR "/../dist/kvrsetup-cli.1"));
    const ProgramRun r = runCli({QStringLiteral("help"), QStringLiteral("--man")});
    QCOMPARE(r.code, 0);
    QCOMPARE(page, r.out);
    for (QString name : commandNames())
        QVERIFY2(page.contains(QStringLiteral("\n.SS ") + name.replace(QLatin1Char('-'), QStringLiteral("\\-")) + QLatin1Char('\n')),
                 qPrintable(name));
}

void TestCliTable::versionAndFolder()
{
    QTemporaryDir home;
    const ProgramRun r = runCli({QStringLiteral("--version")}, home.path());
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(QRegularExpression(QStringLiteral("^kvrsetup-cli \\d+\\.\\d+(\\.\\d+)*$")).match(lines[0]).hasMatch(),
             qPrintable(lines[0]));
    QCOMPARE(lines[1], home.path());
    // The build folder is a program folder of its own.
    QCOMPARE(runCli({QStringLiteral("--version")}).out.section(QLatin1Char('\n'), 1, 1),
             QStringLiteral(KVR_BIN_DIR));
    QCOMPARE(runCli({QStringLiteral("--version"), QStringLiteral("x")}).code, 2);
}

void TestCliTable::bashCompletes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("command") << "sh" << "show";
    QTest::newRow("option") << "convert --fo" << "--form";
    QTest::newRow("choice") << "convert --form ''" << "260 390";
    QTest::newRow("serial choice") << "upload --parity ''" << "n e o";
    QTest::newRow("no old name") << "at --da" << "--data-bits";
    QTest::newRow("book action") << "book ''" << "list add edit delete";
    QTest::newRow("help topic") << "help dec" << "decode-pdu";
    QTest::newRow("no file for a number") << "send-gprs --phone ''" << "";
}

void TestCliTable::bashCompletes()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    // The file shipped beside the program is the one the table makes.
    const QString shipped = QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli.bash");
    QCOMPARE(utf8File(shipped), runCli({QStringLiteral("help"), QStringLiteral("--bash-completion")}).out);
    QCOMPARE(utf8File(QStringLiteral(KVR_SHIPPED_DATA_DIR "/kvrsetup-cli.bash")), utf8File(shipped));

    QProcess bash;
    bash.setWorkingDirectory(QStringLiteral(KVR_BIN_DIR));
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"), QStringLiteral("source kvrsetup-cli.bash; COMP_WORDS=(kvrsetup-cli %1); "
                                                     "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kvrsetup_cli; "
                                                     "echo \"${COMPREPLY[*]}\"")
                                          .arg(line)});
    QVERIFY(bash.waitForFinished(10000));
    QCOMPARE(bash.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).trimmed(), expected);
}
