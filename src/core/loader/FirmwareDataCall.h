#pragma once

#include "core/loader/BankImages.h"
#include "core/loader/BootLoaderTransfer.h"

#include "core/app/ResumePoints.h"
#include "core/app/UserPrompts.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class AppState;
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
    };

    FirmwareDataCall(LinkExchange &link, AppState &state, UserPrompts &prompts, QObject *parent = nullptr);
    ~FirmwareDataCall() override;

    // The whole load; true only when the terminal accepted the closing packet.
    bool cmdLoad_Click(const Request &request);

    // What would make the load write something other than the files asked for, said before
    // anything is dialled: a missing or wrong file, a file over its limit or without bytes for its
    // bank, a start outside the image, a resume that does not fit. Empty when the load may go.
    // With continueFromLast, resumeAt receives the stored position to start from.
    static QString refusal(const Request &request, Database *db, ResumePoints::Point *resumeAt = nullptr);
    // The largest image file: a banked file fills 64 KB of memory, a linear one a bank record.
    static qint64 maxFileSize(bool linear);
    // Break off: "+++", then "ATH". The waiting step of a running load then fails
    // and the load goes on with its own escape and hang-up.
    void cmdEscapeTransmit_Click();

    bool isRunning() const { return m_running; }

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
    // The last bank and page address in the program state have changed.
    void lastPositionStored();
    void runningChanged(bool running);

private:
    bool readImage(const Request &request);
    bool reachCommandMode();
    void leaveDataCall();
    // Text mode for the modem's own answers around the data call.
    void setReceiverTextMode();
    void log(const QString &line);

    LinkExchange &m_link;
    UserPrompts &m_prompts;
    // About 256 KB: kept off the stack and out of the window object's way.
    std::unique_ptr<BankImages> m_images;
    BootLoaderTransfer m_transfer;
    bool m_running = false;
    AppState &m_state;
    // The resume point of the running load.
    ResumePoints::Point m_point;
    void storeResumePoint();
    // Mirrors the link's break flag: set by the break, cleared when an exchange starts.
    bool m_abortRequested = false;
    // The operator's break: in force from the click to the end of the load, whatever step runs.
    bool m_breakRequested = false;
    // After a dial that ended in anything but a known dial result the modem may still be
    // connecting: hang up.
    void hangUpAfterDial();
};
