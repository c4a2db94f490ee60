#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A tracking terminal behind the simulated network: its own number and settings image (a
// two-block data file, 260 bytes). It applies profile packets 0x33/0x35 and confirms them,
// confirms GPRS settings 0x57, and answers the read requests 0x43/0x45 with its blocks.
// Records whose sum does not match are dropped without an answer, as a terminal would.
class SimTerminal
{
public:
    static constexpr int ImageSize = 260;
    static constexpr int BlockSize = 130;
    static constexpr int DataOctets = 128;

    SimTerminal(const QString &number, const QByteArray &image);
    // A made-up image with valid block sums, the same for the same number.
    static QByteArray defaultImage(const QString &number);

    QString number() const { return m_number; }
    QByteArray image() const { return m_image; }
    QByteArray gprsBlock() const { return m_gprs; }

    // One message to this terminal. Returns the user data of its answers (140 octets each,
    // coding F6) and what it did, for the trace.
    QList<QByteArray> receive(quint8 dataCoding, const QByteArray &userData, QString &note);

private:
    QList<QByteArray> receiveRecord(const QByteArray &ud, QString &note);
    QList<QByteArray> receiveScenarioPacket(const QByteArray &ud, QString &note);
    static QByteArray answer(quint8 type, const QByteArray &data);
    void setBlock(int offset, const QByteArray &data128);

    QString m_number;
    QByteArray m_image;
    QByteArray m_gprs;
};
