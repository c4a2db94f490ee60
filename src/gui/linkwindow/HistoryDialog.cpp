#include "gui/linkwindow/HistoryDialog.h"
#include "gui/linkwindow/Named.h"

#include "core/app/OperationHistory.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
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

HistoryDialog::HistoryDialog(Database &database, const QString &name, const QString &number, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("История: ") + (name.isEmpty() ? number : name + QStringLiteral(", ") + number));
    m_tblHistory = named(new QTableWidget(this), QStringLiteral("tblHistory"));
    const QStringList headers{QStringLiteral("Время"), QStringLiteral("Операция"), QStringLiteral("Порт"),
                              QStringLiteral("Результат"), QStringLiteral("Подробности")};
    m_tblHistory->setColumnCount(int(headers.size()));
    m_tblHistory->setHorizontalHeaderLabels(headers);
    m_tblHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblHistory->verticalHeader()->hide();
    m_tblHistory->horizontalHeader()->setStretchLastSection(true);

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
    layout->addWidget(m_tblHistory);
    layout->addWidget(buttons);
    resize(760, 360);
}
