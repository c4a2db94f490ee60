#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <functional>

// A serial port double: records every write and hands out bytes fed by the test.
class FakeSerial : public QIODevice
{
    Q_OBJECT
public:
    explicit FakeSerial(QObject *parent = nullptr) : QIODevice(parent) { open(QIODevice::ReadWrite); }

    // Every write in order, one entry per output operation.
    QList<QByteArray> writes;
    // Called after each write; may feed an answer.
    std::function<void(const QByteArray &)> onWrite;

    QByteArray written() const
    {
        QByteArray all;
        for (const QByteArray &w : writes)
            all += w;
        return all;
    }

    void feed(const QByteArray &bytes)
    {
        m_in += bytes;
        emit readyRead();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_in.size());
        std::memcpy(data, m_in.constData(), size_t(n));
        m_in.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        const QByteArray bytes(data, size);
        writes.append(bytes);
        if (onWrite)
            onWrite(bytes);
        return size;
    }

private:
    QByteArray m_in;
};
