#include "TestClsReceive.h"

#include "core/link/clsReceive.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void feed(clsReceive &r, const QByteArray &bytes)
{
    for (char c : bytes)
        r.ByteArrive(quint8(c));
}

} // namespace

void TestClsReceive::echoedOk()
{
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("AT\r\r\nOK\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("OK"));
    QCOMPARE(r.sRemain(), QStringLiteral("AT"));
    QCOMPARE(r.bufferedCount(), 0);
}

void TestClsReceive::connectCutToSeven()
{
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\nCONNECT 9600\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("CONNECT"));
}

void TestClsReceive::longWords_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("answer");
    QTest::newRow("no carrier") << QByteArray("\r\nNO CARRIER\r\n") << "NO CARR";
    QTest::newRow("no dialtone") << QByteArray("\r\nNO DIALTONE\r\n") << "NO DIAL";
    QTest::newRow("no answer") << QByteArray("\r\nNO ANSWER\r\n") << "NO ANSW";
    QTest::newRow("lower ok") << QByteArray("\r\nok\r\n") << "OK";
    QTest::newRow("busy") << QByteArray("\r\nBUSY\r\n") << "BUSY";
    QTest::newRow("error") << QByteArray("\r\nERROR\r\n") << "ERROR";
    QTest::newRow("connect alone") << QByteArray("\r\nCONNECT\r\n") << "CONNECT";
}

void TestClsReceive::longWords()
{
    QFETCH(QByteArray, stream);
    QFETCH(QString, answer);
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, stream);
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), answer);
}

void TestClsReceive::informationLineWaitsForFinalWord()
{
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\n+CSQ: 17,0\r\n"));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(r.bufferedCount(), 14);
    feed(r, QByteArray("\r\nOK\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sRemain(), QStringLiteral("+CSQ: 17,0"));
    QCOMPARE(r.bufferedCount(), 0);
}

void TestClsReceive::ringAlone()
{
    // An incoming call's RING answers nothing, unless the exchange waits for it.
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\nRING\r\n"));
    QCOMPARE(ready.count(), 0);
    feed(r, QByteArray("\r\nOK\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("OK"));
    QCOMPARE(r.sRemain(), QStringLiteral("RING"));
    r.setRingIsAnswer(true);
    feed(r, QByteArray("\r\nRING\r\n"));
    QCOMPARE(ready.count(), 2);
    QCOMPARE(r.sAnswer(), QStringLiteral("RING"));
}

void TestClsReceive::shortLineNotCut()
{
    // "CONNEC" is shorter than 7 characters and is no final word.
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\nCONNEC\r\nOKAY\r\n"));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(r.sAnswer(), QString());
}

void TestClsReceive::firstLineOfBuffer()
{
    // A modem without leading CR LF: the line starting the buffer is still cut.
    clsReceive r;
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("OK\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("OK"));
}

void TestClsReceive::dataModeExpectOne()
{
    clsReceive r;
    r.expectData({QStringLiteral("[")}, 1);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    QSignalSpy error(&r, &clsReceive::ErrorRec);
    r.ByteArrive(0x5B);
    QCOMPARE(ready.count(), 1);
    QCOMPARE(error.count(), 0);
    QCOMPARE(r.answerIndex(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("["));

    r.expectData({QStringLiteral("[")}, 1);
    r.ByteArrive(0x5C);
    QCOMPARE(ready.count(), 2);
    QCOMPARE(error.count(), 1);
    QCOMPARE(r.answerIndex(), 0);
    QCOMPARE(r.dataIn(), QStringLiteral("\\"));
}

void TestClsReceive::dataModeLengthRule()
{
    clsReceive r;
    r.expectData({}, 5);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("ABCD"));
    QCOMPARE(ready.count(), 0);
    r.ByteArrive('E');
    QCOMPARE(ready.count(), 1);
    r.ByteArrive('F');
    r.ByteArrive('G');
    QCOMPARE(ready.count(), 3);
    QCOMPARE(r.sAnswer(), QStringLiteral("ABCDEFG"));
}

void TestClsReceive::dataModeLastEqualWins()
{
    clsReceive r;
    r.expectData({QStringLiteral("OK"), QStringLiteral("Z"), QStringLiteral("OK")}, 0);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("OK"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.answerIndex(), 3);
}

void TestClsReceive::dataModeDoesNotCutLines()
{
    clsReceive r;
    r.expectData({QStringLiteral("XYZ")}, 0);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\nOK\r\n"));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(r.bufferedCount(), 6);
    QCOMPARE(r.sRemain(), QString());
}

void TestClsReceive::bufferFull()
{
    clsReceive r;
    QSignalSpy error(&r, &clsReceive::ErrorRec);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    // 36000 bytes without a line feed fill the buffer exactly.
    feed(r, QByteArray(clsReceive::BufferLimit, 'A'));
    QCOMPARE(r.bufferedCount(), clsReceive::BufferLimit);
    QCOMPARE(error.count(), 0);
    // The next byte is dropped and the buffer emptied.
    r.ByteArrive('\n');
    QCOMPARE(error.count(), 1);
    QCOMPARE(r.bufferedCount(), 0);
    QCOMPARE(ready.count(), 0);
    feed(r, QByteArray("\r\nOK\r\n"));
    QCOMPARE(ready.count(), 1);
}

void TestClsReceive::dataAnswersNeverFillTheBuffer()
{
    // A long load: many data answers, together far more than the buffer holds.
    clsReceive r;
    for (int i = 0; i < 40; ++i) {
        r.expectData({}, 1000);
        feed(r, QByteArray(1000, char('a' + i % 26)));
        QCOMPARE(r.dataIn(), QString(1000, QLatin1Char('a' + i % 26)));
    }
}

void TestClsReceive::lineTooLong()
{
    clsReceive r;
    QSignalSpy error(&r, &clsReceive::ErrorRec);
    feed(r, QByteArray("\r\n") + QByteArray(1998, 'x') + "\r\n");
    QCOMPARE(error.count(), 0);
    QCOMPARE(r.bufferedCount(), 1998 + 4);
    feed(r, QByteArray(1999, 'y') + "\r\n");
    QCOMPARE(error.count(), 1);
    QCOMPARE(r.bufferedCount(), 0);
}

void TestClsReceive::exitByUserStopsScan()
{
    clsReceive r;
    r.stopLineScan(true);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    feed(r, QByteArray("\r\nOK\r\n"));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(r.bufferedCount(), 6);
    // Once cleared, the next line feed finds the held line.
    r.stopLineScan(false);
    feed(r, QByteArray("\r\n"));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("OK"));
    QCOMPARE(r.bufferedCount(), 0);
}

void TestClsReceive::smsListing()
{
    clsReceive r;
    SmsTable table;
    table.append(std::array<QString, 2>{});
    r.setSmsTable(&table);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    const QByteArray listing = "AT+CMGL=4\r\r\n"
                               "+CMGL: 1,0,,24\r\n"
                               "07919730071111F1040B919701123456F800002101\r\n"
                               "+CMGL: 2,0,,22\r\n"
                               "0791973007\r\n" // too short for a message line
                               "\r\nOK\r\n";
    for (char c : listing)
        r.ByteWHSE(quint8(c));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), QStringLiteral("OK"));
    QCOMPARE(table.size(), 2);
    QCOMPARE(table[0][0], QStringLiteral("+CMGL: 1,0,,24"));
    QCOMPARE(table[0][1], QStringLiteral("07919730071111F1040B919701123456F800002101"));
    QCOMPARE(table[1][0], QStringLiteral("+CMGL: 2,0,,22"));
    QCOMPARE(table[1][1], QString());
    QCOMPARE(r.bufferedCount(), 0);
}

void TestClsReceive::smsListingRefused_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("word");
    QTest::newRow("ERROR") << QByteArray("\r\nERROR\r\n") << "ERROR";
    QTest::newRow("+CMS ERROR") << QByteArray("\r\n+CMS ERROR: 314\r\n") << "+CMS ERROR: 314";
    QTest::newRow("+CME ERROR") << QByteArray("\r\n+CME ERROR: 10\r\n") << "+CME ERROR: 10";
}

void TestClsReceive::smsListingRefused()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, word);
    clsReceive r;
    SmsTable table;
    table.append(std::array<QString, 2>{});
    r.setSmsTable(&table);
    QSignalSpy ready(&r, &clsReceive::DataReady);
    for (char c : QByteArray("AT+CMGL=4\r") + answer)
        r.ByteWHSE(quint8(c));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(r.sAnswer(), word);
    QCOMPARE(table.size(), 1);
    QCOMPARE(table[0][0], QString());
}
