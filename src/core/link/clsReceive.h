#pragma once

#include <QList>
#include <QObject>
#include <QString>

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

    explicit clsReceive(QObject *parent = nullptr);

    // Public fields as the callers use them.
    qint32 mMode = 0;            // 0 = text mode, anything else = data mode
    qint64 ExpectedLength = 0;   // data mode: answer complete at this many bytes; 0 = no rule
    QString msDIn;               // data mode: the current answer, one character per byte
    QString msExpect1;
    QString msExpect2;
    QString msExpect3;
    qint16 iAnswer = 0;          // which expected answer matched, 0 = none
    QString sRemain;             // text mode: lines that preceded the final word
    bool flExitByUser = false;   // stops the backward line scan at once

    // Table filled by ByteWHSE; points at the owner's table when one is shared.
    SmsTable *SmsList = &m_ownSmsList;

    // Text mode: the final word; data mode: a copy of msDIn. Kept as a view on
    // msDIn in data mode so a long answer is not copied on every byte.
    QString sAnswer() const { return m_answerIsDataIn ? msDIn : m_sAnswer; }
    const QString &dataIn() const { return msDIn; }
    int answerIndex() const { return iAnswer; }
    void setSAnswer(const QString &s)
    {
        m_sAnswer = s;
        m_answerIsDataIn = false;
    }

    QString sDIn() const { return msDIn; }
    void setSDIn(const QString &s) { msDIn = s; }

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

private:
    bool storeByte(quint8 b);
    // Cuts the line that ends at the line feed just stored. False when none
    // (too long, or the scan was stopped by the user).
    bool cutLine(QString &line);

    std::array<quint8, BufferLimit + 1> m_buffer{};
    int m_count = 0;
    QString m_sAnswer;
    bool m_answerIsDataIn = false;
    SmsTable m_ownSmsList;
};
