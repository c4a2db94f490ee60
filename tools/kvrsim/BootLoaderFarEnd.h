#pragma once

#include "FarEnd.h"

#include <QByteArray>
#include <QString>

// A terminal behind the data call with its boot loader: state query "v",
// boot command "b", header request "r", then header and data packets checked
// and written into a memory image of four 64 KB banks (erased to 0xFF), which
// is dumped to a file before each acknowledgement.
class BootLoaderFarEnd : public FarEnd
{
    Q_OBJECT
public:
    static constexpr int BankSize = 0x10000;
    static constexpr int Banks = 4;

    struct Options
    {
        QString dumpPath;          // image file, rewritten before every acknowledgement
        bool bootRunning = false;  // the boot loader already runs when the call starts
        int memoryType = -1;       // byte after ":BOOT" (a linear terminal); -1 = none
        bool refuseBoot = false;   // "b" is ignored, the boot loader never starts
        int repeatAt = 0;          // answer "Z" to data packet N once (1 = the first)
        int repeatFrom = 0;        // answer "Z" to data packet N and every one after it
        int noAckAt = 0;           // never answer data packet N
        int hangUpAt = 0;          // drop the call on data packet N
        bool events = false;       // "# ..." lines on standard output
    };

    explicit BootLoaderFarEnd(const Options &options, QObject *parent = nullptr);

    void callStarted() override;
    void fromModem(const QByteArray &bytes) override;

    // Writes the image to the dump path; false when there is none or it cannot be written.
    bool dump();

private:
    enum class State { Line, Header, Data, Silent };

    void onLine(const QByteArray &line);
    void onHeader();
    void onData();
    void answer(const QByteArray &bytes) { emit toModem(bytes); }
    void event(const QByteArray &text) const;
    int blockLength() const { return m_options.memoryType >= 0 ? 512 : 1024; }

    Options m_options;
    QByteArray m_image;
    State m_state = State::Line;
    bool m_boot = false;
    bool m_closing = false;    // the closing packet was accepted; "OK" ends the transfer
    bool m_afterBlock = false; // a block was accepted; "OK" asks for the next header
    QByteArray m_collected;
    QByteArray m_header;
    int m_dataLength = 0;
    int m_dataPackets = 0;     // data packets received over all calls
};
