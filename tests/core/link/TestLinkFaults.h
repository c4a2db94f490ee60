#pragma once

#include <QObject>

// The link under real-world faults: a port that vanishes during a wait, lines that follow
// a final answer, modem error reports, stale input, a data answer that never ends.
class TestLinkFaults : public QObject
{
    Q_OBJECT
private slots:
    void portLostDuringWait_data();
    void portLostDuringWait();
    void unsolicitedLinesAfterOk();
    void unsolicitedLinesBeforeTheAnswer();
    void errorReportEndsWaitAtOnce_data();
    void errorReportEndsWaitAtOnce();
    void staleInputCleared();
    void endlessDataAnswerStaysBounded();
};
