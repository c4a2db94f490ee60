#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QSocketNotifier;

// A serial port (or a pseudo-terminal) as a QIODevice, with the port lock the modem needs
// when two programs and two users share one workstation.
//
// Two locks keep a second program off the port: flock() on the device itself, which the
// kernel drops with the process, so a killed run never leaves it behind; and the lock file
// under /var/lock that every serial program looks for. A lock file whose process is gone is
// taken over when it can be removed and ignored when it cannot (a killed root run leaves one
// that an ordinary user may not delete in the sticky lock folder).
class SerialDevice : public QIODevice
{
    Q_OBJECT
public:
    enum class Error { None, NotFound, Permission, Busy, Open, Settings, Lost };
    Q_ENUM(Error)

    explicit SerialDevice(QObject *parent = nullptr);
    ~SerialDevice() override;

    // The device path, "/dev/ttyUSB0"; a link to the device is opened as the device.
    void setPortName(const QString &path) { m_path = path; }
    QString portName() const { return m_path; }

    // Kept and applied at open, or at once on an open port. False when the port refuses them.
    bool setBaudRate(int baud);
    bool setParity(QChar letter); // n, e, o, m, s
    bool setDataBits(int bits);
    bool setStopBits(int bits);
    int baudRate() const { return m_baud; }

    // False where the device has no such line (a pseudo-terminal).
    bool setDataTerminalReady(bool on);
    bool setRequestToSend(bool on);
    // Drops what the device has received and not yet been read.
    void clearInput();

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool canReadLine() const override;

    Error error() const { return m_error; }
    void clearError();
    // The program holding the port, "minicom (pid 1234)", after a Busy error; may be empty.
    QString holder() const { return m_holder; }

    // The program holding the lock file of device, or "" when no live process holds it;
    // stale receives a lock file left by a process that is gone.
    static QString lockHolder(const QString &device, QString *stale = nullptr);
    // The folders searched for lock files, first the one written. Tests point it elsewhere.
    static QStringList lockFolders();
    static void setLockFolders(const QStringList &folders);

signals:
    void errorOccurred(SerialDevice::Error error);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    bool fail(Error error, const QString &text);
    bool applySettings();
    bool takeLockFile();
    void readAvailable();
    void writePending();
    void lose(const QString &reason);
    void release();

    QString m_path;
    int m_baud = 9600;
    char m_parity = 'n';
    int m_dataBits = 8;
    int m_stopBits = 1;
    int m_fd = -1;
    QByteArray m_in;
    QByteArray m_out;
    Error m_error = Error::None;
    QString m_holder;
    QString m_lockPath; // our lock file, removed at close
    QSocketNotifier *m_readNotifier = nullptr; // children of the port
    QSocketNotifier *m_writeNotifier = nullptr;
};
