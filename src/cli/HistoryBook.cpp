#include "cli/HistoryBook.h"

#include "cli/CliOutput.h"
#include "cli/CliText.h"

#include "core/app/AppState.h"
#include "core/app/Database.h"

#include <cstdio>

namespace HistoryBook {

bool open(const AppState &state, Database &database, QString &error)
{
    if (!database.open(state.appPath(QStringLiteral("Data.db")), error))
        return false;
    database.setWriteFailureHandler([](const QString &why) {
        printLine(stderr, CliText::tr("история операций не записана: %1").arg(why));
    });
    return true;
}

bool openForHistory(AppState &state, Database &database)
{
    QString error;
    if (!open(state, database, error)) {
        printLine(stderr, CliText::tr("ВНИМАНИЕ: история операций не ведется, Data.db не открылась: %1").arg(error));
        return false;
    }
    state.database = &database;
    return true;
}

} // namespace HistoryBook
