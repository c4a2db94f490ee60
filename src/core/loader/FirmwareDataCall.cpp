#include "core/loader/FirmwareDataCall.h"

#include "core/app/HistoryRow.h"
#include "core/tasks/TaskRow.h"

#include "core/app/OperationHistory.h"

#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/common/FileIo.h"

#include <QFileInfo>

namespace {

constexpr int kDialTimeOut = 32700;   // up to 196.2 s
constexpr int kHangUpTimeOut = 10000; // 60 s
constexpr int kBreakTimeOut = 2000;   // 12 s

} // namespace

FirmwareDataCall::FirmwareDataCall(ModemLine &line, UserPrompts &prompts, QObject *parent)
    : QObject(parent),
      m_line(line),
      m_link(line.link()),
      m_prompts(prompts),
      m_images(std::make_unique<BankImages>()),
      m_transfer(line.link(), *m_images)
{
    connect(&m_transfer, &BootLoaderTransfer::progressChanged, this, &FirmwareDataCall::showProgress);
    m_transfer.setCancelled([this] { return m_link.breakRequested(); });
    connect(&m_transfer, &BootLoaderTransfer::lastPositionStored, this, [this] {
        storeResumePoint();
        emit lastPositionStored();
    });
}

void FirmwareDataCall::storeResumePoint()
{
    if (!m_database)
        return;
    m_point.bank = m_transfer.lastPosition().bank;
    m_point.address = m_transfer.lastPosition().address;
    QString error;
    if (!ResumePoints(*m_database).store(m_point, error))
        log(QStringLiteral("Точка продолжения не сохранена: ") + error);
}

qint64 FirmwareDataCall::maxFileSize(bool linear)
{
    return linear ? BankRecord::Size : 2 * BankImages::BankWindow;
}

QString FirmwareDataCall::refusal(const Request &request, Database *db, ResumePoints::Point *resumeAt)
{
    const int named = request.linear ? 1 : 3;
    if (request.files[0].trimmed().isEmpty())
        return QStringLiteral("Не выбран файл программы");
    // The texts operators know come first; what is new follows them.
    const QString readError = QStringLiteral("Ошибка чтения файлов. ");
    // A third file without a second would be dropped, and banks 2 and 3 loaded with nothing.
    if (!request.linear && request.files[1].trimmed().isEmpty() && !request.files[2].trimmed().isEmpty())
        return readError + QStringLiteral("Файл для банка 3 (") + request.files[2]
               + QStringLiteral(") задан без файла для банка 2");
    qint64 sizes[3] = {0, 0, 0};
    for (int k = 0; k < named; ++k) {
        const QString &path = request.files[k];
        if (k > 0 && path.trimmed().isEmpty())
            continue;
        if (!QFileInfo::exists(path))
            return QStringLiteral("Файл ") + path + QStringLiteral("не найден");
        QString why;
        if (!FileIo::checkRegular(path, why))
            return why;
        const qint64 size = sizes[k] = QFileInfo(path).size();
        const QString tooLong = QStringLiteral("Файл ") + path + QStringLiteral(" длиннее ")
                                + QString::number(maxFileSize(request.linear)) + QStringLiteral(" байт (")
                                + QString::number(size) + QStringLiteral(" байт): лишние байты легли бы на другие адреса");
        if (request.linear && size > LinearFileLimit)
            return QStringLiteral("Файл превышает размер в 65 кб: ") + tooLong;
        if (size > maxFileSize(request.linear))
            return readError + tooLong;
        if (k == 0 && size == 0)
            return readError + QStringLiteral("Файл ") + path + QStringLiteral(" пуст");
        // The second and third files give only their upper half, the banked window.
        if (k > 0 && size <= BankImages::BankWindow)
            return readError + QStringLiteral("Файл ") + path + QStringLiteral(" (") + QString::number(size)
                   + QStringLiteral(" байт) не содержит данных для банка ") + QString::number(k + 1)
                   + QStringLiteral(": они начинаются с байта ") + QString::number(BankImages::BankWindow);
    }
    // The bytes each bank will hold, as the image will be read.
    qint64 lengths[BankImages::BankCount] = {0, 0, 0, 0};
    if (request.linear) {
        lengths[0] = sizes[0];
    } else {
        lengths[0] = std::min<qint64>(sizes[0], BankImages::BankWindow);
        lengths[1] = std::max<qint64>(0, sizes[0] - BankImages::BankWindow);
        lengths[2] = sizes[1] > 0 ? sizes[1] - BankImages::BankWindow : 0;
        lengths[3] = sizes[1] > 0 && sizes[2] > 0 ? sizes[2] - BankImages::BankWindow : 0;
    }
    // A start must be one of the window's block boundaries with image bytes at or after it: the
    // terminal would otherwise be taken into its boot loader only to be sent nothing.
    const auto startRefusal = [&](int bank, qint64 page) -> QString {
        const int step = request.linear ? 0x200 : 0x400;
        const qint64 limit = request.linear ? 0x10000 : BankImages::BankWindow;
        if (page < 0 || page % step != 0 || page >= limit)
            return QStringLiteral("Неверный начальный адрес ") + QString::number(page, 16).toUpper()
                   + QStringLiteral("H: адрес блока кратен ") + QString::number(step, 16).toUpper()
                   + QStringLiteral("H");
        if (bank < 0 || bank >= BankImages::BankCount)
            return QStringLiteral("Банка ") + QString::number(bank) + QStringLiteral(" нет: банки 0..3");
        bool data = lengths[bank] > page;
        for (int later = bank + 1; !request.linear && later < BankImages::BankCount; ++later)
            data = data || lengths[later] > 0;
        if (!data)
            return QStringLiteral("Начальный адрес ") + QString::number(page, 16).toUpper() + QStringLiteral("H")
                   + (request.linear ? QString() : QStringLiteral(" банка ") + QString::number(bank))
                   + QStringLiteral(" за концом данных: загружать нечего");
        return QString();
    };
    const ResumePoints::Mode mode = request.linear ? ResumePoints::Mode::Linear : ResumePoints::Mode::Banked;
    if (request.start.continueFromLast) {
        ResumePoints::Point stored;
        if (!db || !ResumePoints(*db).find(request.number, stored))
            return QStringLiteral("Для номера ") + request.number
                   + QStringLiteral(" нет сохраненной точки продолжения: начните загрузку с выбранного адреса");
        const QStringList files(request.files, request.files + named);
        const QString differs = ResumePoints::difference(stored, {request.number, mode, ResumePoints::fingerprint(files)});
        if (!differs.isEmpty())
            return QStringLiteral("Продолжить нельзя: ") + differs;
        // A stored point outside the image (an edited or damaged book) would write below the start.
        const QString badPoint = startRefusal(request.linear ? 0 : stored.bank, stored.address);
        if (!badPoint.isEmpty())
            return QStringLiteral("Продолжить нельзя: сохраненная точка не годится (") + badPoint + QLatin1Char(')');
        if (resumeAt)
            *resumeAt = stored;
        return QString();
    }
    bool ok = false;
    const qint64 page = request.start.pageText.trimmed().toLongLong(&ok, 16);
    if (!ok || page < 0)
        return QStringLiteral("Неверный начальный адрес ") + request.start.pageText;
    if (request.linear) {
        const qint64 size = QFileInfo(request.files[0]).size();
        if (page >= size)
            return QStringLiteral("Начальный адрес ") + QString::number(page, 16).toUpper()
                   + QStringLiteral("H за концом файла ") + request.files[0] + QStringLiteral(" (")
                   + QString::number(size) + QStringLiteral(" байт)");
        return startRefusal(0, page);
    }
    const QString bankText = request.start.bankText.trimmed();
    const int bank = bankText.isEmpty() ? 0 : bankText.toInt(&ok);
    if (!ok || bank < 0 || bank >= BankImages::BankCount)
        return QStringLiteral("Банка ") + request.start.bankText + QStringLiteral(" нет: банки 0..3");
    return startRefusal(bank, page);
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
    m_link.display().appendInfo(line + QStringLiteral("\r\n"));
}

void FirmwareDataCall::setReceiverTextMode()
{
    if (clsReceive *receiver = m_link.port().receiver())
        receiver->setTextMode();
}

void FirmwareDataCall::cmdLoad_Click(const Request &request)
{
    m_line.submit(&m_operations, ModemLine::Operation::FirmwareLoad,
                  [this, request]() -> Task<void> { return runLoad(request); });
}

Task<void> FirmwareDataCall::runLoad(Request request)
{
    const bool accepted = co_await load(request);
    emit loadFinished(accepted);
}

Task<bool> FirmwareDataCall::load(Request request)
{
    // One load at a time: a second click would interleave two conversations on one line.
    if (m_running)
        co_return false;
    m_running = true;
    emit runningChanged(true);
    // However the load ends (its end, a break, its owner going) the next one may start.
    struct RunningFlag
    {
        FirmwareDataCall &call;
        ~RunningFlag()
        {
            call.m_running = false;
            emit call.runningChanged(false);
        }
    } const runningFlag{*this};
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Receiver);

    emit logsCleared();
    m_progressCaption = QStringLiteral("Загружено");
    m_progressPercent = 0;
    bool accepted = false;
    ResumePoints::Point resumeAt;
    m_database = request.database;
    const QString refused = refusal(request, m_database, &resumeAt);
    if (!refused.isEmpty()) {
        // Nothing was dialled: no stale figure from an earlier load may stand.
        showProgress(QStringLiteral("Загружено"), 0);
        m_prompts.message(refused, QString(), UserPrompts::Icon::Warning);
        co_return false;
    }
    HistoryRow history(m_database, OperationHistory::Operation::Upload, request.number.trimmed(),
                       m_line.portName(), QStringLiteral("загрузка не завершена"));
    const QStringList files(request.files, request.files + (request.linear ? 1 : 3));
    QStringList loaded;
    for (const QString &file : files) {
        if (!file.trimmed().isEmpty())
            loaded << file;
    }
    TaskBook::NewTask newTask;
    newTask.operation = OperationHistory::Operation::Upload;
    newTask.number = request.number.trimmed();
    newTask.fileName = loaded.join(QStringLiteral(", "));
    newTask.fileSha256 = TaskRow::filesSha256(loaded);
    TaskRow task(m_database ? m_database->connectionName() : QString(), m_link.clock(), newTask,
                 QStringLiteral("загрузка не завершена"));
    if (!task.problem().isEmpty())
        log(QStringLiteral("Задание загрузки не записано: ") + task.problem());
    m_point = {request.number.trimmed(),
               request.linear ? ResumePoints::Mode::Linear : ResumePoints::Mode::Banked,
               ResumePoints::fingerprint(files), 0, 0};
    if (request.start.continueFromLast) {
        m_transfer.setLastPosition({qint16(resumeAt.bank), resumeAt.address});
        emit lastPositionStored();
    }
    // Awaited as statements of their own: the compiler mishandles a wait inside && and ?:.
    bool ready = readImage(request);
    if (ready)
        ready = co_await reachCommandMode();
    if (ready) {
        const bool dialled = co_await m_link.sendCommand(QStringLiteral("ATD") + request.number, QStringLiteral("CONNEC"), kDialTimeOut);
        if (!dialled) {
            // A dial refused by a known result is left as it is: the exchange has logged why.
            co_await hangUpAfterDial();
        } else {
            log(QStringLiteral(" Режим передачи данных"));
            // From now on the terminal may hold part of this load, whatever it held before.
            QString forgetError;
            if (m_database && !ResumePoints(*m_database).forgetFinished(m_point.number, forgetError))
                log(QStringLiteral("Отметка о завершенной загрузке не удалена: ") + forgetError);
            m_link.port().clearRecentlyReceived();
            m_transfer.setStartChoice(request.start);
            if (request.linear)
                co_await m_transfer.LoadData1();
            else
                co_await m_transfer.LoadData();
            accepted = m_transfer.closingAccepted();

            // Nothing left to continue; a point that stays would offer to resume a finished load.
            // The files are kept as finished, so that a resumed roll-out does not dial it again.
            QString error;
            if (accepted && m_database && !ResumePoints(*m_database).finish(m_point, error))
                log(QStringLiteral("Точка продолжения не удалена: ") + error);
            // Whatever happens now, the call is left: escape and hang-up reach the line despite a break.
            const LinkExchange::Shield shield(m_link);
            if (m_link.breakRequested())
                co_await escapeAndHangUp();
            co_await leaveDataCall();
            // A wait that failed on the modem's "NO CARRIER" gets a line a person can read.
            if (!accepted && m_link.port().recentlyReceived().contains("NO CARRIER"))
                log(QStringLiteral("Связь с терминалом прервана"));
        }
    }

    if (accepted) {
        history.set(OperationHistory::Result::Ok, QStringLiteral("загрузка завершена"));
        task.confirm(QStringLiteral("загрузка завершена"));
    } else if (m_link.breakRequested()) {
        task.setFailure(QStringLiteral("прервано"));
        // The figure reached stays in sight: it tells how much a resume will skip.
        emit progressChanged(m_progressCaption + QStringLiteral(", прервано"), m_progressPercent);
    }
    co_return accepted;
}

bool FirmwareDataCall::readImage(const Request &request)
{
    // The files were checked by refusal(); a read can still fail (the file changed meanwhile).
    return request.linear ? m_images->LoadFileVariables1(request.files[0], m_prompts)
                          : m_images->LoadFileVariables(request.files, m_prompts);
}

Task<bool> FirmwareDataCall::reachCommandMode()
{
    setReceiverTextMode();
    for (int attempt = 1; attempt <= 3 && !m_link.breakRequested(); ++attempt) {
        if (attempt > 1) {
            log(QStringLiteral("Попытка вывести в командный режим (+++)"));
            co_await m_link.Send3Plus();
            co_await m_link.Delay(6000);
        }
        log(QStringLiteral("Проверка командного режима"));
        const bool answered = co_await m_link.TestCmdMode();
        if (answered && !m_link.breakRequested()) {
            setReceiverTextMode();
            co_return true;
        }
    }
    // One line per break: the exchange that the break ended may have said it already.
    if (!m_link.breakRequested())
        log(QStringLiteral("Модем не отвечает, сценарий прерван"));
    else if (!m_link.breakLogged())
        log(QStringLiteral("Прервано пользователем"));
    co_return false;
}

Task<void> FirmwareDataCall::leaveDataCall()
{
    setReceiverTextMode();
    for (int i = 0; i < 2; ++i) {
        co_await m_link.Send3Plus();
        co_await m_link.Delay(2000);
    }
    bool commandMode = false;
    for (int attempt = 0; attempt < 3 && !commandMode && !m_link.port().isPortLost(); ++attempt) {
        log(QStringLiteral("Проверка командного режима"));
        commandMode = co_await m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kHangUpTimeOut);
    }
    if (!commandMode) {
        log(QStringLiteral("Сценарий окончен, модем не вышел из режима передачи данных"));
        co_return;
    }
    log(QStringLiteral("Сценарий окончен, модем в командном режиме"));
    const bool hungUp = co_await m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kHangUpTimeOut);
    if (hungUp)
        log(QStringLiteral("Труба положена"));
    else
        log(QStringLiteral("Труба не положена, экономьте деньги"));
}

Task<void> FirmwareDataCall::hangUpAfterDial()
{
    static const char *const known[] = {"NO CARR", "BUSY", "NO DIAL", "NO ANSW", "ERROR", "+CME ERROR", "+CMS ERROR"};
    if (m_link.replyState() == LinkExchange::ReplyState::PortLost)
        co_return;
    if (m_link.replyState() == LinkExchange::ReplyState::Answered) {
        for (const char *word : known) {
            if (m_link.lastAnswer().word.startsWith(QLatin1String(word)))
                co_return;
        }
    }
    const LinkExchange::Shield shield(m_link);
    co_await m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kBreakTimeOut);
}

Task<void> FirmwareDataCall::escapeAndHangUp()
{
    setReceiverTextMode();
    co_await m_link.Send3Plus();
    co_await m_link.Delay(500);
    co_await m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), kBreakTimeOut);
}

Task<void> FirmwareDataCall::runEscape()
{
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Receiver);
    co_await escapeAndHangUp();
}

void FirmwareDataCall::showProgress(const QString &caption, int percent)
{
    m_progressCaption = caption;
    m_progressPercent = percent;
    emit progressChanged(caption, percent);
}

void FirmwareDataCall::cmdEscapeTransmit_Click()
{
    if (m_running) {
        // The load leaves the call itself ("+++", "ATH") as soon as its waiting step ends; until
        // the modem has hung up "Загрузить" stays grey, and the caption says why.
        emit progressChanged(m_progressCaption + QStringLiteral(", прерывается: ждем отбоя модема"), m_progressPercent);
        m_line.requestBreak();
        return;
    }
    showProgress(QStringLiteral("Загружено"), 0);
    // No load: the break still brings a modem left in a call back and hangs up.
    m_line.submit(&m_operations, ModemLine::Operation::Break, [this]() -> Task<void> { return runEscape(); });
}
