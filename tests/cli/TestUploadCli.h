#pragma once
#include <QObject>

// kvrsetup-cli upload, run as a program against kvrsim's boot loader.
class TestUploadCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void usageErrors_data();
    void usageErrors();
    void pageIsHexadecimal();
    void unknownTerminalRefused();
    void bankedUpload();
    void resumeAfterBrokenCall();
    void linearUpload();
    void interruptBreaksOff_data();
    void interruptBreaksOff();
    void fifoRefusedBeforeThePort();
    void secondInterruptDropsTheLine();
    void interruptBeforeTheDialDialsNothing();
    void rollOutOverTwoModems();
};
