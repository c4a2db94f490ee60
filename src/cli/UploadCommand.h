#pragma once

#include "core/app/AppState.h"

#include <QString>
#include <QStringList>

// kvrsetup-cli upload, its options in the command table: the firmware load of the link
// window's "Загрузить", the same log lines on standard output (the load's record), the
// progress captions on standard error. The last bank and page address go to Default.ini of
// the application folder after every acknowledged block.
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
