#pragma once

#include <QByteArray>
#include <QObject>

// The party at the other end of a data call: gets the bytes the computer sends
// once the call is up and answers through toModem. The terminal's boot loader
// is one such far end.
class FarEnd : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~FarEnd() override = default;

    virtual void callStarted() {}
    virtual void fromModem(const QByteArray &bytes) = 0;

signals:
    void toModem(const QByteArray &bytes);
    // The far end drops the call; the modem reports NO CARRIER.
    void hangUp();
};
