#include "ModemSim.h"

#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

ModemSim::ModemSim(const Options &options, FarEnd *farEnd, QObject *parent)
    : QObject(parent), m_options(options), m_farEnd(farEnd), m_random(options.seed)
{
    m_clock.start();
    m_sinceLastByte.start();
    m_pace.setInterval(2);
    connect(&m_pace, &QTimer::timeout, this, &ModemSim::pump);
    m_escapeTimer.setSingleShot(true);
    connect(&m_escapeTimer, &QTimer::timeout, this, &ModemSim::escapeGuardExpired);
    m_dialTimer.setSingleShot(true);
    connect(&m_dialTimer, &QTimer::timeout, this, &ModemSim::finishDial);
    connect(&m_ringTimer, &QTimer::timeout, this, [this] {
        if (!m_dataMode && !m_callUp)
            ring();
    });
    if (m_farEnd)
        connect(m_farEnd, &FarEnd::toModem, this, [this](const QByteArray &bytes) {
            if (m_dataMode)
                sendNow(bytes);
        });
    if (m_farEnd)
        connect(m_farEnd, &FarEnd::hangUp, this, &ModemSim::remoteHangUp, Qt::QueuedConnection);
    m_inPace.setSingleShot(true);
    m_inPace.setTimerType(Qt::PreciseTimer);
    connect(&m_inPace, &QTimer::timeout, this, &ModemSim::takeDueBytes);
}

ModemSim::~ModemSim()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

QString ModemSim::open(QString &why)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return QString();
    }
    const char *name = ::ptsname(m_master);
    if (!name) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return QString();
    }
    const QString path = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable while the program closes and
    // reopens the port, and raw mode stops the line discipline echoing our answers
    // back to us before the program has set the port up.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios tio{};
        if (::tcgetattr(m_slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slave, TCSANOW, &tio);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &ModemSim::onReadable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &ModemSim::onWritable);
    if (m_options.ringEveryMs > 0)
        m_ringTimer.start(m_options.ringEveryMs);
    return path;
}

void ModemSim::trace(const char *prefix, const QByteArray &bytes)
{
    if (!m_options.trace || bytes.isEmpty())
        return;
    std::printf("%s %s\n", prefix, bytes.toHex().toUpper().constData());
    std::fflush(stdout);
}

void ModemSim::onReadable()
{
    char buf[4096];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
            m_readNotifier->setEnabled(false);
        }
        return;
    }
    const QByteArray bytes(buf, int(n));
    trace("<", bytes);
    if (m_options.baud > 0)
        receivePaced(bytes);
    else
        handleBytes(bytes);
}

void ModemSim::receivePaced(const QByteArray &bytes)
{
    // A chunk starts on the line when it arrives or when the bytes before it are through.
    const qint64 byteNs = 10'000'000'000LL / m_options.baud;
    InChunk chunk{bytes, qMax(m_clock.nsecsElapsed(), m_inLineFreeNs), 0};
    m_inLineFreeNs = chunk.startNs + bytes.size() * byteNs;
    m_in.append(chunk);
    takeDueBytes();
}

void ModemSim::takeDueBytes()
{
    const qint64 byteNs = 10'000'000'000LL / m_options.baud;
    const qint64 now = m_clock.nsecsElapsed();
    QByteArray due;
    while (!m_in.isEmpty()) {
        InChunk &c = m_in.first();
        const qint64 through = qMin<qint64>((now - c.startNs) / byteNs, c.bytes.size());
        if (through > c.taken) {
            due += c.bytes.mid(c.taken, through - c.taken);
            c.taken = int(through);
        }
        if (c.taken < c.bytes.size())
            break;
        m_in.removeFirst();
    }
    if (!m_in.isEmpty()) {
        const InChunk &c = m_in.first();
        const qint64 nextNs = c.startNs + (c.taken + 1) * byteNs;
        m_inPace.start(int(qMax<qint64>(0, (nextNs - now + 999'999) / 1'000'000)));
    }
    if (!due.isEmpty())
        handleBytes(due);
}

void ModemSim::handleBytes(const QByteArray &bytes)
{
    if (!m_dataMode) {
        for (char c : bytes)
            handleCommandByte(c);
        return;
    }
    // Data mode: watch for the guarded escape while everything goes to the far end.
    for (char c : bytes) {
        const qint64 silence = m_sinceLastByte.restart();
        if (c == '+' && (m_plusCount > 0 || silence >= m_options.guardMs) && m_plusCount < 3) {
            ++m_plusCount;
            if (m_plusCount == 3)
                m_escapeTimer.start(m_options.guardMs);
        } else {
            m_plusCount = 0;
            m_escapeTimer.stop();
        }
    }
    if (m_farEnd)
        m_farEnd->fromModem(bytes);
}

void ModemSim::escapeGuardExpired()
{
    if (!m_dataMode || m_plusCount != 3)
        return;
    m_plusCount = 0;
    m_dataMode = false;
    if (m_options.trace) {
        std::printf("# command mode\n");
        std::fflush(stdout);
    }
    answer(result("OK"));
}

void ModemSim::handleCommandByte(char c)
{
    m_sinceLastByte.restart();
    if (m_options.echo && !m_options.silent)
        sendNow(QByteArray(1, c));
    if (c == '\r') {
        const QByteArray line = m_line;
        m_line.clear();
        runCommandLine(line);
    } else if (c == '\n') {
        // line feeds after the carriage return are not part of any command
    } else if (c == '\b' || c == 0x7F) {
        m_line.chop(1);
    } else if (m_line.size() < 512) {
        m_line.append(c);
    }
}

void ModemSim::runCommandLine(const QByteArray &raw)
{
    const QByteArray line = raw.trimmed();
    if (line.size() < 2 || line.left(2).toUpper() != "AT")
        return; // not a command: a modem stays quiet
    QByteArray rest = line.mid(2);
    QByteArray info;
    int i = 0;
    while (i < rest.size()) {
        const char c = char(QChar::toUpper(uint(uchar(rest.at(i)))));
        ++i;
        auto digit = [&](int fallback) {
            if (i < rest.size() && std::isdigit(uchar(rest.at(i))))
                return rest.at(i++) - '0';
            return fallback;
        };
        switch (c) {
        case ' ':
            break;
        case 'E': {
            const int d = digit(0);
            if (d > 1) {
                answer(result("ERROR"));
                return;
            }
            m_options.echo = d == 1;
            break;
        }
        case 'I':
            digit(0);
            for (const QString &l : m_options.productLines)
                info += "\r\n" + l.toLatin1();
            if (!info.isEmpty())
                info += "\r\n";
            break;
        case 'H':
            digit(0);
            m_callUp = false;
            break;
        case 'Z':
            digit(0);
            m_options.echo = true;
            break;
        case 'V':
        case 'Q':
            digit(0);
            break;
        case 'O':
            digit(0);
            if (!m_callUp) {
                answer(result("NO CARRIER"));
                return;
            }
            answer(QByteArray("\r\n") + m_options.connectText.toLatin1() + "\r\n");
            enterData();
            return;
        case 'D':
            if (rest.mid(i).trimmed().isEmpty()) {
                answer(result("ERROR"));
                return;
            }
            m_dialTimer.start(m_options.dialDelayMs);
            return;
        case '+':
            // Extended commands: only the signal quality report so far.
            if (rest.mid(i).toUpper() == "CSQ") {
                info += "\r\n+CSQ: 17,0\r\n";
                i = int(rest.size());
                break;
            }
            answer(result("ERROR"));
            return;
        case '&':
            if (i < rest.size() && QChar::toUpper(uint(uchar(rest.at(i)))) == 'F') {
                ++i;
                digit(0);
                m_options.echo = true;
                break;
            }
            answer(result("ERROR"));
            return;
        default:
            answer(result("ERROR"));
            return;
        }
    }
    answer(info + result("OK"));
}

void ModemSim::finishDial()
{
    switch (m_options.dial) {
    case DialResult::Connect:
        m_callUp = true;
        answer(QByteArray("\r\n") + m_options.connectText.toLatin1() + "\r\n");
        enterData();
        if (m_farEnd)
            m_farEnd->callStarted();
        break;
    case DialResult::NoCarrier: answer(result("NO CARRIER")); break;
    case DialResult::Busy: answer(result("BUSY")); break;
    case DialResult::NoAnswer: answer(result("NO ANSWER")); break;
    }
}

void ModemSim::enterData()
{
    m_dataMode = true;
    m_plusCount = 0;
    m_sinceLastByte.restart();
    if (m_options.trace) {
        std::printf("# data mode\n");
        std::fflush(stdout);
    }
}

void ModemSim::leaveData(const QByteArray &finalWord)
{
    m_dataMode = false;
    m_callUp = false;
    if (m_options.trace) {
        std::printf("# command mode\n");
        std::fflush(stdout);
    }
    answer(finalWord);
}

void ModemSim::ring()
{
    answer(result("RING"));
}

void ModemSim::setSilent(bool silent)
{
    m_options.silent = silent;
    if (m_options.trace) {
        std::printf(silent ? "# silent on\n" : "# silent off\n");
        std::fflush(stdout);
    }
}

void ModemSim::say(const QByteArray &text)
{
    answer(text + "\r\n");
}

void ModemSim::remoteHangUp()
{
    if (m_dataMode || m_callUp)
        leaveData(result("NO CARRIER"));
}

void ModemSim::answer(const QByteArray &text)
{
    if (m_options.silent)
        return;
    QByteArray out = text;
    if (m_options.garbleOneIn > 0) {
        for (char &c : out) {
            if (c != '\r' && c != '\n' && m_random.bounded(m_options.garbleOneIn) == 0)
                c = char(c ^ 0x15);
        }
    }
    if (m_options.answerDelayMs > 0)
        QTimer::singleShot(m_options.answerDelayMs, this, [this, out] { sendNow(out); });
    else
        sendNow(out);
}

void ModemSim::sendNow(const QByteArray &bytes)
{
    if (m_options.silent || bytes.isEmpty())
        return;
    if (m_out.isEmpty() && m_options.baud > 0) {
        m_paceStartMs = m_clock.elapsed();
        m_pacedSent = 0;
    }
    m_out += bytes;
    pump();
}

void ModemSim::pump()
{
    if (m_out.isEmpty()) {
        m_pace.stop();
        return;
    }
    qint64 allowed = m_out.size();
    if (m_options.baud > 0) {
        // 10 bits a character: start, 8 data, stop.
        const qint64 due = (m_clock.elapsed() - m_paceStartMs) * m_options.baud / 10000 + 1;
        allowed = qMin<qint64>(allowed, due - m_pacedSent);
        if (allowed <= 0) {
            m_pace.start();
            return;
        }
    }
    const ssize_t n = ::write(m_master, m_out.constData(), size_t(allowed));
    if (n > 0) {
        trace(">", m_out.left(n));
        m_out.remove(0, n);
        m_pacedSent += n;
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        m_out.clear();
        return;
    }
    if (m_out.isEmpty()) {
        m_pace.stop();
        m_writeNotifier->setEnabled(false);
    } else if (m_options.baud > 0) {
        m_pace.start();
    } else {
        m_writeNotifier->setEnabled(true);
    }
}

void ModemSim::onWritable()
{
    m_writeNotifier->setEnabled(false);
    pump();
}
