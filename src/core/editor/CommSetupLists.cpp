#include "core/editor/CommSetupLists.h"

#include "core/settings/NumericText.h"

#include <QSerialPortInfo>

namespace CommSetupLists {

QStringList portItems(const QStringList &devices)
{
    // The devices this machine has first: they are what an operator looks for; the numbered
    // ports (COM1.., /dev/ttyS0..) after them, for a setting of earlier versions.
    QStringList items;
    for (const QString &d : devices) {
        if (!d.isEmpty() && !items.contains(d))
            items << d;
    }
    for (int n = 1; n <= 40; ++n) {
        if (!items.contains(QString::number(n)))
            items << QString::number(n);
    }
    return items;
}

QStringList speedItems()
{
    return {QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("9600"),
            QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
            QStringLiteral("115200")};
}
QStringList dataBitsItems() { return {QStringLiteral("7"), QStringLiteral("8")}; }
QStringList parityItems() { return {QStringLiteral("n"), QStringLiteral("e"), QStringLiteral("o")}; }
QStringList stopBitsItems() { return {QStringLiteral("1"), QStringLiteral("2")}; }

QStringList presentDevices()
{
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &p : ports)
        out << p.systemLocation();
    out.sort();
    return out;
}

int FindIndex(const QStringList &items, const QString &text)
{
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].toLower() == text)
            return i;
    }
    return -1;
}

QString portText(const SerialSettings &s) { return s.port.trimmed(); }
QString speedText(const SerialSettings &s) { return QString::number(s.baudRate); }
QString dataBitsText(const SerialSettings &s) { return QString::number(s.dataBits); }
QString parityText(const SerialSettings &s) { return QString(s.parity); }
QString stopBitsText(const SerialSettings &s) { return QString::number(s.stopBits); }

static void storeNumber(int &target, const QString &text, qint64 lo, qint64 hi)
{
    qint64 v = 0;
    if (NumericText::toInt(text, lo, hi, v))
        target = int(v);
}

void store(SerialSettings &s, const QString &port, const QString &speed, const QString &dataBits,
           const QString &parity, const QString &stopBits)
{
    storeNumber(s.dataBits, dataBits, -32768, 32767);
    const QString p = parity.trimmed();
    if (!p.isEmpty())
        s.parity = p.at(0);
    storeNumber(s.baudRate, speed, 0, 0x7FFFFFFF);
    s.setPort(port);
    storeNumber(s.stopBits, stopBits, -32768, 32767);
}

} // namespace CommSetupLists
