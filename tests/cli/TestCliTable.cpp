#include "TestCliTable.h"

#include "TestFiles.h"

#include <QProcess>
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
    QCOMPARE(names.size(), 16);
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

void TestCliTable::readmeListsTheCommands()
{
    const QString readme = utf8File(QStringLiteral(KVR_SHIPPED_DATA_DIR "/../README.md"));
    const QString begin = QStringLiteral("<!-- kvrsetup-cli help --markdown -->\n");
    const qsizetype from = readme.indexOf(begin) + begin.size();
    const qsizetype to = readme.indexOf(QStringLiteral("<!-- end kvrsetup-cli help --markdown -->"));
    QVERIFY(from >= begin.size() && to > from);
    QCOMPARE(readme.mid(from, to - from), runCli({QStringLiteral("help"), QStringLiteral("--markdown")}).out);
}

void TestCliTable::bashCompletes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("command") << "sh" << "show";
    QTest::newRow("option") << "convert --fo" << "--form";
    QTest::newRow("choice") << "convert --form ''" << "260 390";
    QTest::newRow("serial choice") << "upload --parity ''" << "n e o";
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
