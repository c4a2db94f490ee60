#include "gui/linkwindow/AddressBookPanel.h"
#include "gui/linkwindow/HistoryDialog.h"
#include "gui/linkwindow/Named.h"

#include "core/app/AddressBook.h"
#include "core/app/UserPrompts.h"
#include "core/common/PhoneNumber.h"

#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

AddressBookPanel::AddressBookPanel(Database *database, UserPrompts &prompts, QWidget *parent)
    : QWidget(parent), m_book(database ? new AddressBook(*database) : nullptr), m_prompts(prompts), m_database(database)
{
    m_flexObjects = named(new QTableWidget(0, 3, this), QStringLiteral("flexObjects"));
    m_flexObjects->setHorizontalHeaderLabels({QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("PhoneNumber")});
    m_flexObjects->setColumnHidden(0, true);
    m_flexObjects->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_flexObjects->setSelectionMode(QAbstractItemView::SingleSelection);
    m_flexObjects->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flexObjects->verticalHeader()->setVisible(false);
    m_flexObjects->horizontalHeader()->setStretchLastSection(true);
    m_flexObjects->viewport()->installEventFilter(this);
    // Tab leaves the list in one press; the arrows move within it.
    m_flexObjects->setTabKeyNavigation(false);

    m_txtKVRName = named(new QLineEdit(this), QStringLiteral("txtKVRName"));
    m_txtKVRNumber = named(new QLineEdit(this), QStringLiteral("txtKVRNumber"));
    auto *nameLabel = new QLabel(QStringLiteral("Клиент"), this);
    auto *numberLabel = new QLabel(QStringLiteral("№ тел-на ТМ"), this);
    nameLabel->setBuddy(m_txtKVRName);
    numberLabel->setBuddy(m_txtKVRNumber);
    m_cmdDataAdd = named(new QPushButton(QStringLiteral("Добавить"), this), QStringLiteral("cmdDataAdd"));
    m_cmdDataEdit = named(new QPushButton(QStringLiteral("Изменить"), this), QStringLiteral("cmdDataEdit"));
    m_cmdDataDelete = named(new QPushButton(QStringLiteral("Удалить"), this), QStringLiteral("cmdDataDelete"));
    m_cmdHistory = named(new QPushButton(QStringLiteral("История"), this), QStringLiteral("cmdHistory"));
    for (QPushButton *b : {m_cmdDataAdd, m_cmdDataEdit, m_cmdDataDelete, m_cmdHistory}) {
        b->setAutoDefault(false);
        b->setEnabled(m_book != nullptr);
    }
    // Started without the book (it could not be opened): the empty list says why.
    if (!m_book)
        m_flexObjects->setToolTip(QStringLiteral("Адресная книга недоступна: Data.db не открылась при запуске программы"));

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_flexObjects, 0, 0, 1, 4);
    layout->addWidget(nameLabel, 1, 0);
    layout->addWidget(m_txtKVRName, 1, 1, 1, 3);
    layout->addWidget(numberLabel, 2, 0);
    layout->addWidget(m_txtKVRNumber, 2, 1, 1, 3);
    layout->addWidget(m_cmdHistory, 3, 0);
    layout->addWidget(m_cmdDataAdd, 3, 1);
    layout->addWidget(m_cmdDataEdit, 3, 2);
    layout->addWidget(m_cmdDataDelete, 3, 3);
    layout->setRowStretch(0, 1);

    connect(m_flexObjects, &QTableWidget::cellClicked, this, [this] { flexObjects_Click(); });
    // Mouse or keyboard: the highlighted terminal is the one whose number will be dialled.
    connect(m_flexObjects, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow) {
        if (row != previousRow && row >= 0) {
            fillFromRow();
            m_rowJustFilled = true;
        }
        emit rowColChanged();
    });
    connect(m_cmdDataAdd, &QPushButton::clicked, this, &AddressBookPanel::cmdDataAdd_Click);
    connect(m_cmdDataEdit, &QPushButton::clicked, this, &AddressBookPanel::cmdDataEdit_Click);
    connect(m_cmdDataDelete, &QPushButton::clicked, this, &AddressBookPanel::cmdDataDelete_Click);
    connect(m_cmdHistory, &QPushButton::clicked, this, &AddressBookPanel::cmdHistory_Click);
    connect(m_txtKVRNumber, &QLineEdit::textChanged, this, &AddressBookPanel::terminalNumberChanged);
    for (QLineEdit *box : {m_txtKVRName, m_txtKVRNumber})
        connect(box, &QLineEdit::textChanged, this, [this] { emit terminalChanged(terminalName(), terminalNumber()); });
}

AddressBookPanel::~AddressBookPanel()
{
    delete m_book;
}

void AddressBookPanel::refresh()
{
    QList<Database::Record> records;
    QString error;
    // A book that cannot be read just now (locked) keeps showing what it showed.
    if (m_book && !m_book->readRecords(records, error))
        return;
    {
        const QSignalBlocker quiet(m_flexObjects);
        m_flexObjects->setRowCount(int(records.size()));
        for (int r = 0; r < records.size(); ++r) {
            const QStringList cells = {QString::number(records[r].Id), records[r].Name, records[r].PhoneNumber};
            for (int c = 0; c < 3; ++c)
                m_flexObjects->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        const int shown = rowOfId(m_shownId);
        if (shown >= 0) {
            m_flexObjects->setCurrentCell(shown, 1);
            m_flexObjects->selectRow(shown);
        }
    }
    fitColumns();
    followSelection();
}

int AddressBookPanel::rowOfId(qint64 id) const
{
    for (int r = 0; id > 0 && r < m_flexObjects->rowCount(); ++r) {
        if (m_flexObjects->item(r, 0)->text().toLongLong() == id)
            return r;
    }
    return -1;
}

void AddressBookPanel::followSelection()
{
    // Boxes that show no record (typed, or the number of the last session) are the operator's.
    if (m_shownId == 0)
        return;
    if (currentRecordRow() > 0) {
        fillFromRow();
        return;
    }
    m_shownId = 0;
    m_txtKVRName->clear();
    m_txtKVRNumber->clear();
}

void AddressBookPanel::selectFirstRow()
{
    if (m_flexObjects->rowCount() == 0)
        return;
    m_flexObjects->setCurrentCell(0, 1);
    m_flexObjects->selectRow(0);
    m_flexObjects->setFocus();
    flexObjects_Click();
}

int AddressBookPanel::currentRecordRow() const
{
    const int r = m_flexObjects->currentRow();
    return r >= 0 && r < m_flexObjects->rowCount() ? r + 1 : 0;
}

void AddressBookPanel::fillFromRow()
{
    const int row = currentRecordRow();
    if (row <= 0)
        return;
    m_shownId = m_flexObjects->item(row - 1, 0)->text().toLongLong();
    m_txtKVRNumber->setText(m_flexObjects->item(row - 1, 2)->text());
    m_txtKVRName->setText(m_flexObjects->item(row - 1, 1)->text());
    emit recordClicked(m_txtKVRName->text(), m_txtKVRNumber->text());
}

void AddressBookPanel::flexObjects_Click()
{
    // The press that made the row current has filled the boxes already; a click on the row that
    // was current fills them again.
    if (!m_rowJustFilled)
        fillFromRow();
    m_rowJustFilled = false;
    m_flexObjects->setFocus();
}

bool AddressBookPanel::acceptable(const QString &name, const QString &phone)
{
    const QString why = AddressBook::refusal(name, phone);
    if (why.isEmpty())
        return true;
    m_prompts.message(why, QString(), UserPrompts::Icon::Warning);
    return false;
}

void AddressBookPanel::recordGone()
{
    // Another window or the command line changed the book since it was shown.
    m_prompts.message(QStringLiteral("Запись не найдена, список обновлен"), QString(), UserPrompts::Icon::Information);
    refresh();
}

void AddressBookPanel::reportFailure(int result, const QString &errorText)
{
    switch (AddressBook::Result(result)) {
    case AddressBook::Result::Done:
    case AddressBook::Result::NotFound:
        break;
    case AddressBook::Result::Full:
        m_prompts.message(QStringLiteral("Достигнуто максимальное количество записей"));
        break;
    case AddressBook::Result::Failed:
        m_prompts.message(QStringLiteral("Ошибка базы данных: ") + errorText, QString(),
                          UserPrompts::Icon::Critical);
        break;
    }
}

void AddressBookPanel::cmdDataAdd_Click()
{
    const QString name = m_txtKVRName->text().trimmed();
    const QString phone = m_txtKVRNumber->text().trimmed();
    if (!m_book || !acceptable(name, phone))
        return;
    if (!m_book->allNamed(name).isEmpty()
        && m_prompts.message(QStringLiteral("Терминал с названием ") + name + QStringLiteral(" уже есть. Добавить еще один?"),
                             QStringLiteral("Внимание"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNoDefaultNo)
               != UserPrompts::Answer::Yes)
        return;
    // One subscriber in any of its forms.
    for (const Database::Record &r : m_book->records()) {
        if (!PhoneNumber::sameSubscriber(r.PhoneNumber, PhoneNumber::normalized(phone)))
            continue;
        if (m_prompts.message(QStringLiteral("Номер ") + r.PhoneNumber + QStringLiteral(" уже есть у терминала ") + r.Name
                                  + QStringLiteral(". Добавить еще один?"),
                              QStringLiteral("Внимание"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNoDefaultNo)
            != UserPrompts::Answer::Yes)
            return;
        break;
    }
    QString error;
    qint64 id = 0;
    const AddressBook::Result r = m_book->add(name, phone, error, &id);
    reportFailure(int(r), error);
    // The new record is the one chosen now: the boxes show it, the list highlights it.
    if (r == AddressBook::Result::Done)
        m_shownId = id;
    refresh();
}

void AddressBookPanel::cmdDataEdit_Click()
{
    const qint64 id = m_shownId;
    const QString name = m_txtKVRName->text().trimmed();
    const QString phone = m_txtKVRNumber->text().trimmed();
    if (!m_book || id <= 0 || !acceptable(name, phone))
        return;
    QString error;
    // By the record's Id: its position may have changed since the list was read.
    const AddressBook::Result r = m_book->editId(id, name, phone, error);
    if (r == AddressBook::Result::NotFound) {
        recordGone();
        return;
    }
    reportFailure(int(r), error);
    refresh();
}

void AddressBookPanel::cmdHistory_Click()
{
    const QString number = m_txtKVRNumber->text().trimmed();
    if (!m_database || number.isEmpty())
        return;
    // Beside the link window, not over it: a load or a poll goes on while the operator reads.
    auto *dialog = new HistoryDialog(*m_database, m_tasks, m_txtKVRName->text().trimmed(), number, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void AddressBookPanel::cmdDataDelete_Click()
{
    const qint64 id = m_shownId;
    const int row = rowOfId(id);
    if (!m_book || row < 0)
        return;
    const QString name = m_flexObjects->item(row, 1)->text();
    if (m_prompts.message(QStringLiteral("Удалить запись ") + name + QStringLiteral("?"), QStringLiteral("Внимание"),
                          UserPrompts::Icon::Question, UserPrompts::Buttons::YesNoDefaultNo)
        != UserPrompts::Answer::Yes)
        return;
    QString error;
    const AddressBook::Result r = m_book->remove(id, error);
    if (r == AddressBook::Result::NotFound) {
        recordGone();
        return;
    }
    reportFailure(int(r), error);
    refresh();
}

QString AddressBookPanel::terminalName() const
{
    return m_txtKVRName->text();
}

QString AddressBookPanel::terminalNumber() const
{
    return m_txtKVRNumber->text();
}

void AddressBookPanel::setTerminalNumber(const QString &number)
{
    m_txtKVRNumber->setText(number);
}

void AddressBookPanel::fitColumns()
{
    // Name and number share the grid's width; the Id column stays hidden.
    const int half = m_flexObjects->viewport()->width() / 2;
    m_flexObjects->setColumnWidth(1, half);
    m_flexObjects->setColumnWidth(2, half);
}

bool AddressBookPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_flexObjects->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}
