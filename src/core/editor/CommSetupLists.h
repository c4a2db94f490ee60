#pragma once

#include "core/app/AppState.h"

#include <QString>
#include <QStringList>

// Item lists and stored values of the serial settings dialog.
namespace CommSetupLists {
// "1".."40", then the given device paths not already listed.
QStringList portItems(const QStringList &devices);
QStringList speedItems();
QStringList dataBitsItems();
QStringList parityItems();
QStringList stopBitsItems();
// Serial devices present on this machine.
QStringList presentDevices();

// Index of the first item whose lower-case text equals text; -1 when none.
int FindIndex(const QStringList &items, const QString &text);

// The texts of the current values, in the form the lists hold them.
QString portText(const SerialSettings &s);
QString speedText(const SerialSettings &s);
QString dataBitsText(const SerialSettings &s);
QString parityText(const SerialSettings &s);
QString stopBitsText(const SerialSettings &s);

// Stores the chosen texts: a port number or a device path, the numbers from their decimal text.
// A text that is no value (empty, not a number) leaves that setting as it was.
void store(SerialSettings &s, const QString &port, const QString &speed, const QString &dataBits,
           const QString &parity, const QString &stopBits);
} // namespace CommSetupLists
