#pragma once
#include <QObject>

// Arbitrary text as listed PDUs: no crash, no read outside the text, no file outside BIN.
class TestSmsRandomInput : public QObject
{
    Q_OBJECT
private slots:
    void randomListings();
};
