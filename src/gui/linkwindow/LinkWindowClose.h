#pragma once

#include <QObject>
#include <QTimer>

class FirmwarePanel;
class ModemLine;
class ProfilePanel;
class UserPrompts;

// The link window's way out. What must not be cut short is asked about and then waited for: a
// firmware load leaves its data call first ("+++", "ATH"), a profile pair that has begun goes whole.
// Everything else is abandoned at once. mayClose comes exactly once, when the window may go.
class LinkWindowClose : public QObject
{
    Q_OBJECT
public:
    LinkWindowClose(ModemLine &line, UserPrompts &prompts, FirmwarePanel &firmware, ProfilePanel &profile,
                    QObject *parent = nullptr);

    // The operator's close; nothing happens when the operator chooses to stay.
    void request(int result);
    bool closing() const { return m_closing; }

signals:
    void mayClose(int result);

private:
    // A profile send, a scenario or a GPRS send is under way or queued.
    bool sendingProfile() const;
    void afterLoad(int result);
    void afterSends(int result);
    void finish(int result);

    ModemLine &m_line;
    UserPrompts &m_prompts;
    FirmwarePanel &m_firmware;
    ProfilePanel &m_profile;
    bool m_closing = false;
    bool m_finished = false;
    QMetaObject::Connection m_waiting;
    // A gateway's sends end without the line: looked at every second as well.
    QTimer m_check;
};
