#include "SmsStore.h"

#include "SimPdu.h"

#include <QTimer>

SmsStore::SmsStore(const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_textMode(options.textMode)
{
}

SmsStore::~SmsStore() = default;

void SmsStore::addTerminal(const QString &number, const QByteArray &image)
{
    m_terminals.push_back(std::make_unique<SimTerminal>(number, image));
}

const SimTerminal *SmsStore::terminal(const QString &number) const
{
    for (const auto &t : m_terminals) {
        if (t->number() == number)
            return t.get();
    }
    return nullptr;
}

bool SmsStore::store(const QByteArray &pdu, int stat, int announced)
{
    for (int i = 1; i <= Capacity; ++i) {
        if (m_messages.contains(i))
            continue;
        const int length = announced >= 0 ? announced : SimPdu::tpduOctets(pdu);
        m_messages.insert(i, {pdu, stat, length < 0 ? 0 : length});
        emit event("sms stored " + QByteArray::number(i));
        if (stat == 0)
            emit received(i);
        return true;
    }
    emit event("sms store full");
    return false;
}

void SmsStore::addForeign(Foreign kind)
{
    switch (kind) {
    case Foreign::Text: {
        const QByteArray text = "Balance 100 rub";
        store(SimPdu::deliver(QStringLiteral("+79161234567"), 0x00, SimPdu::pack7(text), int(text.size())));
        break;
    }
    case Foreign::Alphanumeric: {
        // 8-bit class 2 data, as the terminals send, but from a named sender.
        QByteArray ud = QByteArray::fromHex("4305000001");
        ud = ud.leftJustified(140, '\x11');
        store(SimPdu::deliver(QStringLiteral("Operator"), 0xF6, ud, int(ud.size())));
        break;
    }
    case Foreign::AlphanumericText: {
        const QByteArray text = "Vash balans 100 rub";
        store(SimPdu::deliver(QStringLiteral("MTS"), 0x00, SimPdu::pack7(text), int(text.size())));
        break;
    }
    case Foreign::Ucs2Text: {
        const QString text = QStringLiteral("Привет, это Оля");
        QByteArray ud;
        for (QChar c : text)
            ud.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        store(SimPdu::deliver(QStringLiteral("+79031112233"), 0x08, ud, int(ud.size())));
        break;
    }
    case Foreign::StatusReport:
        // A delivery report for message 42 to +79161234567, sent 2026-10-12 13:14:15, delivered at :20.
        store("0006" "2A" "0B919761214365F7" "62012131415100" "62012131410200" "00");
        break;
    case Foreign::SavedSubmit: {
        // An outgoing text the operator's phone saved in the SIM.
        const QByteArray text = "Call me back";
        const QByteArray ud = SimPdu::pack7(text);
        store("001100" + SimPdu::address(QStringLiteral("+79161234567")).toHex().toUpper() + "0000A7"
                  + QByteArray::number(text.size(), 16).rightJustified(2, '0').toUpper() + ud.toHex().toUpper(),
              3);
        break;
    }
    case Foreign::Truncated: {
        QByteArray ud = QByteArray::fromHex("4305000001").leftJustified(140, '\x22');
        const QByteArray whole = SimPdu::deliver(QStringLiteral("+79160000001"), 0xF6, ud, int(ud.size()));
        // The header still announces the whole message: only part of it reached the store.
        store(whole.left(whole.size() / 2), 0, SimPdu::tpduOctets(whole));
        break;
    }
    }
}

SmsStore::Reply SmsStore::command(const QByteArray &line, QByteArray &info, QByteArray &final)
{
    const QByteArray upper = line.toUpper();
    if (upper == "AT+CMGF=0" || upper == "AT+CMGF=1") {
        m_textMode = upper.endsWith('1');
        emit event(m_textMode ? "text mode" : "pdu mode");
        final = "OK";
        return Reply::Final;
    }
    if (upper == "AT+CMGF?") {
        info = "\r\n+CMGF: " + QByteArray(m_textMode ? "1" : "0") + "\r\n";
        final = "OK";
        return Reply::Final;
    }
    if (m_textMode && upper.startsWith("AT+CMGS=")) {
        // Text mode takes the argument for the destination and the body for the text.
        m_textDestination = line.mid(8).trimmed();
        m_textDestination.replace('"', "");
        m_inBody = true;
        m_announced = -1;
        m_body.clear();
        return Reply::Prompt;
    }
    if (m_textMode && upper.startsWith("AT+CMGL")) {
        final = upper.contains('"') ? "OK" : "+CMS ERROR: 302"; // text mode lists by names ("ALL")
        return Reply::Final;
    }
    if (upper.startsWith("AT+CMGS="))
        return startSubmit(upper.mid(8).trimmed(), final);
    if (upper.startsWith("AT+CMGL"))
        return list(upper.mid(7), info, final);
    if (upper.startsWith("AT+CMGD="))
        return remove(upper.mid(8).trimmed(), final);
    return Reply::NotMine;
}

SmsStore::Reply SmsStore::startSubmit(const QByteArray &args, QByteArray &final)
{
    bool ok = false;
    const int n = args.toInt(&ok);
    if (!ok || n <= 0 || n > 176) {
        final = "ERROR";
        return Reply::Final;
    }
    if (m_options.refuseSends != 0) {
        if (m_options.refuseSends > 0)
            --m_options.refuseSends;
        emit event("sms send refused");
        final = m_options.refusal;
        return Reply::Final;
    }
    m_inBody = true;
    m_announced = n;
    m_body.clear();
    return Reply::Prompt;
}

bool SmsStore::bodyByte(char c, QByteArray &info, QByteArray &final)
{
    if (c == 0x1B) {
        m_inBody = false;
        emit event("sms send cancelled");
        return true;
    }
    if (c == 0x1A) {
        m_inBody = false;
        finishSubmit(info, final);
        return true;
    }
    if (c != '\r' && c != '\n' && m_body.size() < 1024)
        m_body.append(c);
    return false;
}

void SmsStore::finishSubmit(QByteArray &info, QByteArray &final)
{
    if (m_announced < 0) {
        m_reference = m_reference % 255 + 1;
        info = "\r\n+CMGS: " + QByteArray::number(m_reference) + "\r\n";
        final = "OK";
        emit event("sms text sent to " + m_textDestination + ": " + m_body.left(40));
        return;
    }
    const SimPdu::Submit submit = SimPdu::parseSubmit(m_body);
    if (!submit.ok || submit.tpduOctets != m_announced) {
        emit event("sms send rejected: "
                   + (submit.ok ? QByteArray("AT+CMGS=") + QByteArray::number(m_announced) + " for a TPDU of "
                                      + QByteArray::number(submit.tpduOctets) + " octets"
                                : submit.error.toLatin1()));
        final = "+CMS ERROR: 304";
        return;
    }
    m_reference = m_reference % 255 + 1;
    info = "\r\n+CMGS: " + QByteArray::number(m_reference) + "\r\n";
    final = "OK";
    emit event("sms sent to " + submit.destination.toLatin1());
    for (const auto &t : m_terminals) {
        if (t->number() != submit.destination)
            continue;
        QString note;
        const QList<QByteArray> answers = t->receive(submit.dataCoding, submit.userData, note);
        emit event("terminal " + t->number().toLatin1() + " " + note.toLatin1());
        QString sender = t->number();
        if (m_options.presentPlus7 && sender.size() == 11 && sender.startsWith(QLatin1Char('8')))
            sender = QStringLiteral("+7") + sender.mid(1);
        for (const QByteArray &ud : answers) {
            const QByteArray pdu = SimPdu::deliver(sender, 0xF6, ud, int(ud.size()));
            QTimer::singleShot(m_options.deliveryDelayMs, this, [this, pdu] { store(pdu); });
        }
    }
    if (m_options.loseAnswers != 0) {
        if (m_options.loseAnswers > 0)
            --m_options.loseAnswers;
        emit event("sms answer lost");
        info.clear();
        final.clear();
    }
}

SmsStore::Reply SmsStore::list(const QByteArray &args, QByteArray &info, QByteArray &final)
{
    // "=4" (all), "=0" (unread), "=1" (read); the text forms are for text mode only.
    int wanted = 4;
    if (!args.isEmpty()) {
        bool ok = false;
        wanted = args.startsWith('=') ? args.mid(1).trimmed().toInt(&ok) : -1;
        if (!ok || wanted < 0 || wanted > 4) {
            final = "+CMS ERROR: 302";
            return Reply::Final;
        }
    }
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (wanted != 4 && it->stat != wanted)
            continue;
        info += QByteArray(m_options.headerSpace ? "\r\n+CMGL: " : "\r\n+CMGL:") + QByteArray::number(it.key()) + ","
                + QByteArray::number(it->stat) + ",,"
                + QByteArray::number(it->length) + "\r\n" + it->pdu;
        if (it->stat == 0)
            it->stat = 1;
    }
    if (!info.isEmpty())
        info += "\r\n";
    final = "OK";
    return Reply::Final;
}

SmsStore::Reply SmsStore::remove(const QByteArray &args, QByteArray &final)
{
    bool ok = false;
    const int index = args.split(',').first().trimmed().toInt(&ok);
    if (!ok || index < 1 || index > Capacity) {
        final = "+CMS ERROR: 321";
        return Reply::Final;
    }
    if (m_messages.remove(index) > 0)
        emit event("sms deleted " + QByteArray::number(index));
    final = "OK";
    return Reply::Final;
}
