#pragma once
#include <QObject>

// The exchange layer against a serial port double: exact bytes, log texts, routing.
class TestLinkExchange : public QObject
{
    Q_OBJECT
private slots:
    void rxLampLitForAMoment();
    void sendStringCrEmpty();
    void sendStringEmptySendsNothing();
    void echoTextMode();
    void echoDataModeHex();
    void noEchoWhenUnchecked();
    void receivedTextAndHex();
    void lamps();
    void routingByMode();
    void listingGoesToByteWhse();
    void smsPromptSendsBodyOnce();
    void answerTestPrefix();
    void expectedTextsUpperCased();
    void sendDataLogsHexWithoutLeadingZero();
    void unsolicitedAnswerIsHarmless();
    void shutdownEndsWaitAndRefusesNewExchanges();
    void delayReturnsAtOnceAndEndsOnItsTimer();
};
