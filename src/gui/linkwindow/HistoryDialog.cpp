#include "gui/linkwindow/HistoryDialog.h"
#include "gui/linkwindow/Named.h"

#include "core/app/OperationHistory.h"
#include "core/tasks/TaskBook.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

QString HistoryDialog::operationCaption(int operation)
{
    switch (OperationHistory::Operation(operation)) {
    case OperationHistory::Operation::Upload:
        return QStringLiteral("Загрузка ПО");
    case OperationHistory::Operation::SendProfile:
        return QStringLiteral("Отправка профиля");
    case OperationHistory::Operation::ReadProfile:
        return QStringLiteral("Запрос профиля");
    case OperationHistory::Operation::SendGprs:
        return QStringLiteral("Параметры GPRS");
    case OperationHistory::Operation::Confirmation:
        return QStringLiteral("Подтверждение");
    case OperationHistory::Operation::ProfileReceived:
        return QStringLiteral("Получен профиль");
    case OperationHistory::Operation::Unknown:
        break;
    }
    return QString();
}

QString HistoryDialog::statusCaption(int status)
{
    switch (TaskBook::Status(status)) {
    case TaskBook::Status::Queued:
        return QStringLiteral("в очереди");
    case TaskBook::Status::Sent:
        return QStringLiteral("отправлено, ждет ответа");
    case TaskBook::Status::Confirmed:
        return QStringLiteral("подтверждено");
    case TaskBook::Status::Failed:
        return QStringLiteral("не удалось");
    case TaskBook::Status::Cancelled:
        return QStringLiteral("отменено");
    case TaskBook::Status::Expired:
        return QStringLiteral("нет ответа");
    case TaskBook::Status::Unknown:
        break;
    }
    return QString();
}

QTableWidget *HistoryDialog::table(const QString &objectName, const QStringList &headers)
{
    auto *t = named(new QTableWidget(this), objectName);
    t->setColumnCount(int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

QString HistoryDialog::fillTasks(TaskBook &tasks, const QString &number)
{
    TaskBook::Filter filter;
    filter.number = number;
    QString error;
    const std::optional<QList<TaskBook::Entry>> entries = tasks.list(filter, error);
    if (!entries)
        return error;
    const auto shown = [](const QDateTime &t) {
        return t.isValid() ? t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) : QString();
    };
    m_tblTasks->setRowCount(int(entries->size()));
    for (int row = 0; row < entries->size(); ++row) {
        const TaskBook::Entry &e = entries->at(row);
        const QString status =
            e.status == TaskBook::Status::Unknown ? QStringLiteral("неизвестно") : statusCaption(int(e.status));
        const QStringList cells{QString::number(e.id),
                                shown(e.created),
                                e.operation == OperationHistory::Operation::Unknown ? e.operationWord
                                                                                    : operationCaption(int(e.operation)),
                                status,
                                shown(e.confirmed.isValid() ? e.confirmed : e.sent),
                                e.workstation + (e.userName.isEmpty() ? QString() : QStringLiteral(", ") + e.userName),
                                e.fileName,
                                e.detail};
        for (int column = 0; column < cells.size(); ++column)
            m_tblTasks->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_tblTasks->resizeColumnsToContents();
    return {};
}

HistoryDialog::HistoryDialog(Database &database, TaskBook *tasks, const QString &name, const QString &number,
                             QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("История: ") + (name.isEmpty() ? number : name + QStringLiteral(", ") + number));
    m_tblHistory = table(QStringLiteral("tblHistory"), {QStringLiteral("Время"), QStringLiteral("Операция"),
                                                        QStringLiteral("Порт"), QStringLiteral("Результат"),
                                                        QStringLiteral("Подробности")});
    m_tblTasks = table(QStringLiteral("tblTasks"), {QStringLiteral("№"), QStringLiteral("Создано"),
                                                    QStringLiteral("Операция"), QStringLiteral("Состояние"),
                                                    QStringLiteral("Изменено"), QStringLiteral("Рабочее место"),
                                                    QStringLiteral("Файл"), QStringLiteral("Подробности")});

    OperationHistory::Filter filter;
    filter.number = number;
    QString unreadable;
    const QList<OperationHistory::Entry> entries = OperationHistory(database).entries(filter, &unreadable);
    m_tblHistory->setRowCount(int(entries.size()));
    for (int row = 0; row < entries.size(); ++row) {
        const OperationHistory::Entry &e = entries.at(row);
        const QStringList cells{e.time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")),
                                // A word this version does not know is shown as stored, never as another operation.
                                e.operation == OperationHistory::Operation::Unknown ? OperationHistory::shownOperation(e)
                                                                                    : operationCaption(int(e.operation)),
                                e.port,
                                e.result == OperationHistory::Result::Ok ? QStringLiteral("успешно")
                                                                         : QStringLiteral("ошибка"),
                                e.detail};
        for (int column = 0; column < cells.size(); ++column)
            m_tblHistory->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    m_tblHistory->resizeColumnsToContents();

    auto *buttons = new QDialogButtonBox(this);
    auto *close = named(buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole), QStringLiteral("cmdClose"));
    close->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    if (!unreadable.isEmpty()) {
        // An unreadable history is no empty one.
        auto *label = named(new QLabel(QStringLiteral("История операций не читается: ") + unreadable, this),
                            QStringLiteral("lblHistoryError"));
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    auto *pages = named(new QTabWidget(this), QStringLiteral("tabHistory"));
    pages->addTab(m_tblHistory, QStringLiteral("Операции"));
    const QString tasksUnreadable = tasks ? fillTasks(*tasks, number) : QString();
    if (tasks && tasksUnreadable.isEmpty()) {
        pages->addTab(m_tblTasks, QStringLiteral("Задания"));
    } else {
        auto *page = new QWidget(pages);
        auto *pageLayout = new QVBoxLayout(page);
        auto *label = named(new QLabel(tasks ? QStringLiteral("Задания не читаются: ") + tasksUnreadable
                                             : QStringLiteral("Задания не ведутся: их база не открыта"),
                                       page),
                            QStringLiteral("lblTasksError"));
        label->setWordWrap(true);
        pageLayout->addWidget(label);
        pageLayout->addWidget(m_tblTasks);
        pages->addTab(page, QStringLiteral("Задания"));
    }
    layout->addWidget(pages);
    layout->addWidget(buttons);
    resize(900, 400);
}
