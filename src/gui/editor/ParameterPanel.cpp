#include "gui/editor/ParameterPanel.h"

#include "core/settings/ValueTypes.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
// Layout measures are given in twips; 15 twips make one pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }

QString indexed(const char *name, int i) { return QLatin1String(name) + QLatin1Char('_') + QString::number(i); }
} // namespace

ParameterPanel::ParameterPanel(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QWidget(parent), m_state(state), m_prompts(prompts)
{
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);

    // An event with more parameters than fit scrolls.
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrParameters"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    // The boxes inside take the focus; the area itself is no stop of the Tab key.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setMinimumHeight(140);
    m_slots = new QWidget;
    m_slots->setObjectName(QStringLiteral("panelParameters"));
    new QGridLayout(m_slots);
    scroll->setWidget(m_slots);
    v->addWidget(scroll, 1);
    ensureTextSlots(8);
    ensureCheckSlots(8);

    m_cmdSave = new QPushButton(QStringLiteral("Сохранить"), this);
    m_cmdSave->setObjectName(QStringLiteral("cmdSave"));
    connect(m_cmdSave, &QPushButton::clicked, this, &ParameterPanel::saveRequested);
    auto *saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(m_cmdSave);
    v->addLayout(saveRow);

    // Leaving a box and clicking elsewhere in the window are both seen here.
    qApp->installEventFilter(this);
}

ParameterPanel::~ParameterPanel()
{
    qApp->removeEventFilter(this);
}

void ParameterPanel::ensureTextSlots(int count)
{
    while (m_txtParam.size() < count) {
        const int k = int(m_txtParam.size());
        auto *label = new QLabel(m_slots);
        label->setObjectName(indexed("lblTxtParam", k));
        label->setWordWrap(true);
        label->hide();
        auto *box = new QLineEdit(m_slots);
        box->setObjectName(indexed("txtParam", k));
        box->setFixedWidth(px(1500));
        box->hide();
        label->setBuddy(box);
        m_lblTxtParam.append(label);
        m_txtParam.append(box);
    }
}

void ParameterPanel::ensureCheckSlots(int count)
{
    while (m_chkParam.size() < count) {
        const int c = int(m_chkParam.size());
        auto *label = new QLabel(m_slots);
        label->setObjectName(indexed("lblCHKParam", c));
        label->setWordWrap(true);
        label->hide();
        auto *box = new QCheckBox(m_slots);
        box->setObjectName(indexed("chkParam", c));
        box->hide();
        connect(box, &QCheckBox::toggled, this, [this, c] { chkParam_Click(c); });
        m_lblCHKParam.append(label);
        m_chkParam.append(box);
    }
}

void ParameterPanel::clear()
{
    // Hiding a focused box moves the focus: that is no edit.
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_invalidSlot = -1;
    for (int i = 0; i < m_txtParam.size(); ++i) {
        m_txtParam[i]->hide();
        m_lblTxtParam[i]->hide();
    }
    for (int i = 0; i < m_chkParam.size(); ++i) {
        m_chkParam[i]->hide();
        m_lblCHKParam[i]->hide();
    }
    m_textMap.clear();
    m_checkMap.clear();
    m_selectionChanging = was;
}

void ParameterPanel::showPlan(const PanelPlan &plan)
{
    clear();
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    ensureTextSlots(int(plan.textMap.size()));
    ensureCheckSlots(int(plan.checkMap.size()));
    m_textMap = plan.textMap;
    m_checkMap = plan.checkMap;

    // One row per parameter, in table order, label left and control right.
    delete m_slots->layout();
    auto *grid = new QGridLayout(m_slots);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(px(60) + 2);
    grid->setColumnStretch(0, 1);
    QWidget *previous = nullptr;
    for (int i = 0; i < plan.items.size(); ++i) {
        const PanelPlan::Item &item = plan.items[i];
        QLabel *label = nullptr;
        QWidget *control = nullptr;
        if (item.kind == PanelPlan::Item::Kind::Check) {
            label = m_lblCHKParam[item.slot];
            m_chkParam[item.slot]->setChecked(item.checked);
            control = m_chkParam[item.slot];
        } else {
            label = m_lblTxtParam[item.slot];
            // A box never shows what another parameter left in it.
            m_txtParam[item.slot]->setText(item.hasValue ? item.value : QString());
            m_txtParam[item.slot]->setToolTip(item.note);
            control = m_txtParam[item.slot];
        }
        label->setText(m_state.table.TableEntries[item.entry].ParamCaption);
        grid->addWidget(label, i, 0);
        grid->addWidget(control, i, 1, Qt::AlignLeft | Qt::AlignVCenter);
        label->show();
        control->show();
        // Tab walks the parameters as they stand, then reaches "Сохранить".
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
    if (previous)
        QWidget::setTabOrder(previous, m_cmdSave);
    grid->setRowStretch(int(plan.items.size()), 1);
    m_selectionChanging = was;
}

void ParameterPanel::storeShownValues()
{
    const int count = m_state.table.EntryCount();
    QString message;
    for (int i = 0; i < m_checkMap.size(); ++i) {
        if (m_checkMap[i] < count)
            ValueTypes::storeBit(m_state.table.TableEntries[m_checkMap[i]], m_chkParam[i]->isChecked(),
                                 m_state.CurrentImage);
    }
    for (int i = 0; i < m_textMap.size(); ++i) {
        if (m_textMap[i] >= count)
            continue;
        if (!ValueTypes::checkAndStore(m_txtParam[i]->text(), m_state.table.TableEntries[m_textMap[i]],
                                       m_state.CurrentImage))
            message += ValueTypes::invalidValueMessage(m_lblTxtParam[i]->text());
    }
    if (!message.isEmpty())
        m_prompts.message(message);
}

bool ParameterPanel::ParamValidate(int k)
{
    if (k < 0 || k >= m_textMap.size() || m_textMap[k] >= m_state.table.EntryCount())
        return false;
    const TableEntry &entry = m_state.table.TableEntries[m_textMap[k]];
    QString text = m_txtParam[k]->text();
    const bool invalid = ValueTypes::ParamValidate(text, entry, m_state.CurrentImage);
    if (text != m_txtParam[k]->text())
        m_txtParam[k]->setText(text);
    if (invalid)
        m_prompts.message(ValueTypes::invalidValueMessage(m_lblTxtParam[k]->text()));
    return invalid;
}

bool ParameterPanel::txtParam_Validate(int k)
{
    const bool cancel = ParamValidate(k);
    m_invalidSlot = cancel ? k : -1;
    return cancel;
}

void ParameterPanel::chkParam_Click(int index)
{
    if (m_selectionChanging || index < 0 || index >= m_checkMap.size()
        || m_checkMap[index] >= m_state.table.EntryCount())
        return;
    ValueTypes::storeBit(m_state.table.TableEntries[m_checkMap[index]], m_chkParam[index]->isChecked(),
                         m_state.CurrentImage);
}

int ParameterPanel::focusedValueSlot() const
{
    const QWidget *focused = window()->focusWidget();
    for (int k = 0; k < m_textMap.size(); ++k) {
        if (focused == m_txtParam[k] && !m_txtParam[k]->isHidden())
            return k;
    }
    return -1;
}

bool ParameterPanel::focusCheckCancels()
{
    const int k = focusedValueSlot();
    return k >= 0 && txtParam_Validate(k);
}

void ParameterPanel::focusLeft(int k, QEvent *event)
{
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
    // Switching windows or opening a menu is not leaving the box.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    if (m_selectionChanging || m_validating || m_closing || k >= m_textMap.size() || m_txtParam[k]->isHidden())
        return;
    m_validating = true;
    if (txtParam_Validate(k))
        m_txtParam[k]->setFocus();
    m_validating = false;
}

bool ParameterPanel::clickElsewhereWhileInvalid(QObject *watched) const
{
    if (m_invalidSlot < 0 || m_invalidSlot >= m_txtParam.size())
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    const QLineEdit *box = m_txtParam[m_invalidSlot];
    if (!w || w->window() != window() || w == box || box->isAncestorOf(w))
        return false;
    return !qobject_cast<QMenuBar *>(w);
}

bool ParameterPanel::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusOut: {
        const int k = int(m_txtParam.indexOf(qobject_cast<QLineEdit *>(watched)));
        if (k >= 0)
            focusLeft(k, event);
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // While a value box holds an invalid text, the focus stays there: other controls take no clicks.
        if (clickElsewhereWhileInvalid(watched))
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
