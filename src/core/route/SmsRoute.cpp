#include "core/route/SmsRoute.h"

#include "core/app/AppState.h"
#include "core/app/OperationHistory.h"
#include "core/common/HexText.h"
#include "core/inbox/PendingHalves.h"
#include "core/pdu/mdlSMS.h"

SmsRoute::SmsRoute(AppState &state, QObject *parent) : QObject(parent), m_state(state) {}

QString SmsRoute::numberRefusal(const QString &phone, const QString &smsc, const QString &badPhone)
{
    if (!mdlSMS::IsValidPhone(phone))
        return badPhone;
    if (!smsc.isEmpty() && !mdlSMS::IsValidPhone(smsc))
        return QStringLiteral("Неверный номер SMS центра");
    return {};
}

QString SmsRoute::gprsRefusal(const QString &phone, const QString &smsc, const GprsSettings &settings)
{
    QString refusal = numberRefusal(phone, smsc, QStringLiteral("Номер телефона не задан или неверный"));
    TransferRecord rec;
    if (refusal.isEmpty())
        GprsRecord::buildGprsRecord(settings, rec, refusal);
    return refusal;
}

Task<void> SmsRoute::sendAndRecord(OperationHistory::Operation operation, QString phone, Task<SendResult> send)
{
    const SendResult result = co_await send;
    if (m_state.database && result.refusal.isEmpty())
        OperationHistory(*m_state.database)
            .recordNow(operation, phone, routeName(),
                       result.passed ? OperationHistory::Result::Ok : OperationHistory::Result::Failed,
                       result.passed ? QStringLiteral("отправлено") : result.failure);
}

QString SmsRoute::submitProfileFile(const QString &phone, const QString &smsc, const QByteArray &file)
{
    const QString refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc, file]() -> Task<void> {
            return sendAndRecord(OperationHistory::Operation::SendProfile, phone, sendProfileFile(phone, smsc, file));
        });
    return refusal;
}

QString SmsRoute::submitProfileRequest(const QString &phone, const QString &smsc)
{
    const QString refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc]() -> Task<void> {
            return sendAndRecord(OperationHistory::Operation::ReadProfile, phone, requestProfile(phone, smsc));
        });
    return refusal;
}

QString SmsRoute::submitGprs(const QString &phone, const QString &smsc, const GprsSettings &settings)
{
    const QString refusal = gprsRefusal(phone, smsc, settings);
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc, settings]() -> Task<void> {
            return sendAndRecord(OperationHistory::Operation::SendGprs, phone, sendGprs(phone, smsc, settings));
        });
    return refusal;
}

QString SmsRoute::packetName(PacketType type)
{
    return QStringLiteral("пакет 0x") + HexText::byte(quint8(type)) + QLatin1Char('h');
}

QString SmsRoute::brokenOffLine(const QString &refusedBy, PacketType failed, const QString &why, const QStringList &sent)
{
    return refusedBy + packetName(failed) + QStringLiteral(" (") + why + QStringLiteral("): ")
           + (sent.isEmpty() ? QStringLiteral("ничего не отправлено")
                             : QStringLiteral("отправлено только: ") + sent.join(QStringLiteral(", ")))
           + QStringLiteral("\r\n");
}

void SmsRoute::recordReceived(const PollResult &result)
{
    if (!m_state.database)
        return;
    OperationHistory history(*m_state.database);
    for (const ListingSweep::Outcome::Confirmation &c : result.confirmations)
        history.recordNow(OperationHistory::Operation::Confirmation, c.sender, routeName(), OperationHistory::Result::Ok,
                          packetName(c.packet));
    for (const ReceivedProfiles::Saved &saved : result.saved)
        history.recordNow(OperationHistory::Operation::ProfileReceived, saved.phone, routeName(),
                          OperationHistory::Result::Ok, saved.path);
}

QString SmsRoute::forgetEarlierHalves(const QString &phone) const
{
    return PendingHalves(m_state.appFolder()).discardForNewRequest(phone);
}
