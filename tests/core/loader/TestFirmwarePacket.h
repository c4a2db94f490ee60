#pragma once
#include <QObject>

// Header and data packets of banked, linear and closing blocks.
class TestFirmwarePacket : public QObject
{
    Q_OBJECT
private slots:
    void headerBytesByHand();
    void bankedBlocks_data();
    void bankedBlocks();
    void closingPacket();
    void linearBlocks_data();
    void linearBlocks();
};
