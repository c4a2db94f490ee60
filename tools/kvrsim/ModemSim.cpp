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
    m_unsolicitedTimer.setSingleShot(true);
    connect(&m_unsolicitedTimer, &QTimer::timeout, this, &ModemSim::sendUnsolicited);
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

void ModemSim::setSmsStore(SmsStore *store)
{
    m_sms = store;
    if (store) {
        connect(store, &SmsStore::event, this, [this](const QByteArray &text) { traceEvent(("# " + text).constData()); });
        connect(store, &SmsStore::received, this, &ModemSim::announce);
    }
}

void ModemSim::announce(int index)
{
    if (!m_announce)
        return;
    m_held += "\r\n+CMTI: \"SM\"," + QByteArray::number(index) + "\r\n";
    releaseHeld();
}

void ModemSim::releaseHeld()
{
    // As mode 2 of AT+CNMI: nothing breaks into a call, a message body or a command being typed.
    if (m_held.isEmpty() || m_dataMode || m_dialTimer.isActive() || !m_line.isEmpty() || (m_sms && m_sms->inBody()))
        return;
    answer(std::exchange(m_held, {}));
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
    if (m_options.unsolicitedMeanMs > 0)
        m_unsolicitedTimer.start(m_options.unsolicitedMeanMs);
    return path;
}

void ModemSim::traceEvent(const char *line)
{
    if (!m_options.trace)
        return;
    std::printf("%s\n", line);
    std::fflush(stdout);
}

QByteArray ModemSim::result(const char *word) const
{
    if (!m_options.numeric)
        return QByteArray("\r\n") + word + "\r\n";
    static const struct
    {
        const char *word;
        const char *code;
    } codes[] = {{"OK", "0"},         {"CONNECT", "1"}, {"RING", "2"},      {"NO CARRIER", "3"},
                 {"ERROR", "4"},      {"NO DIALTONE", "6"}, {"BUSY", "7"}, {"NO ANSWER", "8"}};
    for (const auto &c : codes) {
        if (qstrcmp(word, c.word) == 0)
            return QByteArray(c.code) + "\r";
    }
    return QByteArray(word) + "\r";
}

QByteArray ModemSim::connectLine() const
{
    return m_options.numeric ? result("CONNECT") : "\r\n" + m_options.connectText.toLatin1() + "\r\n";
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
        // The escape: silence of the guard time, three '+' each within the guard time of
        // the one before, then silence again (checked when the guard timer runs out).
        // A '+' after a guard time of silence starts a new attempt.
        m_escapeTimer.stop();
        if (c != '+')
            m_plusCount = 0;
        else if (silence >= m_options.guardMs)
            m_plusCount = 1;
        else if (m_plusCount > 0 && m_plusCount < 3)
            ++m_plusCount;
        else
            m_plusCount = 0;
        if (m_plusCount == 3)
            m_escapeTimer.start(m_options.guardMs);
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
    traceEvent("# escape");
    traceEvent("# command mode");
    answer(result("OK"));
    releaseHeld();
}

void ModemSim::handleCommandByte(char c)
{
    m_sinceLastByte.restart();
    if (m_dialTimer.isActive()) {
        // Any character while dialling abandons the call, as on a real modem.
        m_dialTimer.stop();
        traceEvent("# dial aborted");
        answer(result("NO CARRIER"));
        return;
    }
    if (m_options.echo && !m_options.silent && !(m_sms && m_sms->inBody() && (c == 0x1A || c == 0x1B)))
        sendNow(QByteArray(1, c));
    QByteArray info, final;
    if (m_sms && m_sms->inBody()) {
        if (m_sms->bodyByte(c, info, final) && !final.isEmpty()) {
            const QByteArray reply = info + result(final.constData());
            if (m_sms->networkDelayMs() > 0)
                QTimer::singleShot(m_sms->networkDelayMs(), this, [this, reply] { finalAnswer(reply); });
            else
                finalAnswer(reply);
        }
        return;
    }
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
    // Modems look for "AT" and ignore what came before it ("+++AT").
    const qsizetype at = raw.toUpper().indexOf("AT");
    if (at < 0)
        return; // not a command: a modem stays quiet
    const QByteArray line = raw.mid(at).trimmed();
    for (const Options::Refusal &r : m_options.refusals) {
        if (line.toUpper().startsWith(r.prefix.toUpper())) {
            finalAnswer("\r\n" + r.report + "\r\n");
            return;
        }
    }
    QByteArray info, final;
    switch (m_sms ? m_sms->command(line, info, final) : SmsStore::Reply::NotMine) {
    case SmsStore::Reply::Final: finalAnswer(info + result(final.constData())); return;
    case SmsStore::Reply::Prompt: answer("\r\n> "); return;
    case SmsStore::Reply::NotMine: break;
    }
    const QByteArray rest = line.mid(2);
    int i = 0;
    while (i < rest.size()) {
        switch (runBasicCommand(rest, i, info)) {
        case Step::Next: break;
        case Step::Error: finalAnswer(result("ERROR")); return;
        case Step::Answered: return;
        }
    }
    finalAnswer(info + result("OK"));
}

ModemSim::Step ModemSim::runBasicCommand(const QByteArray &rest, int &i, QByteArray &info)
{
    const char c = char(QChar::toUpper(uint(uchar(rest.at(i)))));
    ++i;
    auto digits = [&](int fallback) {
        int n = 0;
        bool any = false;
        while (i < rest.size() && std::isdigit(uchar(rest.at(i)))) {
            n = n * 10 + (rest.at(i++) - '0');
            any = true;
        }
        return any ? n : fallback;
    };
    switch (c) {
    case ' ':
        return Step::Next;
    case 'E': {
        const int d = digits(0);
        if (d > 1)
            return Step::Error;
        m_options.echo = d == 1;
        return Step::Next;
    }
    case 'V':
        m_options.numeric = digits(1) == 0;
        return Step::Next;
    case 'I':
        digits(0);
        for (const QString &l : m_options.productLines)
            info += "\r\n" + l.toLatin1();
        if (!info.isEmpty())
            info += "\r\n";
        return Step::Next;
    case 'H':
        digits(0);
        if (m_callUp)
            traceEvent("# call down");
        m_callUp = false;
        return Step::Next;
    case 'Z':
        digits(0);
        m_options.echo = true;
        m_options.numeric = false;
        return Step::Next;
    case 'Q': case 'X': case 'L': case 'M':
        digits(0);
        return Step::Next;
    case 'S': // S-registers: "S0=1" sets, "S7?" reads
        digits(0);
        if (i < rest.size() && rest.at(i) == '=') {
            ++i;
            digits(0);
        } else if (i < rest.size() && rest.at(i) == '?') {
            ++i;
            info += "\r\n000\r\n";
        }
        return Step::Next;
    case '&': // &C1, &D2, &K0, &W, &F, &V...
        if (i >= rest.size())
            return Step::Error;
        if (QChar::toUpper(uint(uchar(rest.at(i++)))) == 'F')
            m_options.echo = true;
        digits(0);
        return Step::Next;
    case 'O':
        digits(0);
        if (!m_callUp) {
            answer(result("NO CARRIER"));
            return Step::Answered;
        }
        answer(connectLine());
        enterData();
        return Step::Answered;
    case 'D':
        if (rest.mid(i).trimmed().isEmpty())
            return Step::Error;
        traceEvent("# dial");
        m_dialTimer.start(m_options.dialDelayMs);
        return Step::Answered;
    case '+': {
        // Extended commands run to the next ';' or the end of the line.
        const qsizetype end = rest.indexOf(';', i);
        const QByteArray cmd = rest.mid(i, end < 0 ? -1 : end - i).toUpper();
        i = end < 0 ? int(rest.size()) : int(end) + 1;
        return runExtendedCommand(cmd, info) ? Step::Next : Step::Error;
    }
    default:
        return Step::Error;
    }
}

bool ModemSim::runExtendedCommand(const QByteArray &cmd, QByteArray &info)
{
    if (cmd == "CSQ") {
        info += "\r\n+CSQ: 17,0\r\n";
        return true;
    }
    if (cmd == "CSCA?") {
        info += "\r\n+CSCA: \"+79037011111\",145\r\n";
        return true;
    }
    if (cmd == "CPMS?") {
        info += "\r\n+CPMS: \"SM\",0,20,\"SM\",0,20,\"SM\",0,20\r\n";
        return true;
    }
    if (cmd == "CREG?") {
        info += "\r\n+CREG: 0,1\r\n";
        return true;
    }
    if (cmd.startsWith("CNMI=")) {
        // <mode>,<mt>,...: a stored message is announced unless either is 0.
        const QList<QByteArray> args = cmd.mid(5).split(',');
        m_announce = args.value(0).trimmed().toInt() != 0 && args.value(1).trimmed().toInt() != 0;
        traceEvent(m_announce ? "# announcements on" : "# announcements off");
        return true;
    }
    // What an init string sets: accepted and forgotten.
    static const char *const accepted[] = {"CMEE", "CSCA", "CPMS", "CREG", "CNMI", "CMGF", "CSCS", "CLIP", "CRC",
                                           "CBST", "IPR", "IFC", "CGMI", "CGMM", "CGSN", "GMI", "GMM", "CSMS"};
    for (const char *name : accepted) {
        const QByteArray n(name);
        if (cmd.startsWith(n) && (cmd.size() == n.size() || cmd.at(n.size()) == '=' || cmd.at(n.size()) == '?'))
            return true;
    }
    return false;
}

void ModemSim::finishDial()
{
    switch (m_options.dial) {
    case DialResult::Connect:
        m_callUp = true;
        traceEvent("# call up");
        answer(connectLine());
        enterData();
        if (m_farEnd)
            m_farEnd->callStarted();
        break;
    case DialResult::NoCarrier: answer(result("NO CARRIER")); break;
    case DialResult::Busy: answer(result("BUSY")); break;
    case DialResult::NoAnswer: answer(result("NO ANSWER")); break;
    case DialResult::NoDialTone: answer(result("NO DIALTONE")); break;
    }
}

void ModemSim::enterData()
{
    m_dataMode = true;
    m_plusCount = 0;
    m_sinceLastByte.restart();
    traceEvent("# data mode");
}

void ModemSim::leaveData(const QByteArray &finalWord)
{
    m_dataMode = false;
    if (m_callUp)
        traceEvent("# call down");
    m_callUp = false;
    traceEvent("# command mode");
    answer(finalWord);
    releaseHeld();
}

void ModemSim::finalAnswer(const QByteArray &text)
{
    // Real modems put unsolicited lines anywhere, also straight after a final answer.
    answer(m_options.trailer.isEmpty() ? text : text + "\r\n" + m_options.trailer + "\r\n");
    releaseHeld();
}

void ModemSim::sendUnsolicited()
{
    static const char *const lines[] = {"+CMTI: \"SM\",1", "RING", "+CREG: 1"};
    if (!m_dataMode && !m_dialTimer.isActive())
        answer(QByteArray("\r\n") + lines[m_random.bounded(3)] + "\r\n");
    const int mean = m_options.unsolicitedMeanMs;
    m_unsolicitedTimer.start(mean / 2 + int(m_random.bounded(quint32(mean) + 1)));
}

void ModemSim::unplug()
{
    traceEvent("# unplugged");
    m_out.clear();
    m_pace.stop();
    m_dialTimer.stop();
    m_unsolicitedTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

void ModemSim::ring()
{
    answer(result("RING"));
}

void ModemSim::setSilent(bool silent)
{
    m_options.silent = silent;
    traceEvent(silent ? "# silent on" : "# silent off");
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
    if (m_options.silent || bytes.isEmpty() || m_master < 0)
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
