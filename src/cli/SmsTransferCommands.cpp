#include "cli/SmsTransferCommands.h"

#include "cli/CliOptions.h"
#include "cli/LinkSession.h"

#include "core/app/AppState.h"
#include "core/app/SerialSettings.h"
#include "core/link/mdlStrings.h"
#include "core/sms/ProfileTransfer.h"
#include "core/sms/TransferRecord.h"

#include <QElapsedTimer>
#include <QFile>

namespace {

constexpr int DefaultWaitSeconds = 120;

const QString kPhone = QStringLiteral("--phone");
const QString kSmsc = QStringLiteral("--smsc");
const QString kWait = QStringLiteral("--wait");
const QString kApn = QStringLiteral("--apn");
const QString kUser = QStringLiteral("--user");
const QString kPassword = QStringLiteral("--password");
const QString kServer = QStringLiteral("--server");
const QString kServerPort = QStringLiteral("--server-port");

int usage(const QString &problem)
{
    printLine(stderr, QStringLiteral("kvrsetup-cli: ") + problem);
    for (const char *line :
         {"usage: kvrsetup-cli send-profile --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] FILE",
          "       kvrsetup-cli read-profile --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] "
          "[--wait SECONDS]",
          "       kvrsetup-cli poll --port DEVICE [serial options]",
          "       kvrsetup-cli send-gprs --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] --apn TEXT "
          "[--user TEXT] [--password TEXT] --server ADDRESS --server-port N"})
        printLine(stderr, QString::fromLatin1(line));
    return 2;
}

// An open link with the profile transfer on it; its log lines (txtinfo and txtCmdInfo of
// the window) are printed as they come.
struct Transfer
{
    std::unique_ptr<LinkSession> session;
    AppState state;
    std::unique_ptr<ProfileTransfer> transfer;

    bool open(const SerialSettings &s)
    {
        session = openSession(s);
        if (!session)
            return false;
        const auto print = [](const QString &text) { printLine(stdout, mdlStrings::TrimCrLf(text)); };
        QObject::connect(&session->link, &LinkExchange::infoLine, print);
        QObject::connect(&session->link, &LinkExchange::cmdInfoLine, print);
        transfer = std::make_unique<ProfileTransfer>(session->link, state);
        return true;
    }
};

// A module send's outcome as an exit code.
int sendOutcome(const ProfileTransfer::SendResult &result)
{
    if (!result.refusal.isEmpty()) {
        printLine(stderr, QStringLiteral("kvrsetup-cli: ") + result.refusal);
        return 1;
    }
    return result.passed ? 0 : 1;
}

int sendProfile(const SerialSettings &s, const CliOptions &o)
{
    const QString path = o.positional.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(stderr, QStringLiteral("kvrsetup-cli: cannot read ") + path);
        return 1;
    }
    // Record 1 of 260 bytes, as the window reads it; a shorter file leaves zeros.
    const QByteArray data = file.read(TransferRecord::ProfileFileSize);
    Transfer t;
    if (!t.open(s))
        return 1;
    return sendOutcome(t.transfer->sendProfileFile(o.value(kPhone), o.value(kSmsc), data));
}

int readProfile(const SerialSettings &s, const CliOptions &o)
{
    int waitSeconds = DefaultWaitSeconds;
    if (o.has(kWait)) {
        bool ok = false;
        waitSeconds = o.value(kWait).toInt(&ok);
        if (!ok || waitSeconds < 0)
            return usage(QStringLiteral("bad value for --wait: ") + o.value(kWait));
    }
    Transfer t;
    if (!t.open(s))
        return 1;
    const QString phone = o.value(kPhone);
    const int sent = sendOutcome(t.transfer->requestProfile(phone, o.value(kSmsc)));
    if (sent != 0)
        return sent;
    // The poll of Timer1: the first at once, then every 10 s until the file is there.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const ProfileTransfer::PollResult poll = t.transfer->pollMessages();
        for (const ReceivedProfiles::Saved &saved : poll.saved) {
            if (saved.phone == phone) {
                printLine(stdout, saved.path);
                return 0;
            }
        }
        const qint64 left = qint64(waitSeconds) * 1000 - clock.elapsed();
        if (left <= 0 || t.session->link.isPortLost())
            break;
        t.session->link.Delay(int(qMin<qint64>(left, ProfileTransfer::PollMs)));
    }
    printLine(stderr, QStringLiteral("kvrsetup-cli: no profile from ") + phone + QStringLiteral(" within %1 s").arg(waitSeconds));
    return 1;
}

int poll(const SerialSettings &s)
{
    Transfer t;
    if (!t.open(s))
        return 1;
    return t.transfer->pollMessages().listed ? 0 : 1;
}

int sendGprs(const SerialSettings &s, const CliOptions &o)
{
    Transfer t;
    if (!t.open(s))
        return 1;
    const GprsSettings settings{o.value(kApn), o.value(kUser), o.value(kPassword), o.value(kServer),
                                o.value(kServerPort)};
    return sendOutcome(t.transfer->sendGprs(o.value(kPhone), o.value(kSmsc), settings));
}

} // namespace

bool isSmsTransferCommand(const QString &command)
{
    return command == QLatin1String("send-profile") || command == QLatin1String("read-profile")
           || command == QLatin1String("poll") || command == QLatin1String("send-gprs");
}

int runSmsTransferCommand(const QString &command, const QStringList &args)
{
    const CliOptions o = parseOptions(args, serialOptionNames() + QStringList{kPhone, kSmsc, kWait, kApn, kUser,
                                                                               kPassword, kServer, kServerPort});
    SerialSettings s;
    const QString problem = readSerialOptions(o, s);
    if (!problem.isEmpty())
        return usage(problem);
    // Each command takes only its own options.
    QStringList allowed;
    QStringList required;
    int positional = 0;
    if (command == QLatin1String("send-profile")) {
        allowed = {kPhone, kSmsc};
        required = {kPhone};
        positional = 1;
    } else if (command == QLatin1String("read-profile")) {
        allowed = {kPhone, kSmsc, kWait};
        required = {kPhone};
    } else if (command == QLatin1String("send-gprs")) {
        allowed = {kPhone, kSmsc, kApn, kUser, kPassword, kServer, kServerPort};
        required = {kPhone, kApn, kServer, kServerPort};
    }
    for (auto it = o.values.cbegin(); it != o.values.cend(); ++it) {
        if (!serialOptionNames().contains(it.key()) && !allowed.contains(it.key()))
            return usage(command + QStringLiteral(" does not take ") + it.key());
    }
    const QString need = required.isEmpty() ? command + QStringLiteral(" takes no FILE")
                                            : command + QStringLiteral(" needs ") + required.join(QStringLiteral(", "))
                                                  + (positional ? QStringLiteral(" and one FILE") : QString());
    const QString missing = checkOptions(o, required, positional, need);
    if (!missing.isEmpty())
        return usage(missing);

    if (command == QLatin1String("send-profile"))
        return sendProfile(s, o);
    if (command == QLatin1String("read-profile"))
        return readProfile(s, o);
    if (command == QLatin1String("send-gprs"))
        return sendGprs(s, o);
    return poll(s);
}
