#pragma once
#include <QObject>

// Transfers that end on a reply time-out (30 s for a block, 60 s for the boot command).
class TestBootLoaderTimeouts : public QObject
{
    Q_OBJECT
private slots:
    void missingAcknowledgement();
    void bootCommandRefused();
};
