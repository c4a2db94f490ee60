#pragma once
#include <QObject>

// Arbitrary bytes into the parser and the data-file loaders: no crash, nothing outside the image.
class TestRandomInput : public QObject
{
    Q_OBJECT
private slots:
    void parserSurvivesRandomTables();
    void loadersSurviveRandomFiles();
};
