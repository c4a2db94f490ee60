#include "cli/TerminalTargets.h"
#include "cli/HistoryBook.h"

#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "core/app/AddressBook.h"
#include "core/app/AppState.h"
#include "core/common/PhoneNumber.h"

const QString &phoneOption()
{
    static const QString name = QStringLiteral("--phone");
    return name;
}

const QString &terminalOption()
{
    static const QString name = QStringLiteral("--terminal");
    return name;
}

const QString &allOption()
{
    static const QString name = QStringLiteral("--all");
    return name;
}

const QString &retryFailedOption()
{
    static const QString name = QStringLiteral("--retry-failed");
    return name;
}

TargetsResult resolveTargets(const CliOptions &o, bool allAllowed, QList<TerminalTarget> &targets, QString &problem)
{
    targets.clear();
    // --retry-failed is --all narrowed by the history afterwards.
    const bool wholeBook = o.flag(allOption()) || o.flag(retryFailedOption());
    const int ways = int(o.has(phoneOption())) + int(o.has(terminalOption())) + int(o.flag(allOption()))
                     + int(o.flag(retryFailedOption()));
    if (ways != 1) {
        problem = allAllowed ? CliText::tr("нужен один из --phone NUMBER, --terminal NAME, --all, --retry-failed")
                             : CliText::tr("нужен один из --phone NUMBER, --terminal NAME");
        return TargetsResult::BadUsage;
    }
    if (o.has(phoneOption())) {
        if (o.value(phoneOption()).trimmed().isEmpty()) {
            problem = CliText::tr("для --phone нужен номер");
            return TargetsResult::BadUsage;
        }
        // As people write it; the form sent and kept is the plain one.
        const QString number = PhoneNumber::normalized(o.value(phoneOption()));
        targets.append({number, number});
        return TargetsResult::Ok;
    }
    const AppState state;
    Database db;
    QList<Database::Record> records;
    if (!HistoryBook::open(state, db, problem) || !db.readRecords(records, problem)) {
        problem = QStringLiteral("Ошибка открытия базы ") + problem;
        return TargetsResult::NotFound;
    }
    for (const Database::Record &r : records) {
        if (wholeBook || r.Name == o.value(terminalOption()))
            targets.append({r.Name, r.PhoneNumber});
    }
    // One name, several terminals: taking the first would call a terminal nobody chose.
    if (o.has(terminalOption()) && targets.size() > 1) {
        QStringList which;
        for (const Database::Record &r : records) {
            if (r.Name == o.value(terminalOption()))
                which << QStringLiteral("Id %1 (%2)").arg(r.Id).arg(shown(r.PhoneNumber));
        }
        problem = CliText::tr("несколько терминалов с названием %1: %2; укажите --phone")
                      .arg(shown(o.value(terminalOption())), which.join(QStringLiteral(", ")));
        targets.clear();
        return TargetsResult::BadUsage;
    }
    if (targets.isEmpty()) {
        problem = o.has(terminalOption()) ? CliText::tr("нет терминала с названием %1").arg(shown(o.value(terminalOption())))
                                           : CliText::tr("адресная книга пуста");
        return TargetsResult::NotFound;
    }
    return TargetsResult::Ok;
}

TargetsResult resolveEach(const CliOptions &o, QList<TerminalTarget> &targets, QString &problem)
{
    targets.clear();
    for (const QString &phone : o.all(phoneOption())) {
        if (phone.trimmed().isEmpty()) {
            problem = CliText::tr("для --phone нужен номер");
            return TargetsResult::BadUsage;
        }
        targets.append({phone.trimmed(), phone.trimmed()});
    }
    QStringList lookups = o.all(terminalOption());
    if (o.flag(allOption()))
        lookups = {QString()};
    for (const QString &name : std::as_const(lookups)) {
        CliOptions byName;
        if (name.isNull())
            byName.flags << allOption();
        else
            byName.values.insert(terminalOption(), name);
        QList<TerminalTarget> found;
        const TargetsResult result = resolveTargets(byName, true, found, problem);
        if (result != TargetsResult::Ok)
            return result;
        targets += found;
    }
    return TargetsResult::Ok;
}
