#pragma once
#include <QObject>

class TestEventReport : public QObject
{
    Q_OBJECT
private slots:
    void byteExact();
    void emptyTable();
    void parameterTexts();
    void writesFileAndStylesheetRenders();
    void controlCharactersLeaveItWellFormed();
};
