#include "cli/CliCommands.h"

#include "cli/BookCommands.h"
#include "cli/CliOptions.h"
#include "cli/HtmlReport.h"
#include "cli/LinkCommands.h"
#include "cli/SmsCommands.h"
#include "cli/UploadCommand.h"
#include "cli/SmsTransferCommands.h"

#include "core/app/AppState.h"
#include "core/common/FileIo.h"
#include "core/settings/ControlTable.h"
#include "core/settings/EventMasks.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"
#include "core/settings/ValueTypes.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>


namespace {

int countEvents(const ControlTable &t)
{
    int events = 0;
    for (int i = 0; i < t.EntryCount(); i = t.eventEnd(i))
        ++events;
    return events;
}

} // namespace

int CliCommands::usage(const QString &problem)
{
    if (!problem.isEmpty())
        m_err << "kvrsetup-cli: " << problem << "\n";
    m_err << "usage:\n"
             "  kvrsetup-cli check-table [--service] TABLE\n"
             "  kvrsetup-cli report [--service] --table TABLE [--data FILE] [--out FILE] [--html FILE [--xsl FILE]]\n"
             "  kvrsetup-cli show [--service] --table TABLE --data FILE\n"
             "  kvrsetup-cli convert [--service] --table TABLE --data IN --out OUT --form 260|390\n"
             "  kvrsetup-cli modem-info --port DEVICE [--baud N --parity n|e|o --data 7|8 --stop 1|2]\n"
             "  kvrsetup-cli at --port DEVICE [serial options] COMMAND...\n"
             "  kvrsetup-cli book list | add NAME PHONE | edit ID NAME PHONE | delete ID\n"
             "  kvrsetup-cli send-profile --port DEVICE [serial options] (--phone NUMBER | --terminal NAME | --all)"
             " [--smsc NUMBER] FILE\n"
             "  kvrsetup-cli read-profile --port DEVICE [serial options] (--phone NUMBER | --terminal NAME | --all)"
             " [--smsc NUMBER] [--wait SECONDS]\n"
             "  kvrsetup-cli poll --port DEVICE [serial options]\n"
             "  kvrsetup-cli send-gprs --port DEVICE [serial options] (--phone NUMBER | --terminal NAME) [--smsc NUMBER]"
             " --apn TEXT"
             " [--user TEXT] [--password TEXT] --server ADDRESS --server-port N\n"
             "  kvrsetup-cli decode-pdu PDU\n"
             "  kvrsetup-cli diff [--service] --table TABLE A.bin B.bin\n"
             "  kvrsetup-cli upload --port DEVICE [serial options] (--phone NUMBER | --terminal NAME) [--linear] [--bank N]"
             " [--page HEX]\n"
             "               [--resume] FILE [FILE2 [FILE3]]\n";
    m_err.flush();
    return 2;
}

static bool loadTable(const QString &path, bool service, ControlTable &table, QTextStream &err)
{
    if (!QFileInfo(path).isFile()) {
        err << "kvrsetup-cli: control table not found: " << path << "\n";
        return false;
    }
    QString error;
    if (!table.ParseControlTable(path, service, error)) {
        err << "kvrsetup-cli: not a control table: " << path << "\n" << error.trimmed() << "\n";
        return false;
    }
    return true;
}

static bool loadImage(const QString &path, SettingsImage &image, QTextStream &err)
{
    if (!QFileInfo(path).isFile()) {
        err << "kvrsetup-cli: data file not found: " << path << "\n";
        return false;
    }
    const auto form = SettingsFiles::formForLength(SettingsFiles::FileLength(path));
    if (!SettingsFiles::readFile(path, form, image)) {
        err << "kvrsetup-cli: cannot read data file: " << path << "\n";
        return false;
    }
    return true;
}

// The table of --table and, when --data is given, the image loaded from it by its length.
static bool loadInputsWith(const CliOptions &o, ControlTable &table, SettingsImage &image, QTextStream &err)
{
    if (!loadTable(o.values.value(QStringLiteral("--table")), o.service, table, err))
        return false;
    return !o.values.contains(QStringLiteral("--data")) || loadImage(o.values.value(QStringLiteral("--data")), image, err);
}

int CliCommands::run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    int rc = 2;
    if (command == QLatin1String("check-table"))
        rc = checkTable(rest);
    else if (command == QLatin1String("report"))
        rc = report(rest);
    else if (command == QLatin1String("show"))
        rc = show(rest);
    else if (command == QLatin1String("convert"))
        rc = convert(rest);
    else if (command == QLatin1String("book"))
        rc = runBookCommand(rest, m_out, m_err);
    else if (isSmsCommand(command))
        rc = runSmsCommand(command, rest, m_out, m_err);
    else if (command == QLatin1String("modem-info") || command == QLatin1String("at")) {
        m_out.flush();
        m_err.flush();
        return runLinkCommand(command, rest);
    } else if (isSmsTransferCommand(command)) {
        m_out.flush();
        m_err.flush();
        return runSmsTransferCommand(command, rest);
    }
    else if (command == QLatin1String("upload")) {
        m_out.flush();
        m_err.flush();
        return runUploadCommand(rest);
    }
    else if (command == QLatin1String("--help") || command == QLatin1String("help"))
        return usage();
    else
        rc = usage(QStringLiteral("unknown command ") + command);
    m_out.flush();
    m_err.flush();
    return rc;
}

int CliCommands::checkTable(const QStringList &args)
{
    const CliOptions o = parseOptions(args, {});
    const QString problem = checkOptions(o, {}, 1, QStringLiteral("check-table needs one TABLE"));
    if (!problem.isEmpty())
        return usage(problem);
    ControlTable table;
    if (!loadTable(o.positional.first(), o.service, table, m_err))
        return 1;
    m_out << "entries: " << table.EntryCount() << "\n";
    m_out << "events: " << countEvents(table) << "\n";
    return 0;
}

int CliCommands::report(const QStringList &args)
{
    const CliOptions o = parseOptions(args, {QStringLiteral("--table"), QStringLiteral("--data"), QStringLiteral("--out"),
                                             QStringLiteral("--html"), QStringLiteral("--xsl")});
    QString problem = checkOptions(o, {QStringLiteral("--table")}, 0,
                                   QStringLiteral("report needs --table and --out or --html"));
    if (problem.isEmpty() && !o.has(QStringLiteral("--out")) && !o.has(QStringLiteral("--html")))
        problem = QStringLiteral("report needs --out or --html");
    if (!problem.isEmpty())
        return usage(problem);
    ControlTable table;
    SettingsImage image;
    if (!loadInputsWith(o, table, image, m_err))
        return 1;
    if (o.has(QStringLiteral("--out"))) {
        const QString out = o.value(QStringLiteral("--out"));
        QString error;
        if (!EventReport::write(out, table, image, error)) {
            m_err << "kvrsetup-cli: " << error << "\n";
            return 1;
        }
    }
    if (!o.has(QStringLiteral("--html")))
        return 0;
    // The stylesheet shipped beside the program, as a browser would take it beside Report.xml.
    const QString xsl = o.has(QStringLiteral("--xsl"))
                            ? o.value(QStringLiteral("--xsl"))
                            : QDir(AppState::defaultApplicationFolder()).filePath(QStringLiteral("Rep03-1.xsl"));
    QString error;
    if (!HtmlReport::render(EventReport::build(table, image), xsl, o.value(QStringLiteral("--html")), error)) {
        m_err << "kvrsetup-cli: cannot render the report as HTML: " << error << "\n";
        return 1;
    }
    return 0;
}

int CliCommands::show(const QStringList &args)
{
    const CliOptions o = parseOptions(args, {QStringLiteral("--table"), QStringLiteral("--data")});
    const QString problem = checkOptions(o, {QStringLiteral("--table"), QStringLiteral("--data")}, 0,
                                         QStringLiteral("show needs --table and --data"));
    if (!problem.isEmpty())
        return usage(problem);
    ControlTable table;
    SettingsImage image;
    if (!loadInputsWith(o, table, image, m_err))
        return 1;

    static const char *flagNames[] = {"Журнал", "Авто/GPRS", "Тревога", "Инфо"};
    for (int first = 0; first < table.EntryCount(); first = table.eventEnd(first)) {
        const TableEntry &head = table.TableEntries[first];
        m_out << "№" << head.EventNo << " " << head.Caption.trimmed();
        if (!head.GroupName.trimmed().isEmpty())
            m_out << "  [" << head.GroupName.trimmed() << "]";
        m_out << "\n   ";
        for (int k = 0; k < 4; ++k) {
            const QString flag = !EventMasks::hasMaskBits(head.EventNo)
                                     ? QStringLiteral("--")
                                     : (EventMasks::maskBit(image, k, head.EventNo) ? QStringLiteral("ДА")
                                                                                    : QStringLiteral("-"));
            m_out << " " << QString::fromUtf8(flagNames[k]) << ": " << flag;
        }
        m_out << "\n";
        for (int j = first; j < table.eventEnd(first); ++j) {
            const TableEntry &e = table.TableEntries[j];
            if (e.Type == ParamType::X)
                continue;
            m_out << "    " << e.ParamCaption.trimmed() << " = ";
            if (e.Type == ParamType::Bit)
                m_out << (ValueTypes::bitValue(e, image) ? "[x]" : "[ ]");
            else if (e.Type == ParamType::String)
                m_out << "(text, " << e.Length << " characters)";
            else
                m_out << ValueTypes::displayValue(e, image);
            if (e.Type != ParamType::Bit && !e.Units.trimmed().isEmpty())
                m_out << " " << e.Units.trimmed();
            m_out << "\n";
        }
    }
    return 0;
}

int CliCommands::convert(const QStringList &args)
{
    const CliOptions o = parseOptions(args, {QStringLiteral("--table"), QStringLiteral("--data"), QStringLiteral("--out"),
                                          QStringLiteral("--form")});
    const QString form = o.values.value(QStringLiteral("--form"));
    QString problem = checkOptions(o,
                                   {QStringLiteral("--table"), QStringLiteral("--data"), QStringLiteral("--out"),
                                    QStringLiteral("--form")},
                                   0, QStringLiteral("convert needs --table, --data, --out and --form 260|390"));
    if (problem.isEmpty() && form != QLatin1String("260") && form != QLatin1String("390"))
        problem = QStringLiteral("--form must be 260 or 390");
    if (!problem.isEmpty())
        return usage(problem);
    ControlTable table;
    SettingsImage image;
    if (!loadInputsWith(o, table, image, m_err))
        return 1;
    image.orBlock1(table.HiddenDefaults);
    const QByteArray data = SettingsFiles::buildFile(image, form == QLatin1String("260") ? 2 : 3);
    const QString out = o.values.value(QStringLiteral("--out"));
    QString error;
    if (!FileIo::writeWhole(out, data, error)) {
        m_err << "kvrsetup-cli: " << error << "\n";
        return 1;
    }
    return 0;
}
