#pragma once

#include "core/app/AppState.h"

#include <QString>
#include <QStringList>

// kvrsetup-cli upload --port DEVICE [--baud N --parity n|e|o --data 7|8 --stop 1|2]
//                     (--phone NUMBER | --terminal NAME) [--linear] [--bank N] [--page HEX] [--resume] FILE [FILE2 [FILE3]]
// The firmware load of the link window's "Загрузить": the same log lines on standard
// output, the progress captions on standard error. The last bank and page address go
// to Default.ini of the application folder after every acknowledged block.
struct UploadOptions
{
    SerialSettings serial;
    QString phone;
    QString terminal; // --terminal NAME: the number comes from the address book
    bool linear = false;
    QString bank = QStringLiteral("0");
    QString page; // empty: the window's default, 2800 (banked) or 1000 (linear)
    bool resume = false;
    QStringList files;
};

struct CliContext;
struct CliOptions;

// 0 when the terminal accepted the closing packet, 1 otherwise (also after Ctrl-C,
// which breaks off as "Прервать передачу" does).
// The exchanges wait in event loops: a QCoreApplication must exist.
int runUpload(const CliOptions &o, CliContext &c);
