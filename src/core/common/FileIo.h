#pragma once

#include <QByteArray>
#include <QString>

// Every file the program reads or writes goes through here, so that a full disk, a FIFO or a device
// node named by mistake, or a link, is handled the same way everywhere.
namespace FileIo {

// The system's reason for errno value, in the operator's language where it is a common one.
QString systemReason(int errnoValue);

// True when path (a link is followed) names an existing regular file. Otherwise error names the
// file and says why ("не является обычным файлом", "не найден", ...).
bool checkRegular(const QString &path, QString &error);

// Reads at most maxBytes (all when negative) of a regular file. A FIFO, a device or a directory is
// refused at once: nothing ever waits for a writer at the other end.
bool readRegular(const QString &path, QByteArray &data, QString &error, qint64 maxBytes = -1);

// Writes data whole or not at all. A regular file (or a new one) is replaced only once the new
// content is written, flushed to disk and closed without error; until then the earlier file stays as
// it was. A link is resolved to its target first. An existing character device or FIFO is written in
// place (so "/dev/null" or a shell's process substitution work); a directory or anything else is
// refused. On failure error is "Ошибка записи в файл " + path + ": " + the reason.
bool writeWhole(const QString &path, const QByteArray &data, QString &error);

// Appends data to a regular file (created when missing) whole or not at all: after a failure the
// file is cut back to its earlier length. Anything but a regular file is refused.
bool appendWhole(const QString &path, const QByteArray &data, QString &error);

} // namespace FileIo
