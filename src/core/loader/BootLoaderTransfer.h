#pragma once

#include "core/common/Task.h"
#include "core/loader/FirmwarePacket.h"

#include <QObject>
#include <QString>

#include <functional>

class BankImages;
class LinkExchange;

// The terminal's boot-loader protocol over a standing data call: boot loader
// entry, the first header request, the block loop (stop-and-wait: header "[",
// data "\", "OK" CR, "Z") and the closing packet "^" that rewrites the first
// 256 bytes of bank 0. Log lines go to the link's info log, marks to its traffic log.
class BootLoaderTransfer : public QObject
{
    Q_OBJECT
public:
    // Where the transfer starts: the panel's lists, or the last acknowledged block.
    struct StartChoice
    {
        bool continueFromLast = false; // chkLastAdr
        QString pageText;              // cmbPageAdr, hexadecimal
        QString bankText;              // cmbBank, decimal
    };

    // The last block acknowledged (or the start chosen): where a resumed transfer goes on.
    struct LastPosition
    {
        qint16 bank = 0;
        qint32 address = 0;
    };

    BootLoaderTransfer(LinkExchange &link, const BankImages &images, QObject *parent = nullptr);

    LastPosition lastPosition() const { return m_last; }
    // Where a transfer with continueFromLast starts.
    void setLastPosition(LastPosition position) { m_last = position; }

    void setStartChoice(const StartChoice &choice) { m_start = choice; }
    // Asked before every step: true ends the transfer at once (the operator's break).
    void setCancelled(const std::function<bool()> &cancelled) { m_cancelled = cancelled; }

    // Banked image, 1024-byte blocks; true when the closing packet was accepted.
    Task<bool> LoadData();
    // Linear image, 512-byte blocks, "Z" asks for the block again. Always false, as
    // its caller ignores it; closingAccepted() tells how it ended.
    Task<bool> LoadData1();

    bool closingAccepted() const { return m_closingAccepted; }
    const FirmwarePacket &packet() const { return m_packet; }

    // "Загружено " + the percentage rounded (halves to even) in the pattern "##.0" + "%".
    static QString progressCaption(double percent);

signals:
    // New caption for lblPercent, and its figure (whole percent) for a progress bar.
    void progressChanged(const QString &caption, int percent);
    // lastPosition() has just changed.
    void lastPositionStored();

private:
    enum class Variant { Banked, Linear };
    // One block position: bank and address within it.
    struct Position
    {
        int bank = 0;
        qint32 address = 0;
        bool none = false; // beyond the end of bank 3: only the closing packet follows
    };

    Task<bool> run(Variant variant);
    Task<bool> enterBootLoader(Variant variant);
    Task<bool> awaitFirstHeaderRequest();
    Position startPosition(Variant variant);
    Task<bool> bankedBlocks(Position at);
    Task<bool> linearBlocks(Position at);
    Task<bool> acknowledgeAndAwaitHeaderRequest(int bank, qint32 address, double percent);
    Task<bool> closingPacket(Variant variant);

    Task<bool> exchange(QByteArray out, QString expect1, QString expect2, int timeOut, int length);
    int answerIndex() const;
    QString answer() const;
    void log(const QString &line);
    bool fail(const QString &line);
    void storePosition(int bank, qint32 address);

    LinkExchange &m_link;
    const BankImages &m_images;
    LastPosition m_last;
    StartChoice m_start;
    FirmwarePacket m_packet;
    bool m_closingAccepted = false;
    std::function<bool()> m_cancelled;
    bool cancelled() const { return m_cancelled && m_cancelled(); }
    // A pause between steps; none once the transfer is broken off.
    Task<void> pause(int ms);
};
