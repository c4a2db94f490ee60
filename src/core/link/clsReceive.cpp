#include "core/link/clsReceive.h"

#include "core/common/CodePage.h"
#include "core/link/mdlStrings.h"

#include <algorithm>

namespace {

bool isCrLf(quint8 b)
{
    return b == 0x0D || b == 0x0A;
}

// Final result words compared against the whole line.
const char *const kWholeWords[] = {"OK", "RING", "BUSY", "ERROR"};
// Final result words compared against the first 7 characters of a longer line.
const char *const kLongWords[] = {"CONNECT", "NO CARR", "NO DIAL", "NO ANSW"};
// Final error reports of GSM modems, kept whole so the log names the code.
const char *const kErrorReports[] = {"+CME ERROR", "+CMS ERROR"};

} // namespace

clsReceive::clsReceive(QObject *parent) : QObject(parent)
{
    m_ownSmsList.append(std::array<QString, 2>{});
}

QString clsReceive::crunchString(const QString &text)
{
    return mdlStrings::TrimCrLf(text);
}

bool clsReceive::storeByte(quint8 b)
{
    if (m_count >= BufferLimit) {
        ErrorRecProc();
        return false;
    }
    m_buffer[m_count++] = b;
    return true;
}

bool clsReceive::cutLine(QString &line)
{
    // Walks back from the line feed. Position 0 is scanned too: the walk then also
    // finds a line that starts the buffer, which changes nothing for lines that
    // follow a CR or LF.
    QString reversed;
    bool inLine = false;
    for (int pos = m_count - 1; pos >= 0; --pos) {
        if (m_exitByUser)
            return false;
        const quint8 b = m_buffer[pos];
        if (!inLine) {
            if (isCrLf(b))
                continue;
            inLine = true;
        } else if (isCrLf(b)) {
            break;
        }
        reversed.append(CodePage::ansiChar(b));
        if (reversed.size() >= LineLimit)
            break; // already too long: the rest cannot change the verdict
    }
    if (reversed.size() >= LineLimit) {
        ErrorRecProc();
        return false;
    }
    std::reverse(reversed.begin(), reversed.end());
    line = crunchString(reversed).toUpper();
    return true;
}

void clsReceive::expectData(const QStringList &expected, qint64 length)
{
    m_mode = Mode::Data;
    for (int i = 0; i < 3; ++i)
        m_expect[i] = i < expected.size() ? expected[i] : QString();
    m_expectedLength = length;
    // Each answer starts with an empty buffer: a long exchange must not fill it until a byte drops.
    m_count = 0;
    m_dataIn.clear();
    m_answerIndex = 0;
    m_exitByUser = false;
}

void clsReceive::ByteArrive(quint8 b)
{
    if (!storeByte(b))
        return;
    if (m_mode == Mode::Data)
        dataByte(b);
    else
        textByte(b);
}

void clsReceive::dataByte(quint8 b)
{
    if (m_dataIn.size() >= 2 * DataInLimit)
        m_dataIn.remove(0, m_dataIn.size() - DataInLimit);
    m_dataIn.append(CodePage::ansiChar(b));
    m_answerIsDataIn = true;
    m_answerIndex = 0;
    for (int i = 0; i < 3; ++i) {
        if (m_dataIn == m_expect[i])
            m_answerIndex = i + 1;
    }
    if (m_answerIndex != 0) {
        emit DataReady();
        return;
    }
    if (m_expectedLength != 0 && m_dataIn.size() >= m_expectedLength)
        emit DataReady();
    if (m_dataIn.size() >= m_expect[0].size())
        emit ErrorRec();
}

void clsReceive::textByte(quint8 b)
{
    setSAnswer(QString());
    if (b != 0x0A)
        return;
    QString line;
    if (!cutLine(line))
        return;
    bool matched = false;
    // An incoming call's RING may come at any moment: it answers only an exchange that waits for it.
    if (line == QLatin1String("RING") && !m_ringIsAnswer)
        return;
    for (const char *word : kWholeWords) {
        if (line == QLatin1String(word)) {
            setSAnswer(line);
            matched = true;
            break;
        }
    }
    for (const char *report : kErrorReports) {
        if (!matched && line.startsWith(QLatin1String(report))) {
            setSAnswer(line);
            matched = true;
        }
    }
    if (!matched && line.size() >= 7) {
        const QString head = line.left(7);
        for (const char *word : kLongWords) {
            if (head == QLatin1String(word)) {
                setSAnswer(head);
                matched = true;
                break;
            }
        }
    }
    if (matched)
        CmdReady();
}

void clsReceive::ByteWHSE(quint8 b)
{
    // A listing is read line by line with a buffer of one line: however long the listing,
    // no byte of a message is dropped.
    if (!isCrLf(b)) {
        if (m_listLine.size() < LineLimit)
            m_listLine.append(char(b));
        else
            m_listLineTooLong = true;
        return;
    }
    const bool tooLong = m_listLineTooLong;
    m_listLineTooLong = false;
    QString line;
    for (char c : std::as_const(m_listLine))
        line.append(CodePage::ansiChar(quint8(c)));
    m_listLine.clear();
    line = crunchString(line).trimmed().toUpper();
    if (line.isEmpty())
        return;
    emit ListLine();
    if (tooLong)
        return; // no message is that long: not a line of the listing
    if (m_smsList->isEmpty())
        m_smsList->append(std::array<QString, 2>{});
    auto &column = m_smsList->last();
    // Some modems write no space after the colon.
    if (line.startsWith(QLatin1String("+CMGL:")))
        column[0] = line;
    if (!line.contains(QLatin1String("CMGL")) && line.size() > 20 && !column[0].isEmpty()) {
        column[1] = line;
        m_smsList->append(std::array<QString, 2>{});
    }
    if (line == QLatin1String("OK")) {
        setSAnswer(QStringLiteral("OK"));
        CmdReady();
        return;
    }
    // A refused listing ends at once too, not at its time-out (the poll would wait for it
    // on every round).
    bool refused = line == QLatin1String("ERROR");
    for (const char *report : kErrorReports)
        refused = refused || line.startsWith(QLatin1String(report));
    if (refused) {
        setSAnswer(line);
        CmdReady();
    }
}

void clsReceive::CmdReady()
{
    QString remain;
    remain.reserve(m_count);
    for (int i = 0; i < m_count; ++i)
        remain.append(CodePage::ansiChar(m_buffer[i]));
    remain = crunchString(remain);
    while (!remain.isEmpty() && remain.back() != QLatin1Char('\r') && remain.back() != QLatin1Char('\n'))
        remain.chop(1);
    m_remain = crunchString(remain);
    m_count = 0;
    emit DataReady();
}

void clsReceive::ErrorRecProc()
{
    m_count = 0;
    emit ErrorRec();
}
