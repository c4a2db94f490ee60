#pragma once

#include "FarEnd.h"

// Sends every byte straight back: enough to exercise raw data exchanges.
class LoopbackFarEnd : public FarEnd
{
    Q_OBJECT
public:
    using FarEnd::FarEnd;
    void fromModem(const QByteArray &bytes) override { emit toModem(bytes); }
};
