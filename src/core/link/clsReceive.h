#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

// Listing of stored short messages: each column holds a header line (row 0)
// and the message line that followed it (row 1).
using SmsTable = QList<std::array<QString, 2>>;

// Modem response receiver: cuts the modem's byte stream into answers.
// Text mode recognises the final result words; data mode collects raw answers
// and compares them with up to three expected answers or a length.
class clsReceive : public QObject
{
    Q_OBJECT
public:
    static constexpr int BufferLimit = 36000;
    static constexpr int LineLimit = 1999;
    // Data mode keeps at most this much of an answer: every protocol answer is a few bytes,
    // and a line that streams on must not grow memory without end.
    static constexpr int DataInLimit = 4096;

    enum class Mode { Text, Data };
    Q_ENUM(Mode)

    explicit clsReceive(QObject *parent = nullptr);

    Mode mode() const { return m_mode; }
    // Back to text mode (after a time-out, or to read command answers again).
    void setTextMode() { m_mode = Mode::Text; }
    // Data mode for the next answer: it is complete when it equals one of expected (up to
    // three; a later equal one wins) or reaches length bytes (0 = no length rule).
    void expectData(const QStringList &expected, qint64 length);

    // Text mode: the final word; data mode: the answer collected so far.
    QString sAnswer() const { return m_answerIsDataIn ? m_dataIn : m_sAnswer; }
    // Data mode: the answer collected so far, one character per byte.
    const QString &dataIn() const { return m_dataIn; }
    // Which expected answer matched (1..3), 0 = none.
    int answerIndex() const { return m_answerIndex; }
    // Text mode: the lines that preceded the final word.
    const QString &sRemain() const { return m_remain; }

    // Whether "RING" ends the exchange that waits (it does only when that exchange expects it).
    void setRingIsAnswer(bool on) { m_ringIsAnswer = on; }

    // The user's break stops the backward line scan at once; the next exchange allows it again.
    void stopLineScan(bool stop) { m_exitByUser = stop; }
    bool lineScanStopped() const { return m_exitByUser; }

    // The table ByteWHSE fills; the owner's table when one is shared.
    void setSmsTable(SmsTable *table) { m_smsList = table ? table : &m_ownSmsList; }

    void ByteArrive(quint8 b);
    void ByteWHSE(quint8 b);
    void CmdReady();
    void ErrorRecProc();
    static QString crunchString(const QString &text);

    // Bytes held in the private buffer (for tests and diagnostics).
    int bufferedCount() const { return m_count; }

signals:
    void ErrorRec();
    void DataReady();
    // A line of a message listing arrived (the listing is still coming).
    void ListLine();

private:
    bool storeByte(quint8 b);
    // Cuts the line that ends at the line feed just stored. False when none
    // (too long, or the scan was stopped by the user).
    bool cutLine(QString &line);

    void setSAnswer(const QString &s)
    {
        m_sAnswer = s;
        m_answerIsDataIn = false;
    }
    void dataByte(quint8 b);
    void textByte(quint8 b);

    std::array<quint8, BufferLimit + 1> m_buffer{};
    int m_count = 0;
    Mode m_mode = Mode::Text;
    qint64 m_expectedLength = 0;
    QString m_expect[3];
    QString m_dataIn;
    int m_answerIndex = 0;
    QString m_remain;
    bool m_exitByUser = false;
    bool m_ringIsAnswer = false;
    QString m_sAnswer;
    // In data mode the answer is a view on m_dataIn, so a long answer is not copied on every byte.
    bool m_answerIsDataIn = false;
    // The listing line being received.
    QByteArray m_listLine;
    bool m_listLineTooLong = false;
    SmsTable m_ownSmsList;
    SmsTable *m_smsList = &m_ownSmsList;
};
