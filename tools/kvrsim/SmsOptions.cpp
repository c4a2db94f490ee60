#include "SmsOptions.h"

#include "SmsStore.h"

#include <QCommandLineParser>
#include <QFile>
#include <QMap>

namespace {

const QString kTerminal = QStringLiteral("terminal");
const QString kDelay = QStringLiteral("sms-delay");
const QString kForeign = QStringLiteral("foreign");
const QString kRefuse = QStringLiteral("sms-refuse");
const QString kLoseAnswer = QStringLiteral("sms-lose-answer");
const QString kTextMode = QStringLiteral("text-mode");
const QString kNoSpace = QStringLiteral("cmgl-nospace");
const QString kPlus7 = QStringLiteral("present-plus7");
const QString kNetworkDelay = QStringLiteral("network-delay");

} // namespace

QList<QCommandLineOption> smsCommandLineOptions()
{
    return {
        {kTerminal,
         QStringLiteral("A terminal behind the network with this number and the settings image of a 260- or "
                        "390-byte data file (made up when not given). Repeatable; other numbers never answer."),
         QStringLiteral("NUMBER[=IMAGE.bin]")},
        {kDelay, QStringLiteral("Time a terminal's answer takes to reach the message store (default 2000)."),
         QStringLiteral("ms"), QStringLiteral("2000")},
        {kForeign,
         QStringLiteral("Put a message that is not a terminal's into the store at start: text (a text SMS), "
                        "alpha (8-bit data from an alphanumeric sender), alphatext (a text from one), ucs2 (a "
                        "Cyrillic text), status (a delivery report), submit (a saved outgoing text) or truncated "
                        "(a cut PDU). Repeatable."),
         QStringLiteral("kind")},
        {kRefuse,
         QStringLiteral("Refuse the first N AT+CMGS commands (\"all\": every one) with REPORT instead of the "
                        "prompt (default +CMS ERROR: 500), e.g. 1 or all:ERROR."),
         QStringLiteral("N[:REPORT]")},
        {kLoseAnswer,
         QStringLiteral("Send the first N messages (\"all\": every one) on to the network but never give the final "
                        "answer to their AT+CMGS."),
         QStringLiteral("N")},
        {kTextMode, QStringLiteral("Start in text mode (AT+CMGF=1), as other software may leave a modem.")},
        {kNoSpace, QStringLiteral("Write listing headers without the space after the colon (\"+CMGL:1,0,,159\").")},
        {kPlus7, QStringLiteral("The network presents a terminal's number 8XXXXXXXXXX as +7XXXXXXXXXX.")},
        {kNetworkDelay, QStringLiteral("Time the network takes to accept a sent message: the modem answers AT+CMGS "
                                       "that long after the body (default 0)."),
         QStringLiteral("ms"), QStringLiteral("0")},
    };
}

bool readTerminals(const QCommandLineParser &parser, QList<QPair<QString, QByteArray>> &terminals, QString &problem)
{
    for (const QString &t : parser.values(kTerminal)) {
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        const QString number = eq < 0 ? t : t.left(eq);
        QByteArray image = SimTerminal::defaultImage(number);
        if (eq >= 0) {
            QFile f(t.mid(eq + 1));
            if (!f.open(QIODevice::ReadOnly) || (f.size() != 260 && f.size() != 390)) {
                problem = QStringLiteral("--terminal: not a 260- or 390-byte data file: ") + t.mid(eq + 1);
                return false;
            }
            image = f.read(SimTerminal::ImageSize);
        }
        terminals.append({number, image});
    }
    return true;
}

SmsStore *makeSmsStore(const QCommandLineParser &parser, QObject *parent, QString &problem)
{
    SmsStore::Options o;
    o.deliveryDelayMs = parser.value(kDelay).toInt();
    if (parser.isSet(kRefuse)) {
        const QString v = parser.value(kRefuse);
        const qsizetype colon = v.indexOf(QLatin1Char(':'));
        const QString count = colon < 0 ? v : v.left(colon);
        bool ok = true;
        o.refuseSends = count == QLatin1String("all") ? -1 : count.toInt(&ok);
        if (!ok || o.refuseSends < -1) {
            problem = QStringLiteral("--sms-refuse takes N[:REPORT] or all[:REPORT]");
            return nullptr;
        }
        if (colon >= 0)
            o.refusal = v.mid(colon + 1).toLatin1();
    }
    if (parser.isSet(kLoseAnswer)) {
        bool ok = true;
        const QString v = parser.value(kLoseAnswer);
        o.loseAnswers = v == QLatin1String("all") ? -1 : v.toInt(&ok);
        if (!ok || o.loseAnswers < -1) {
            problem = QStringLiteral("--sms-lose-answer takes N or all");
            return nullptr;
        }
    }
    o.textMode = parser.isSet(kTextMode);
    o.headerSpace = !parser.isSet(kNoSpace);
    o.presentPlus7 = parser.isSet(kPlus7);
    o.networkDelayMs = qMax(0, parser.value(kNetworkDelay).toInt());
    auto *store = new SmsStore(o, parent);
    QList<QPair<QString, QByteArray>> terminals;
    if (!readTerminals(parser, terminals, problem))
        return nullptr;
    for (const auto &[number, image] : std::as_const(terminals))
        store->addTerminal(number, image);
    static const QMap<QString, SmsStore::Foreign> kinds = {
        {QStringLiteral("text"), SmsStore::Foreign::Text},
        {QStringLiteral("alpha"), SmsStore::Foreign::Alphanumeric},
        {QStringLiteral("truncated"), SmsStore::Foreign::Truncated},
        {QStringLiteral("alphatext"), SmsStore::Foreign::AlphanumericText},
        {QStringLiteral("ucs2"), SmsStore::Foreign::Ucs2Text},
        {QStringLiteral("status"), SmsStore::Foreign::StatusReport},
        {QStringLiteral("submit"), SmsStore::Foreign::SavedSubmit},
    };
    for (const QString &kind : parser.values(kForeign)) {
        if (kinds.contains(kind))
            store->addForeign(kinds.value(kind));
        else {
            problem = QStringLiteral("--foreign takes text, alpha, alphatext, ucs2, status, submit or truncated");
            return nullptr;
        }
    }
    return store;
}
