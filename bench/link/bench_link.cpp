// Pushes 1 MB (or the number of megabytes given) of data-mode traffic through the receive handler, the modem
// receiver and the traffic log, and prints the rate per sixteenth so one can
// see whether the cost of a byte grows with the log.

#include "core/link/LinkExchange.h"
#include "gui/linkwindow/LogBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIODevice>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A port that hands out what the benchmark feeds it.
class FeedDevice : public QIODevice
{
public:
    FeedDevice() { open(QIODevice::ReadWrite); }
    void feed(const QByteArray &bytes)
    {
        m_in += bytes;
        emit readyRead();
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_in.size() - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_in.size() - m_pos);
        std::memcpy(data, m_in.constData() + m_pos, size_t(n));
        m_pos += n;
        if (m_pos == m_in.size()) {
            m_in.clear();
            m_pos = 0;
        }
        return n;
    }
    qint64 writeData(const char *, qint64 size) override { return size; }

private:
    QByteArray m_in;
    qint64 m_pos = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Megabytes to push (default 1); more shows the log's cap at work.
    const int megabytes = argc > 1 ? qMax(1, std::atoi(argv[1])) : 1;
    const int total = megabytes * 1024 * 1024;
    constexpr int chunk = 1024; // what a port read typically hands over at once
    const int slice = 64 * 1024 * megabytes;

    FeedDevice port;
    LinkExchange link;
    link.port().setDevice(&port);
    link.port().setRoute(LinkExchange::Route::Receiver);
    clsReceive *receiver = link.port().receiver();
    receiver->expectData({QStringLiteral("["), QStringLiteral("Z")}, 0);

    LogBox log;
    log.resize(600, 400);
    log.show();
    QObject::connect(&link.display(), &LinkDisplay::traffic, &log,
                     [&log](const QString &text, LinkExchange::Traffic) { log.appendText(text, QColor(255, 0, 0)); });

    QByteArray data(chunk, '\0');
    for (int i = 0; i < chunk; ++i)
        data[i] = char((i * 37 + 11) & 0xFF);

    std::printf("%d MB through receiver + traffic log, data mode (hex), %d-byte reads\n", megabytes, chunk);
    std::printf("%8s %12s %14s\n", "slice", "KB/s", "ns per byte");
    QElapsedTimer all;
    all.start();
    QElapsedTimer sliceClock;
    sliceClock.start();
    QList<double> costs;
    for (int sent = 0; sent < total;) {
        port.feed(data);
        sent += chunk;
        // Let the queued receive handler, the log's insert and painting run.
        QCoreApplication::processEvents();
        if (sent % slice == 0) {
            log.flush();
            QCoreApplication::processEvents();
            const qint64 ns = sliceClock.nsecsElapsed();
            sliceClock.restart();
            const double perByte = double(ns) / slice;
            const double rate = slice / 1024.0 / (double(ns) / 1e9);
            std::printf("%8d %12.0f %14.1f\n", sent / slice, rate, perByte);
            costs.append(perByte);
        }
    }
    const double seconds = double(all.nsecsElapsed()) / 1e9;
    auto quarter = [&costs](int q) {
        double sum = 0;
        const int n = int(costs.size()) / 4;
        for (int i = q * n; i < (q + 1) * n; ++i)
            sum += costs[i];
        return sum / n;
    };
    std::printf("total: %.2f s, %.0f bytes/s\n", seconds, total / seconds);
    std::printf("cost per byte by quarter (ns): %.1f %.1f %.1f %.1f\n", quarter(0), quarter(1), quarter(2), quarter(3));
    std::printf("log holds %d lines (kept to about %d); last quarter / third quarter: %.2f -> %s\n",
                log.document()->blockCount(), LogBox::MaxLines, quarter(3) / quarter(2),
                quarter(3) / quarter(2) < 1.3 ? "flat" : "GROWING");
    return 0;
}
