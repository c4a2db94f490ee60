#include "TestLinkWindowBook.h"

#include "ControlLookup.h"
#include "ScriptedPrompts.h"
#include "core/app/AppState.h"
#include "core/app/AddressBook.h"
#include "core/common/PhoneNumber.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"
#include "gui/linkwindow/HistoryDialog.h"
#include "core/common/Clock.h"
#include "core/tasks/TaskBook.h"
#include "gui/linkwindow/frmLink.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A link window over a book of the test's own, on a port that does not exist (the check is quick).
struct BookWindow
{
    QTemporaryDir dir;
    AppState state{dir.path()};
    Database db;
    ScriptedPrompts prompts;
    std::unique_ptr<frmLink> w;

    explicit BookWindow(const QStringList &names = {})
    {
        QString error;
        db.open(dir.filePath(QStringLiteral("Data.db")), error);
        QSqlQuery q(QSqlDatabase::database(db.connectionName()));
        for (int i = 0; i < names.size(); ++i)
            q.exec(QStringLiteral("INSERT INTO objects VALUES (%1, '%2', '+7900%1')").arg(i + 1).arg(names[i]));
        state.database = &db;
        state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
        w = std::make_unique<frmLink>(state, prompts);
    }
    bool open()
    {
        QSignalSpy finished(w.get(), &frmLink::modemCheckFinished);
        w->show();
        return finished.wait(15000);
    }
    template <typename T>
    T *child(const QString &name, const char *file = __builtin_FILE(), int line = __builtin_LINE())
    {
        return findControl<T>(w.get(), name, file, line);
    }
    QTableWidget *grid() { return child<QTableWidget>(QStringLiteral("flexObjects")); }
    QStringList rows()
    {
        QStringList out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out << grid()->item(r, 0)->text() + QLatin1Char(' ') + grid()->item(r, 1)->text() + QLatin1Char(' ')
                       + grid()->item(r, 2)->text();
        return out;
    }
    void type(const QString &name, const QString &number)
    {
        child<QLineEdit>(QStringLiteral("txtKVRName"))->setText(name);
        child<QLineEdit>(QStringLiteral("txtKVRNumber"))->setText(number);
    }
    void press(const char *button) { child<QPushButton>(QLatin1String(button))->click(); }
};

} // namespace

void TestLinkWindowBook::addEditDeleteThroughButtons()
{
    BookWindow t({QStringLiteral("a"), QStringLiteral("b")});
    QVERIFY(t.open());
    const int portMessages = int(t.prompts.shown.size()); // the port that does not exist
    // Activation shows the book with row 1 chosen; its number becomes the terminal's.
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("1 a +79001"), QStringLiteral("2 b +79002")}));
    QCOMPARE(t.state.terminalNumber, QStringLiteral("+79001"));
    QVERIFY(t.grid()->isColumnHidden(0));
    t.type(QStringLiteral("c"), QStringLiteral("333"));
    t.press("cmdDataAdd");
    t.grid()->setCurrentCell(0, 1);
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    t.press("cmdDataDelete");
    QCOMPARE(t.prompts.texts().last(), QStringLiteral("Удалить запись a?"));
    QCOMPARE(t.prompts.shown.last().buttons, UserPrompts::Buttons::YesNoDefaultNo);
    t.type(QStringLiteral("d"), QStringLiteral("444"));
    t.press("cmdDataAdd");
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("1 d 444"), QStringLiteral("2 b +79002"),
                                    QStringLiteral("3 c 333")}));
    // Edit works on the grid position: the second row is Id 2.
    t.grid()->setCurrentCell(1, 1);
    t.type(QStringLiteral("B"), QStringLiteral("222"));
    t.press("cmdDataEdit");
    QCOMPARE(t.rows().at(1), QStringLiteral("2 B 222"));
    QCOMPARE(t.prompts.shown.size(), portMessages + 1);

    // Nothing unusable is stored, and a second terminal of one name is asked for.
    t.prompts.shown.clear();
    const QStringList before = t.rows();
    t.type(QStringLiteral("  "), QStringLiteral("555"));
    t.press("cmdDataAdd");
    t.type(QStringLiteral("e"), QStringLiteral("+"));
    t.press("cmdDataAdd");
    t.type(QStringLiteral("e"), QStringLiteral("55a"));
    t.press("cmdDataEdit");
    t.type(QStringLiteral("d"), QStringLiteral("555"));
    t.press("cmdDataAdd");
    QCOMPARE(t.prompts.texts(), (QStringList{QStringLiteral("Введите название терминала"),
                                             QStringLiteral("Неверный номер телефона: ") + PhoneNumber::expected(),
                                             QStringLiteral("Неверный номер телефона: ") + PhoneNumber::expected(),
                                             QStringLiteral("Терминал с названием d уже есть. Добавить еще один?")}));
    QCOMPARE(t.rows(), before);

    // Deleted elsewhere meanwhile: the edit touches no other terminal and the list is read again.
    t.grid()->setCurrentCell(2, 1); // Id 3, "c"
    Database other;
    QString error;
    QVERIFY(other.open(t.dir.filePath(QStringLiteral("Data.db")), error));
    QVERIFY(AddressBook(other).remove(3, error) == AddressBook::Result::Done);
    t.type(QStringLiteral("c2"), QStringLiteral("777"));
    t.press("cmdDataEdit");
    QCOMPARE(t.prompts.texts().last(), QStringLiteral("Запись не найдена, список обновлен"));
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("1 d 444"), QStringLiteral("2 B 222")}));
}

void TestLinkWindowBook::clickFillsNumbersAndClearsLastBlock()
{
    BookWindow t({QStringLiteral("a"), QStringLiteral("b")});
    QVERIFY(t.open());
    auto *lastBlock = t.child<QCheckBox>(QStringLiteral("chkLastAdr"));
    lastBlock->setChecked(true);
    QTest::mouseClick(t.grid()->viewport(), Qt::LeftButton, {},
                      t.grid()->visualItemRect(t.grid()->item(1, 2)).center());
    QVERIFY(!lastBlock->isChecked());
    QCOMPARE(t.child<QLineEdit>(QStringLiteral("txtKVRName"))->text(), QStringLiteral("b"));
    QCOMPARE(t.child<QLineEdit>(QStringLiteral("txtKVRNumber"))->text(), QStringLiteral("+79002"));
    // One chosen terminal: the profile's number follows the book in the firmware mode too.
    auto *profileNumber = t.child<QLineEdit>(QStringLiteral("txtProfileNumber"));
    QCOMPARE(profileNumber->text(), QStringLiteral("+79002"));
    t.child<QRadioButton>(QStringLiteral("OptIndex_1"))->click();
    QTest::mouseClick(t.grid()->viewport(), Qt::LeftButton, {},
                      t.grid()->visualItemRect(t.grid()->item(0, 1)).center());
    QCOMPARE(profileNumber->text(), QStringLiteral("+79001"));
    // The arrow keys move the choice, and the number that will be dialled with it.
    t.grid()->setFocus();
    QTest::keyClick(t.grid(), Qt::Key_Down);
    QCOMPARE(t.child<QLineEdit>(QStringLiteral("txtKVRNumber"))->text(), QStringLiteral("+79002"));
    QCOMPARE(t.state.terminalNumber, QStringLiteral("+79002"));
    QCOMPARE(profileNumber->text(), QStringLiteral("+79002"));
}

void TestLinkWindowBook::editAfterDeleteTouchesTheShownTerminal()
{
    BookWindow t({QStringLiteral("Первый"), QStringLiteral("Второй"), QStringLiteral("Третий")});
    QVERIFY(t.open());
    t.grid()->setCurrentCell(1, 1);
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    t.press("cmdDataDelete");
    // The boxes follow the highlight to the next terminal; nothing of the deleted one is left.
    QCOMPARE(t.grid()->currentRow(), 1);
    QCOMPARE(t.child<QLineEdit>(QStringLiteral("txtKVRName"))->text(), QStringLiteral("Третий"));
    QCOMPARE(t.child<QLineEdit>(QStringLiteral("txtKVRNumber"))->text(), QStringLiteral("+79003"));
    QCOMPARE(t.state.terminalNumber, QStringLiteral("+79003"));
    t.child<QLineEdit>(QStringLiteral("txtKVRName"))->setText(QStringLiteral("Третий-2"));
    t.press("cmdDataEdit");
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("1 Первый +79001"), QStringLiteral("3 Третий-2 +79003")}));

    // Tab leaves the list in one press and chooses no other terminal.
    t.w->activateWindow();
    t.grid()->setFocus();
    QTest::keyClick(t.grid(), Qt::Key_Tab);
    QVERIFY(!t.grid()->hasFocus());
    QCOMPARE(t.grid()->currentRow(), 1);
    QCOMPARE(t.state.terminalNumber, QStringLiteral("+79003"));

    // A number the book holds already, written another way, is asked about like a name.
    t.type(QStringLiteral("Дубль"), QStringLiteral("+7 900 3"));
    t.press("cmdDataAdd");
    QCOMPARE(t.prompts.texts().last(), QStringLiteral("Номер +79003 уже есть у терминала Третий-2. Добавить еще один?"));
    QCOMPARE(t.rows().size(), 2);
}

void TestLinkWindowBook::databaseErrorLosesNothing()
{
    // The program waits 10 s for a locked book; the lock here is never let go.
    Database::setBusyTimeoutMs(1000);
    BookWindow t({QStringLiteral("a")});
    QVERIFY(t.open());
    t.prompts.shown.clear();
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
    other.setDatabaseName(t.dir.filePath(QStringLiteral("Data.db")));
    QVERIFY(other.open());
    QSqlQuery lock(other);
    QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    t.type(QStringLiteral("x"), QStringLiteral("111"));
    t.press("cmdDataAdd");
    QCOMPARE(t.prompts.shown.size(), 1);
    QVERIFY2(t.prompts.shown.first().text.startsWith(QStringLiteral("Ошибка базы данных: ")),
             qPrintable(t.prompts.shown.first().text));
    QVERIFY(t.prompts.shown.first().text.contains(QStringLiteral("locked")));
    QCOMPARE(t.rows(), QStringList{QStringLiteral("1 a +79001")});
    lock.exec(QStringLiteral("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    t.press("cmdDataAdd");
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("1 a +79001"), QStringLiteral("2 x 111")}));
}

void TestLinkWindowBook::phoneBookEditorKeys()
{
    BookWindow t;
    QVERIFY(t.open());
    t.child<QRadioButton>(QStringLiteral("OptIndex_2"))->click();
    auto *grid = t.child<QTableWidget>(QStringLiteral("FlexPB"));
    auto *editor = t.child<QLineEdit>(QStringLiteral("txtTemp"));
    QCOMPARE(grid->horizontalHeaderItem(3)->text(), QStringLiteral("Название"));
    QCOMPARE(grid->item(9, 0)->text(), QStringLiteral("10"));
    QVERIFY(grid->isColumnHidden(2));
    grid->setCurrentCell(0, 1);
    QVERIFY(editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("123"));
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("123"));
    // Right at the end of the number: the name of the same row.
    QTest::keyClick(editor, Qt::Key_Right);
    QCOMPARE(grid->currentColumn(), 3);
    QTest::keyClicks(editor, QStringLiteral("Ivan"));
    QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("Ivan"));
    // Left inside the name moves the caret; at its start it goes back to the number.
    QTest::keyClick(editor, Qt::Key_Left);
    QCOMPARE(grid->currentColumn(), 3);
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Left);
    QCOMPARE(grid->currentColumn(), 1);
    QCOMPARE(editor->text(), QStringLiteral("123"));
    // Up on row 1 goes nowhere; down moves a row.
    QTest::keyClick(editor, Qt::Key_Up);
    QCOMPARE(grid->currentRow(), 0);
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(grid->currentRow(), 1);
    QCOMPARE(editor->text(), QString());
    // Columns 0 and 2 are not edited.
    grid->setCurrentCell(3, 0);
    QVERIFY(!editor->isVisible());
    QCOMPARE(grid->currentColumn(), 0);
}

void TestLinkWindowBook::historyOfTheSelectedTerminal()
{
    BookWindow t({QStringLiteral("a"), QStringLiteral("b")});
    OperationHistory history(t.db);
    QString error;
    const auto at = [](int minute) { return QDateTime(QDate(2026, 12, 1), QTime(10, minute), Qt::UTC); };
    QVERIFY(history.record({at(1), OperationHistory::Operation::Upload, QStringLiteral("b"), QStringLiteral("+79002"),
                            QStringLiteral("/dev/ttyUSB0"), OperationHistory::Result::Failed, QStringLiteral("NO CARRIER")},
                           error));
    QVERIFY(history.record({at(2), OperationHistory::Operation::SendProfile, QString(), QStringLiteral("+79002"),
                            QStringLiteral("/dev/ttyUSB1"), OperationHistory::Result::Ok, QString()},
                           error));
    QVERIFY(history.record({at(3), OperationHistory::Operation::Upload, QStringLiteral("a"), QStringLiteral("+79001"),
                            QStringLiteral("/dev/ttyUSB0"), OperationHistory::Result::Ok, QString()},
                           error));
    // A word a newer version wrote is shown as it is, never as another operation.
    QVERIFY(QSqlQuery(QSqlDatabase::database(t.db.connectionName()))
                .exec(QStringLiteral("INSERT INTO history (Time, Operation, Terminal, Number, Port, Result, Detail) "
                                     "VALUES ('2026-12-01T10:00:00.000Z', 'erase-flash', 'b', '+79002', '', 'ok', '')")));
    // Its tasks beside: the other terminal's are not shown.
    TaskBook tasks(t.db.connectionName(), Clock::system());
    QVERIFY2(tasks.ensureSchema(error), qPrintable(error));
    for (const QString &number : {QStringLiteral("+79002"), QStringLiteral("+79001")}) {
        TaskBook::NewTask task;
        task.operation = OperationHistory::Operation::ReadProfile;
        task.number = number;
        task.packets = {0x43, 0x45};
        task.workstation = QStringLiteral("kvrsetup@desk2");
        const std::optional<qint64> id = tasks.create(task, error);
        QVERIFY2(id, qPrintable(error));
        QCOMPARE(tasks.markConfirmed(*id, QStringLiteral("BIN/79002.bin"), error), TaskBook::Change::Done);
    }
    QVERIFY(t.open());
    t.grid()->setCurrentCell(1, 1);
    t.press("cmdHistory");
    auto *dialog = t.w->findChild<HistoryDialog *>(QStringLiteral("frmHistory"));
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("История: b, +79002"));
    auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("tblHistory"));
    QVERIFY(table);
    // Only this terminal's, newest first; nothing can be edited.
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("Отправка профиля"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("Загрузка ПО"));
    QCOMPARE(table->item(2, 1)->text(), QStringLiteral("erase-flash"));
    QVERIFY(!dialog->findChild<QWidget *>(QStringLiteral("lblHistoryError")));
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(table->item(1, 3)->text(), QStringLiteral("ошибка"));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("NO CARRIER"));
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    auto *taskTable = dialog->findChild<QTableWidget *>(QStringLiteral("tblTasks"));
    QVERIFY(taskTable);
    QCOMPARE(taskTable->rowCount(), 1);
    QCOMPARE(taskTable->item(0, 2)->text(), QStringLiteral("Запрос профиля"));
    QCOMPARE(taskTable->item(0, 3)->text(), QStringLiteral("подтверждено"));
    QVERIFY(taskTable->item(0, 5)->text().startsWith(QStringLiteral("kvrsetup@desk2")));
    QCOMPARE(taskTable->item(0, 7)->text(), QStringLiteral("BIN/79002.bin"));
    dialog->close();
}
