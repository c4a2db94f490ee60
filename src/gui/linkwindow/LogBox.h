#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QTimer>

// A log box of the link window. Text is appended at the end in a colour; CR, LF
// and CR LF each end a line. Appends are gathered and inserted together a few
// times a second, over-long lines are broken into pieces and only the newest
// lines are kept, so the cost of an append does not grow with the log.
class LogBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 5000;
    static constexpr int MaxLineLength = 1024;

    explicit LogBox(QWidget *parent = nullptr);

    void appendText(const QString &text, const QColor &color = Qt::black);
    // Inserts everything gathered so far.
    void flush();
    void clearLog();
    // The whole text with pending appends (for tests and diagnostics).
    QString logText();

private:
    struct Run
    {
        QString text;
        QColor color;
    };
    QList<Run> m_pending;
    qsizetype m_pendingSize = 0;
    QTimer m_flushTimer;
    int m_lineLength = 0;
    bool m_afterCr = false;
};
