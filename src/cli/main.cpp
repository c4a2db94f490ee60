#include "cli/CliCommands.h"
#include "cli/CliOutput.h"
#include "cli/Interrupts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The user's data folder of both programs is ~/.local/share/kvrsetup.
    QCoreApplication::setApplicationName(QStringLiteral("kvrsetup"));
    // The texts are Russian in the source; another language is a kvrsetup-cli_<language>.qm beside the program.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("kvrsetup-cli"), QStringLiteral("_"),
                        QCoreApplication::applicationDirPath()))
        QCoreApplication::installTranslator(&translator);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    ignoreBrokenPipe();
    CliCommands cli(out);
    const int rc = cli.run(QCoreApplication::arguments().mid(1));
    out.flush();
    // A result that did not reach standard output (a full disk, a closed pipe) is a failure.
    if (out.status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printMessage(QStringLiteral("ошибка записи в стандартный вывод"));
        return rc == 0 ? 1 : rc;
    }
    return rc;
}
