#pragma once

#include "core/settings/ParamType.h"
#include "core/settings/SettingsImage.h"

#include <QString>
#include <QVector>

struct TableEntry
{
    bool Visible = false;
    qint16 EventNo = 0;
    qint16 Offset = 0;
    QString GroupName;    // upper case, at most 60 characters
    QString Caption;      // at most 128
    QString HelpText;
    QString TypeName;     // the table's text: trimmed, upper case, at most 10
    ParamType Type = ParamType::Unknown; // TypeName parsed; all rules go by this
    qint16 Length = 0;    // length, or bit mask for BIT and MBYTE
    QString ParamCaption; // at most 128
    float MinValue = -100000.0f;
    float MaxValue = 100000.0f;
    float DefaultValue = 0.0f;
    QString SpareText;    // at most 20
    QString Units;        // at most 20
    int Index = 0;        // position in TableEntries; wide enough for any table that fits in memory
};

// A parsed control table.
class ControlTable
{
public:
    QVector<TableEntry> TableEntries;
    SettingsImage HiddenDefaults;

    int EntryCount() const { return int(TableEntries.size()); }

    // Parses the file at path into a fresh table. On failure appends one error line
    // (+ "\r\n") to errorText; the entries read before the failing line stay in place.
    // A file that cannot be read, or that yields no entry, is no control table either.
    bool ParseControlTable(const QString &path, bool serviceMode, QString &errorText);
    // The lines of text already decoded (used by the file variant and by tests); no entry is no error here.
    bool ParseControlTableText(const QString &text, bool serviceMode, QString &errorText);

    static QString unreadableError();
    static QString noEntriesError();

    // Text before the first "~"; removes it and the "~" from line.
    static QString NextField(QString &line);
    // Writes the default of one hidden line into HiddenDefaults.Block1.
    void ApplyHiddenDefault(const TableEntry &entry);

    // Position of the entry after the last entry of the event starting at first.
    int eventEnd(int first) const;
};
