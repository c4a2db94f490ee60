#pragma once

#include <QObject>

// frmCommSetup and frmLoadFile driven directly, never through exec().
class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void commSetupShowsDefaults();
    void commSetupStoresChoice();
    void commSetupCancelKeepsValues();
    void commSetupShowsValueWithoutItem();
    void commSetupTakesDevicePath();
    void loadFileNewClearsImage();
    void loadFileLoadLoadsFile();
    void messageBoxKeysKeepWork();
};
