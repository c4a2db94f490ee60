#pragma once

#include <QChar>
#include <QString>

// The serial port settings of the program. One rule for what a stored port is and one
// validator for what can be opened, used by the start-up, the serial dialog, the link
// and the command-line tool alike.
struct SerialSettings
{
    // A port number ("1".."40" in the dialog) or a device path typed by the operator.
    QString port = QStringLiteral("1");
    int baudRate = 9600;
    QChar parity = QLatin1Char('n');
    int dataBits = 8;
    int stopBits = 1;
    // A gammu-smsd configuration file: the link window's profile SMS go through that gateway
    // instead of the modem on the port (empty: the modem). Firmware always takes the port.
    QString smsGateway;

    // A port text is a number when it reads as a whole number (Default.ini's numeric rule,
    // 16-bit range); anything else is a device path. "0" and negatives are numbers, which
    // the validator then refuses.
    static bool isPortNumber(const QString &text);
    // The number of a numeric port, 0 for a device path.
    int portNumber() const;

    // Stores a number as its plain decimal text, anything else as given (trimmed).
    // False (and nothing changes) for an empty text.
    bool setPort(const QString &text);

    // Empty when a port can be opened with these settings, otherwise what is wrong
    // ("port 0", "parity x", ...).
    QString problem() const;
    bool isValid() const { return problem().isEmpty(); }
};
