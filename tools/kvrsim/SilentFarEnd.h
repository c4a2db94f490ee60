#pragma once

#include "FarEnd.h"

// Takes everything and never answers.
class SilentFarEnd : public FarEnd
{
    Q_OBJECT
public:
    using FarEnd::FarEnd;
    void fromModem(const QByteArray &) override {}
};
