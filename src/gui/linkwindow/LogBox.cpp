#include "gui/linkwindow/LogBox.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

LogBox::LogBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    // The document drops its oldest lines itself, once per gathered insert.
    setMaximumBlockCount(MaxLines);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(40);
    connect(&m_flushTimer, &QTimer::timeout, this, &LogBox::flush);
}

void LogBox::appendText(const QString &text, const QColor &color)
{
    if (text.isEmpty())
        return;
    if (!m_pending.isEmpty() && m_pending.last().color == color)
        m_pending.last().text += text;
    else
        m_pending.append({text, color});
    m_pendingSize += text.size();
    // A flood is inserted in slices so one insert never grows without bound.
    if (m_pendingSize > 64 * 1024)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void LogBox::flush()
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    const QList<Run> runs = m_pending;
    m_pending.clear();
    m_pendingSize = 0;

    QScrollBar *bar = verticalScrollBar();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const Run &run : runs) {
        QTextCharFormat format;
        format.setForeground(run.color);
        QString piece;
        auto put = [&] {
            if (!piece.isEmpty()) {
                cursor.insertText(piece, format);
                piece.clear();
            }
        };
        for (QChar c : run.text) {
            if (c == QLatin1Char('\n') && m_afterCr) {
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == QLatin1Char('\r');
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                put();
                cursor.insertBlock();
                m_lineLength = 0;
                continue;
            }
            if (m_lineLength >= MaxLineLength) {
                put();
                cursor.insertBlock();
                m_lineLength = 0;
            }
            piece.append(c);
            ++m_lineLength;
        }
        put();
    }
    cursor.endEditBlock();
    // The newest line stays in view, as the caret moves to the end after each append.
    setTextCursor(cursor);
    bar->setValue(bar->maximum());
}

void LogBox::clearLog()
{
    m_flushTimer.stop();
    m_pending.clear();
    m_pendingSize = 0;
    m_lineLength = 0;
    m_afterCr = false;
    clear();
}

QString LogBox::logText()
{
    flush();
    return toPlainText();
}
