#pragma once

#include "core/loader/BankImages.h"
#include "core/loader/BootLoaderTransfer.h"

#include "core/app/ResumePoints.h"
#include "core/common/Task.h"
#include "core/link/ModemLine.h"
#include "core/app/UserPrompts.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class LinkExchange;

// One complete remote firmware load ("Загрузить"): read the image files, bring
// the modem to command mode, dial the terminal, run the boot-loader transfer over
// the call, then escape with "+++" and hang up. And the operator's break
// ("Прервать передачу"), which may run inside any wait of a running load.
class FirmwareDataCall : public QObject
{
    Q_OBJECT
public:
    // What the firmware panel (or the command line) asks for.
    struct Request
    {
        QString files[3];    // txtFileUpload 0..2
        bool linear = false; // chkWOBank
        QString number;      // the terminal's data number
        BootLoaderTransfer::StartChoice start;
        // The book the resume points and the history row go to; none in some tests.
        Database *database = nullptr;
    };

    FirmwareDataCall(ModemLine &line, UserPrompts &prompts, QObject *parent = nullptr);
    ~FirmwareDataCall() override;

    // Queues the whole load on the line; loadFinished tells how it ended.
    void cmdLoad_Click(const Request &request);
    // The whole load; true only when the terminal accepted the closing packet.
    Task<bool> load(Request request);

    // What would make the load write something other than the files asked for, said before
    // anything is dialled: a missing or wrong file, a file over its limit or without bytes for its
    // bank, a start outside the image, a resume that does not fit. Empty when the load may go.
    // With continueFromLast, resumeAt receives the stored position to start from.
    static QString refusal(const Request &request, Database *db, ResumePoints::Point *resumeAt = nullptr);
    // The largest image file: a banked file fills 64 KB of memory, a linear one a bank record.
    static qint64 maxFileSize(bool linear);
    // A linear image longer than this is no image of this terminal ("Файл превышает размер в 65 кб").
    static constexpr qint64 LinearFileLimit = 70000;
    // Break off. A running load ends its waiting step at once; one that stands in a data call
    // leaves it with "+++" and "ATH" (twice, as the escape and then its own hang-up), one that
    // had not dialled yet dials nothing. With no load, "+++" and "ATH" are queued on the line.
    void cmdEscapeTransmit_Click();

    bool isRunning() const { return m_running; }
    // Where this call's last load stood; each call keeps its own, so loads on several lines
    // never mix their positions.
    BootLoaderTransfer::LastPosition lastPosition() const { return m_transfer.lastPosition(); }

    // Entries of cmbPageAdr: 0..7C00 in steps of 400 (banked) or 0..FE00 in steps of 200
    // (linear), hexadecimal, upper case, no leading zeros; and the entry selected at first
    // (2800 or 1000).
    static QStringList pageAddresses(bool linear);
    static int defaultPageIndex(bool linear) { return linear ? 8 : 10; }
    // Filters of the image file dialog.
    static QList<UserPrompts::Filter> imageFileFilters();
    const BankImages &images() const { return *m_images; }

signals:
    // Step 1 of a load: empty the traffic log and the state log.
    void logsCleared();
    // New caption for lblPercent.
    void progressChanged(const QString &caption, int percent);
    // lastPosition() has changed.
    void lastPositionStored();
    void runningChanged(bool running);
    // A load queued by cmdLoad_Click has ended; accepted as load() returns it.
    void loadFinished(bool accepted);

private:
    bool readImage(const Request &request);
    Task<void> runLoad(Request request);
    Task<bool> reachCommandMode();
    Task<void> leaveDataCall();
    // The break's own escape and hang-up.
    Task<void> escapeAndHangUp();
    Task<void> runEscape();
    // Text mode for the modem's own answers around the data call.
    void setReceiverTextMode();
    void log(const QString &line);
    // A caption of the load's own; kept so that a break can say where the load stood.
    void showProgress(const QString &caption, int percent);

    ModemLine &m_line;
    LinkExchange &m_link;
    UserPrompts &m_prompts;
    // About 256 KB: kept off the stack and out of the window object's way.
    std::unique_ptr<BankImages> m_images;
    BootLoaderTransfer m_transfer;
    bool m_running = false;
    QString m_progressCaption = QStringLiteral("Загружено");
    int m_progressPercent = 0;
    // The resume point of the running load, and the book it goes to.
    ResumePoints::Point m_point;
    Database *m_database = nullptr;
    void storeResumePoint();
    // After a dial that ended in anything but a known dial result the modem may still be
    // connecting: hang up.
    Task<void> hangUpAfterDial();
    // Owns this call's operations on the line; declared last, it goes first, and the line runs a
    // load still under way to its end (history row included) while the rest of us is there.
    QObject m_operations;
};
