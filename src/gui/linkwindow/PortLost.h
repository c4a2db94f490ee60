#pragma once

#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"

// A control that needs the port, pressed after the port went: it says so instead of doing
// nothing. True when the port is lost (and that was said).
inline bool portLostSaid(ModemLine &line, UserPrompts &prompts)
{
    const LinkPort &port = line.link().port();
    if (!port.isPortLost())
        return false;
    prompts.message(QStringLiteral("Порт потерян: ") + port.lostReason(), QString(), UserPrompts::Icon::Warning);
    return true;
}
