#pragma once

#include <QWidget>

class AddressBook;
class Database;
class TaskBook;
class UserPrompts;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The address book area of the link window (fraData): the grid flexObjects over the
// table objects, the fields txtKVRName ("Клиент") and txtKVRNumber ("№ тел-на ТМ") and
// the buttons "Добавить", "Изменить", "Удалить". The rules live in AddressBook.
class AddressBookPanel : public QWidget
{
    Q_OBJECT
public:
    AddressBookPanel(Database *database, UserPrompts &prompts, QWidget *parent = nullptr);
    ~AddressBookPanel() override;

    // Re-binds the grid to the table (after every change and on each activation).
    void refresh();
    // Row 1 selected and clicked when the book has a record (activation).
    void selectFirstRow();

    void flexObjects_Click();
    void cmdDataAdd_Click();
    void cmdDataEdit_Click();
    void cmdDataDelete_Click();
    // The selected terminal's history and tasks, in a window of its own.
    void cmdHistory_Click();
    // Where the SMS jobs keep their tasks (nullptr: none kept), shown with the history.
    void setTaskBook(TaskBook *tasks) { m_tasks = tasks; }

    QString terminalNumber() const;
    QString terminalName() const;
    void setTerminalNumber(const QString &number);
    // The grid's current record row, 1-based as the commands count it; 0 when none.
    int currentRecordRow() const;

signals:
    // flexObjects_Click copied a record: its name and number.
    void recordClicked(const QString &name, const QString &number);
    // flexObjects_RowColChange.
    void rowColChanged();
    // txtKVRNumber_Change.
    void terminalNumberChanged(const QString &number);
    // The name or the number box changed: the terminal they show now.
    void terminalChanged(const QString &name, const QString &number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reportFailure(int result, const QString &errorText);
    // The number and name boxes take the selected row's record.
    void fillFromRow();
    // After the list was read again: the boxes keep their record where it still is, else follow
    // the row now selected, else are emptied.
    void followSelection();
    // The grid row of a record, -1 when the list does not hold it.
    int rowOfId(qint64 id) const;
    // False, after saying why, for a name or number the book must not keep.
    bool acceptable(const QString &name, const QString &phone);
    void recordGone();
    // The current row's change has just filled the boxes (the click that follows need not).
    bool m_rowJustFilled = false;
    // The record whose values the boxes show (0: none): the one "Изменить" and "Удалить" act on,
    // whatever the highlight shows after the list changed under it.
    qint64 m_shownId = 0;
    void fitColumns();

    AddressBook *m_book = nullptr;
    UserPrompts &m_prompts;
    Database *m_database = nullptr;
    TaskBook *m_tasks = nullptr;
    QTableWidget *m_flexObjects = nullptr;
    QLineEdit *m_txtKVRName = nullptr;
    QLineEdit *m_txtKVRNumber = nullptr;
    QPushButton *m_cmdDataAdd = nullptr;
    QPushButton *m_cmdDataEdit = nullptr;
    QPushButton *m_cmdDataDelete = nullptr;
    QPushButton *m_cmdHistory = nullptr;
};
