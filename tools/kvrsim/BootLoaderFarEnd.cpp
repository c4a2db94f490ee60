#include "BootLoaderFarEnd.h"

#include <QSaveFile>

#include <cstdio>
#include <cstring>

BootLoaderFarEnd::BootLoaderFarEnd(const Options &options, QObject *parent)
    : FarEnd(parent), m_options(options), m_image(Banks * BankSize, char(0xFF))
{
    // The file exists from the start, so a load that never gets a block through
    // can still be checked against it.
    dump();
    callStarted();
}

void BootLoaderFarEnd::event(const QByteArray &text) const
{
    if (!m_options.events)
        return;
    std::printf("# %s\n", text.constData());
    std::fflush(stdout);
}

bool BootLoaderFarEnd::dump()
{
    if (m_options.dumpPath.isEmpty())
        return false;
    QSaveFile f(m_options.dumpPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(m_image) != m_image.size() || !f.commit()) {
        std::fprintf(stderr, "kvrsim: cannot write the image to %s\n", qPrintable(m_options.dumpPath));
        return false;
    }
    return true;
}

void BootLoaderFarEnd::callStarted()
{
    // Memory and the count of data packets survive the call; the conversation does not.
    m_state = State::Line;
    m_boot = m_options.bootRunning;
    m_closing = false;
    m_afterBlock = false;
    m_collected.clear();
}

void BootLoaderFarEnd::fromModem(const QByteArray &bytes)
{
    for (char c : bytes) {
        switch (m_state) {
        case State::Silent:
            break;
        case State::Line:
            if (c == '\r') {
                const QByteArray line = m_collected;
                m_collected.clear();
                onLine(line);
            } else if (c != '\n' && m_collected.size() < 64) {
                m_collected.append(c);
            }
            break;
        case State::Header:
            m_header.append(c);
            if (m_header.size() == 8)
                onHeader();
            break;
        case State::Data:
            m_collected.append(c);
            if (m_collected.size() == m_dataLength)
                onData();
            break;
        }
    }
}

void BootLoaderFarEnd::onLine(const QByteArray &line)
{
    if (line == "v") {
        if (!m_boot) {
            answer("APP01");
            return;
        }
        QByteArray state(":BOOT");
        if (m_options.memoryType >= 0)
            state.append(char(m_options.memoryType));
        answer(state);
    } else if (line == "b") {
        if (m_options.refuseBoot) {
            event("boot command refused");
            return;
        }
        m_boot = true;
        event("boot loader started");
        answer("<1234\r");
    } else if (line == "r" && m_boot) {
        m_header.clear();
        m_state = State::Header;
        answer("Z");
    } else if (line == "OK" && m_closing) {
        m_closing = false;
        event("transfer finished");
    } else if (line == "OK" && m_afterBlock) {
        m_afterBlock = false;
        m_header.clear();
        m_state = State::Header;
        answer("Z");
    }
}

void BootLoaderFarEnd::onHeader()
{
    const auto *h = reinterpret_cast<const uchar *>(m_header.constData());
    uchar x = 0;
    for (int i = 0; i < 7; ++i)
        x ^= h[i];
    const int length = (h[2] << 8) | h[3];
    const bool valid = x == h[7] && h[4] < Banks && (length == 256 || length == blockLength());
    if (!valid) {
        event("bad header " + m_header.toHex().toUpper());
        m_header.clear();
        answer("Z");
        return;
    }
    m_dataLength = length;
    m_collected.clear();
    m_state = State::Data;
    answer("[");
}

void BootLoaderFarEnd::onData()
{
    const int n = ++m_dataPackets;
    const QByteArray data = m_collected;
    const QByteArray header = m_header;
    m_collected.clear();
    m_header.clear();
    if (n == m_options.hangUpAt) {
        event("hang up at data packet " + QByteArray::number(n));
        m_state = State::Silent;
        emit hangUp();
        return;
    }
    if (n == m_options.noAckAt) {
        event("no acknowledgement for data packet " + QByteArray::number(n));
        m_state = State::Silent;
        return;
    }
    const auto *h = reinterpret_cast<const uchar *>(header.constData());
    uchar x = 0;
    for (char c : data)
        x ^= uchar(c);
    const bool repeat = n == m_options.repeatAt || (m_options.repeatFrom > 0 && n >= m_options.repeatFrom);
    if (repeat || x != h[6]) {
        event(repeat ? "repeat asked for data packet " + QByteArray::number(n) : "bad data");
        m_state = State::Header;
        answer("Z");
        return;
    }
    const int bank = h[4];
    const int address = (h[0] << 8) | h[1];
    const int count = qMin(int(data.size()), BankSize - address);
    std::memcpy(m_image.data() + bank * BankSize + address, data.constData(), size_t(count));
    dump();
    m_state = State::Line;
    const QByteArray where = "bank=" + QByteArray::number(bank) + " address="
                             + QByteArray::number(address, 16).toUpper() + " length=" + QByteArray::number(count);
    if (data.size() == 256) {
        m_closing = true;
        event("closing packet accepted " + where);
        answer("^");
    } else {
        m_afterBlock = true;
        event("block accepted " + where);
        answer("\\");
    }
}
