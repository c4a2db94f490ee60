#pragma once

#include <QCommandLineOption>
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class QCommandLineParser;
class QObject;
class SmsStore;

// The simulator's options for its message store and the terminals behind the network.
QList<QCommandLineOption> smsCommandLineOptions();
// The store the options describe; nullptr with problem set when they do not make sense.
SmsStore *makeSmsStore(const QCommandLineParser &parser, QObject *parent, QString &problem);
// The terminals of the --terminal options: number and settings image.
bool readTerminals(const QCommandLineParser &parser, QList<QPair<QString, QByteArray>> &terminals, QString &problem);
