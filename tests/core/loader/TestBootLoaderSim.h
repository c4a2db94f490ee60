#pragma once
#include <QObject>

// The boot-loader transfer over a data call to kvrsim's boot loader.
class TestBootLoaderSim : public QObject
{
    Q_OBJECT
private slots:
    void bankedLoad();
    void everyByteValueReachesTheTerminal_data();
    void everyByteValueReachesTheTerminal();
    void linearLoadWithRepeat();
    void bootLoaderAlreadyRunning();
    void linearMemoryTypeCheck_data();
    void linearMemoryTypeCheck();
    void resumeFromLastBlock();
    void startBeyondTheImageSendsNothing();
};
