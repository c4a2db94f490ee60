#include "core/loader/FirmwareDataCall.h"

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/settings/SettingsFiles.h"

namespace {

constexpr int kDialTimeOut = 32700;   // up to 196.2 s
constexpr int kHangUpTimeOut = 10000; // 60 s
constexpr int kBreakTimeOut = 2000;   // 12 s

} // namespace

FirmwareDataCall::FirmwareDataCall(LinkExchange &link, AppState &state, UserPrompts &prompts, QObject *parent)
    : QObject(parent),
      m_link(link),
      m_prompts(prompts),
      m_images(std::make_unique<BankImages>()),
      m_transfer(link, *m_images, state)
{
    connect(&m_transfer, &BootLoaderTransfer::progressChanged, this, &FirmwareDataCall::progressChanged);
    connect(&m_transfer, &BootLoaderTransfer::lastPositionStored, this, &FirmwareDataCall::lastPositionStored);
}

FirmwareDataCall::~FirmwareDataCall() = default;

QStringList FirmwareDataCall::pageAddresses(bool linear)
{
    const int step = linear ? 0x200 : 0x400;
    const int count = linear ? 128 : 32;
    QStringList pages;
    for (int i = 0; i < count; ++i)
        pages << QString::number(i * step, 16).toUpper();
    return pages;
}

QList<UserPrompts::Filter> FirmwareDataCall::imageFileFilters()
{
    return {{QStringLiteral("Файл загружаемой программой"), QStringLiteral("*.BIN")},
            {QStringLiteral("Все файлы"), QStringLiteral("*.*")}};
}

void FirmwareDataCall::log(const QString &line)
{
    m_link.appendInfo(line + QStringLiteral("\r\n"));
}

void FirmwareDataCall::setReceiverTextMode()
{
    if (clsReceive *receiver = m_link.receiver())
        receiver->setTextMode();
}

bool FirmwareDataCall::cmdLoad_Click(const Request &request)
{
    // One load at a time: a second click would interleave two conversations on one line.
    if (m_running)
        return false;
    m_running = true;
    emit runningChanged(true);

    emit logsCleared();
    m_abortRequested = false;
    bool accepted = false;
    if (readImage(request) && reachCommandMode()
        && m_link.sendCommand(QStringLiteral("ATD") + request.number, QStringLiteral("CONNEC"), kDialTimeOut)) {
        log(QStringLiteral(" Режим передачи данных"));
        m_transfer.setStartChoice(request.start);
        if (request.linear)
            m_transfer.LoadData1();
        else
            m_transfer.LoadData();
        accepted = m_transfer.closingAccepted();
        leaveDataCall();
    }
    // A failed dial is left as it is: the exchange has logged why.

    m_running = false;
    emit runningChanged(false);
    return accepted;
}

bool FirmwareDataCall::readImage(const Request &request)
{
    // A missing file is reported and the load goes on; an empty field names no file.
    const int checked = request.linear ? 1 : 3;
    for (int k = 0; k < checked; ++k) {
        const QString &path = request.files[k];
        if ((k == 0 || !path.isEmpty()) && !SettingsFiles::FileExists(path))
            m_prompts.message(QStringLiteral("Файл ") + path + QStringLiteral("не найден"));
    }
    return request.linear ? m_images->LoadFileVariables1(request.files[0], m_prompts)
                          : m_images->LoadFileVariables(request.files, m_prompts);
}

bool FirmwareDataCall::reachCommandMode()
{
    setReceiverTextMode();
    for (int attempt = 1; attempt <= 3 && !m_abortRequested; ++attempt) {
        if (attempt > 1) {
            log(QStringLiteral("Попытка вывести в командный режим (+++)"));
            m_link.Send3Plus();
            m_link.Delay(6000);
        }
        log(QStringLiteral("Проверка командного режима"));
        if (m_link.TestCmdMode()) {
            setReceiverTextMode();
            return true;
        }
    }
    log(QStringLiteral("Модем не отвечает, сценарий прерван"));
    return false;
}

void FirmwareDataCall::leaveDataCall()
{
    setReceiverTextMode();
    for (int i = 0; i < 2; ++i) {
        m_link.Send3Plus();
        m_link.Delay(2000);
    }
    bool commandMode = false;
    for (int attempt = 0; attempt < 3 && !commandMode && !m_abortRequested; ++attempt) {
        log(QStringLiteral("Проверка командного режима"));
        commandMode = m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kHangUpTimeOut);
    }
    if (!commandMode) {
        log(QStringLiteral("Сценарий окончен, модем не вышел из режима передачи данных"));
        return;
    }
    log(QStringLiteral("Сценарий окончен, модем в командном режиме"));
    if (m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kHangUpTimeOut))
        log(QStringLiteral("Труба положена"));
    else
        log(QStringLiteral("Труба не положена, экономьте деньги"));
}

void FirmwareDataCall::cmdEscapeTransmit_Click()
{
    emit progressChanged(QStringLiteral("Загружено"));
    m_abortRequested = true;
    m_link.requestAbort();
    setReceiverTextMode();
    m_link.Send3Plus();
    m_link.Delay(500);
    // The hang-up exchange clears the break as every exchange does; the interrupted
    // step then sees the state this exchange leaves and fails on it.
    m_abortRequested = false;
    m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kBreakTimeOut);
}
