#pragma once

#include <QString>

class AppState;
class Database;

// Data.db as every command that acts on terminals opens it, one way: a history row that cannot
// be written is said once on standard error, never lost in silence.
namespace HistoryBook {

// Opens the book of the application folder into database; false with the driver's text.
bool open(const AppState &state, Database &database, QString &error);
// The same for a send, read or poll, which go on without a book: the history is then not kept,
// and standard error says so once, loudly. True when the book is open.
bool openForHistory(AppState &state, Database &database);

} // namespace HistoryBook
