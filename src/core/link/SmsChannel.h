#pragma once

#include "core/link/clsReceive.h"

#include <QString>

// The SMS side of a link: the body that waits for the modem's ">" prompt, and the message
// listing the receiver collects while a poll lists the store.
class SmsChannel
{
public:
    SmsChannel() { clearSmsList(); }

    // The SMS body to send, followed by Ctrl-Z, when the modem's ">" prompt arrives. The
    // "AT+CMGS=" exchange then waits for the modem's final answer to the message itself.
    void armSmsPrompt(const QString &body)
    {
        m_body = body;
        m_promptPending = true;
    }
    // No body is waiting for a prompt any more (the send is over, whatever its outcome).
    void clearSmsPrompt()
    {
        m_promptPending = false;
        m_body.clear();
    }
    bool smsPromptPending() const { return m_promptPending; }
    // The prompt came: the body to send, once.
    QString takePromptBody()
    {
        m_promptPending = false;
        return m_body;
    }

    // While set, the receiver also collects a message listing into smsList().
    void setSmsListing(bool on) { m_listing = on; }
    bool smsListing() const { return m_listing; }
    const SmsTable &smsList() const { return m_list; }
    SmsTable *listTable() { return &m_list; }
    // The listing table before a new listing: two rows by one empty column.
    void clearSmsList()
    {
        m_list.clear();
        m_list.append(std::array<QString, 2>{});
    }

private:
    bool m_promptPending = false;
    QString m_body;
    bool m_listing = false;
    SmsTable m_list;
};
