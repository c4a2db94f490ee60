// Timings of the settings model: parsing a large control table, data files, the report.
#include "core/settings/ControlTable.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <functional>

namespace {
QString bigTable(int lines)
{
    static const char *types[] = {"BYTE", "WORD", "INT", "SINT", "MBYTE", "BIT", "STRING", "X"};
    QString t;
    for (int i = 0; i < lines; ++i) {
        const char *type = types[i % 8];
        const int offset = 25 + (i % 90);
        const int length = QByteArray(type) == "BIT" ? 4 : (QByteArray(type) == "MBYTE" ? 0x30 : 8);
        t += QStringLiteral("%1~%2~%3~Группа %4~Событие номер %2 с длинным названием~Подсказка к событию~%5~%6~"
                            "Параметр %7~0~1000~%8~запас~ед.\r\n")
                 .arg(i % 10 == 0 ? 0 : 1)
                 .arg(i / 80)
                 .arg(offset)
                 .arg(i / 400)
                 .arg(QLatin1String(type))
                 .arg(length)
                 .arg(i)
                 .arg(i % 7);
    }
    return t;
}

double perOp(int repeats, const std::function<void()> &op)
{
    op(); // warm-up
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeats; ++i)
        op();
    return double(timer.nsecsElapsed()) / repeats / 1000.0; // microseconds
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;

    const QString tablePath = dir.filePath(QStringLiteral("big.stp"));
    {
        QSaveFile f(tablePath);
        f.open(QIODevice::WriteOnly);
        f.write(TextFile::encode1251(bigTable(5000)));
        f.commit();
    }
    ControlTable table;
    QString err;
    const double parseUs = perOp(20, [&] {
        err.clear();
        if (!table.ParseControlTable(tablePath, false, err))
            qFatal("table does not parse: %s", qPrintable(err));
    });
    out << "parse 5000-line table (file, cp1251): " << parseUs / 1000.0 << " ms, " << table.EntryCount()
        << " entries\n";

    SettingsImage img;
    for (int i = 0; i < SettingsImage::BlockSize; ++i)
        img.Block1[i] = img.Block2[i] = img.Block3[i] = quint8(i);
    const QString p390 = dir.filePath(QStringLiteral("a.bin"));
    const double saveUs = perOp(500, [&] {
        QSaveFile f(p390);
        f.open(QIODevice::WriteOnly);
        f.write(SettingsFiles::buildFile(img, 3));
        f.commit();
    });
    out << "save 390-byte data file (temporary file + rename): " << saveUs << " us\n";
    SettingsImage loaded;
    const double loadUs = perOp(2000, [&] {
        SettingsFiles::readFile(p390, SettingsFiles::formForLength(SettingsFiles::FileLength(p390)), loaded);
    });
    out << "load 390-byte data file by length: " << loadUs << " us\n";

    const QString report = dir.filePath(QStringLiteral("Report.xml"));
    const double reportUs = perOp(20, [&] {
        QString error;
        EventReport::write(report, table, img, error);
    });
    out << "write report for the 5000-line table: " << reportUs / 1000.0 << " ms, "
        << SettingsFiles::FileLength(report) << " bytes\n";
    return 0;
}
