#include "cli/CliCommands.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvrsetup-cli"));
    // The texts are Russian in the source; another language is a kvrsetup-cli_<language>.qm beside the program.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("kvrsetup-cli"), QStringLiteral("_"),
                        QCoreApplication::applicationDirPath()))
        QCoreApplication::installTranslator(&translator);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    CliCommands cli(out);
    return cli.run(QCoreApplication::arguments().mid(1));
}
