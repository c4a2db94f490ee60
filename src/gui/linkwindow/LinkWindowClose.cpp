#include "gui/linkwindow/LinkWindowClose.h"

#include "core/app/UserPrompts.h"
#include "core/link/ModemLine.h"
#include "core/route/ProfileTransfer.h"
#include "gui/linkwindow/FirmwarePanel.h"
#include "gui/linkwindow/ProfilePanel.h"

LinkWindowClose::LinkWindowClose(ModemLine &line, UserPrompts &prompts, FirmwarePanel &firmware, ProfilePanel &profile,
                                 QObject *parent)
    : QObject(parent), m_line(line), m_prompts(prompts), m_firmware(firmware), m_profile(profile)
{
    m_check.setInterval(1000);
}

void LinkWindowClose::request(int result)
{
    if (m_closing)
        return;
    if (m_line.isRunning(ModemLine::Operation::FirmwareLoad)) {
        // Enter must not abort a flash.
        if (m_prompts.message(QStringLiteral("Идет загрузка ПО. Прервать загрузку и закрыть окно?"),
                              QStringLiteral("Внимание"), UserPrompts::Icon::Question,
                              UserPrompts::Buttons::YesNoDefaultNo)
            != UserPrompts::Answer::Yes)
            return;
        m_closing = true;
        afterLoad(result);
        return;
    }
    if (sendingProfile()) {
        if (m_prompts.message(QStringLiteral("Идет отправка профиля. Прервать и закрыть окно?"), QStringLiteral("Внимание"),
                              UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
            != UserPrompts::Answer::Yes)
            return;
        m_closing = true;
        afterSends(result);
        return;
    }
    m_closing = true;
    finish(result);
}

bool LinkWindowClose::sendingProfile() const
{
    using Op = ModemLine::Operation;
    return m_line.isRunning(Op::SmsSend) || m_line.isRunning(Op::ScenarioSend) || m_line.hasQueued(Op::SmsSend)
           || (m_profile.route() && !m_profile.route()->sendsIdle());
}

void LinkWindowClose::afterLoad(int result)
{
    m_line.dropQueued();
    // The window closes once the load has left the call.
    m_waiting = connect(&m_line, &ModemLine::finished, this, [this, result] { finish(result); });
    m_firmware.cmdEscapeTransmit_Click();
}

void LinkWindowClose::afterSends(int result)
{
    // What has not begun is dropped; a pair that has begun goes whole, its confirmation not awaited.
    m_line.dropQueued(ModemLine::Operation::Poll);
    m_line.dropQueued(ModemLine::Operation::ModemCheck);
    m_line.dropQueued(ModemLine::Operation::SmsSend);
    m_profile.transfer().breakSends();
    if (m_profile.route())
        m_profile.route()->breakSends();
    const auto closeWhenIdle = [this, result] {
        if (!sendingProfile())
            finish(result);
    };
    m_waiting = connect(&m_line, &ModemLine::finished, this, closeWhenIdle);
    connect(&m_check, &QTimer::timeout, this, closeWhenIdle);
    m_check.start();
    closeWhenIdle();
}

void LinkWindowClose::finish(int result)
{
    if (m_finished)
        return;
    m_finished = true;
    disconnect(m_waiting);
    m_check.stop();
    emit mayClose(result);
}
