#include "cli/FileCommands.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/EventText.h"
#include "cli/HtmlReport.h"
#include "cli/InputFiles.h"

#include "core/app/AppState.h"
#include "core/common/FileIo.h"
#include "core/settings/ControlTable.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"

#include <QDir>

namespace {

const QString kTable = QStringLiteral("--table");
const QString kData = QStringLiteral("--data");
const QString kOut = QStringLiteral("--out");
const QString kHtml = QStringLiteral("--html");

int countEvents(const ControlTable &t)
{
    int events = 0;
    for (int i = 0; i < t.EntryCount(); i = t.eventEnd(i))
        ++events;
    return events;
}

// The table of --table and, when --data is given, the image loaded from it by its length.
bool loadInputs(const CliOptions &o, ControlTable &table, SettingsImage &image)
{
    if (!InputFiles::loadTable(o.value(kTable), o.service, table))
        return false;
    return !o.has(kData) || InputFiles::loadImage(o.value(kData), image);
}

} // namespace

int runCheckTable(const CliOptions &o, CliContext &c)
{
    ControlTable table;
    if (!InputFiles::loadTable(o.positional.first(), o.service, table))
        return 1;
    c.out << "entries: " << table.EntryCount() << "\n";
    c.out << "events: " << countEvents(table) << "\n";
    return 0;
}

int runReport(const CliOptions &o, CliContext &c)
{
    if (!o.has(kOut) && !o.has(kHtml))
        return c.badUsage(CliText::tr("нужен --out FILE или --html FILE"));
    ControlTable table;
    SettingsImage image;
    if (!loadInputs(o, table, image))
        return 1;
    if (o.has(kOut)) {
        QString error;
        if (!EventReport::write(o.value(kOut), table, image, error))
            return failWith(error);
    }
    if (!o.has(kHtml))
        return 0;
    // The stylesheet shipped beside the program, as a browser would take it beside Report.xml.
    const QString xsl = o.has(QStringLiteral("--xsl"))
                            ? o.value(QStringLiteral("--xsl"))
                            : QDir(AppState::defaultApplicationFolder()).filePath(QStringLiteral("Rep03-1.xsl"));
    QString error;
    if (!HtmlReport::render(EventReport::build(table, image), xsl, o.value(kHtml), error))
        return failWith(CliText::tr("не удалось записать отчет в HTML: %1").arg(error));
    return 0;
}

int runShow(const CliOptions &o, CliContext &c)
{
    ControlTable table;
    SettingsImage image;
    if (!loadInputs(o, table, image))
        return 1;
    for (int first = 0; first < table.EntryCount(); first = table.eventEnd(first)) {
        const TableEntry &head = table.TableEntries[first];
        // The captions and units are the table file's text.
        c.out << shown(EventText::heading(head)) << "\n" << EventText::flagsLine(image, head.EventNo) << "\n";
        for (int j = first; j < table.eventEnd(first); ++j) {
            const TableEntry &e = table.TableEntries[j];
            if (EventText::hasValue(e))
                c.out << shown(EventText::parameterLine(e, EventText::parameterValue(e, image))) << "\n";
        }
    }
    return 0;
}

int runConvert(const CliOptions &o, CliContext &)
{
    // 260 or 390: the table's choices.
    const QString form = o.value(QStringLiteral("--form"));
    ControlTable table;
    SettingsImage image;
    if (!loadInputs(o, table, image))
        return 1;
    image.orBlock1(table.HiddenDefaults);
    const QByteArray data = SettingsFiles::buildFile(image, form == QLatin1String("260") ? 2 : 3);
    QString error;
    if (!FileIo::writeWhole(o.value(kOut), data, error))
        return failWith(error);
    return 0;
}
