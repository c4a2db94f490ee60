#pragma once

#include "core/app/AppState.h"

#include <QString>

class SerialDevice;
class UserPrompts;

// Opening the serial port from the program-wide serial settings.
namespace LinkTuning {

// "9600,n,8,1": baud rate, parity letter, data bits, stop bits.
QString settingsString(const SerialSettings &s);
// A port number n means /dev/ttyS<n-1> (COM<n> on Windows); a path is used as given.
QString deviceName(const QString &port);
// Caption of lblInfo: "COM" + number + "," + settings, or the path + "," + settings.
QString infoText(const SerialSettings &s);

} // namespace LinkTuning

// (Re)opens port with the settings. On failure shows "не верны параметры
// последовательного порта, проверьте настройки" through prompts (when given) and
// puts the reason into errorDetail. infoText always receives the lblInfo caption.
// A device that refuses RTS/DTR control (a pseudo-terminal) still counts as open.
bool LinkTune(SerialDevice &port, const SerialSettings &settings, UserPrompts *prompts, QString *infoText = nullptr,
              QString *errorDetail = nullptr);
