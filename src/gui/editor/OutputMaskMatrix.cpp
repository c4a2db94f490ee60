#include "gui/editor/OutputMaskMatrix.h"

#include "core/settings/EventMasks.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

namespace {
// Frame caption, then the captions of rows 0..8.
const char *const kCaptionsKVR6r[10] = {
    "Маска вывода устройства KVR6r", "Мест-е, дата, время", "Статус терминала", "Высота над уровнем моря",
    "Значения скоростей", "Пробег", "Расход топл., моточасы", "АЦП", "Сухие конт., реле", "Параметры сост."};
const char *const kCaptionsKVR6CAN[10] = {
    "Маска вывода устройства KVR6CAN", "Мест-е, дата, время, статус", "Навигационные пар-ры", "Топливо, моточасы",
    "Доп. параметры CAN", "АЦП", "Сухие конт., реле", "Параметры состояния", "Нагрузка на оси", "Резерв"};

QString indexed(const char *name, int i) { return QLatin1String(name) + QLatin1Char('_') + QString::number(i); }

const char *const kColumnTexts[3] = {"Авто/GPRS", "Тревога/Инфо", "Инфо"};
} // namespace

OutputMaskMatrix::OutputMaskMatrix(AppState &state, QWidget *parent)
    : QGroupBox(QStringLiteral("Маска вывода"), parent), m_state(state)
{
    setObjectName(QStringLiteral("Frame1"));
    buildRows();
    // The first device type is chosen at start; choosing it sets the captions.
    m_optTypeDevice[0]->setChecked(true);
}

void OutputMaskMatrix::buildRows()
{
    auto *g = new QGridLayout(this);
    g->setVerticalSpacing(2);
    g->setHorizontalSpacing(8);
    auto *types = new QHBoxLayout;
    const QString typeCaptions[2] = {QStringLiteral("KVR6r"), QStringLiteral("KVR6CAN")};
    for (int i = 0; i < 2; ++i) {
        m_optTypeDevice[i] = new QRadioButton(typeCaptions[i], this);
        m_optTypeDevice[i]->setObjectName(indexed("optTypeDevice", i));
        connect(m_optTypeDevice[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTypeDevice_Click(i);
        });
        types->addWidget(m_optTypeDevice[i]);
    }
    types->addStretch(1);
    g->addLayout(types, 0, 0, 1, 4);

    const char *headerNames[3] = {"lblAvto", "lblAlarm", "lblInfo"};
    for (int c = 0; c < 3; ++c) {
        auto *l = new QLabel(QString::fromUtf8(kColumnTexts[c]), this);
        l->setObjectName(QLatin1String(headerNames[c]));
        l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        g->addWidget(l, 1, c + 1);
    }

    // Row names switch with the device type: reserve the wider of the two sets.
    int nameWidth = 0;
    for (int r = 1; r < 10; ++r) {
        nameWidth = qMax(nameWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(kCaptionsKVR6r[r])));
        nameWidth = qMax(nameWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(kCaptionsKVR6CAN[r])));
    }
    const char *boxNames[3] = {"chkAuto", "chkAlarm", "chkInfo"};
    void (OutputMaskMatrix::*handlers[3])(int) = {&OutputMaskMatrix::chkAuto_Click, &OutputMaskMatrix::chkAlarm_Click,
                                                  &OutputMaskMatrix::chkInfo_Click};
    for (int r = 0; r < 9; ++r) {
        m_lblMaskName[r] = new QLabel(this);
        m_lblMaskName[r]->setObjectName(indexed("lblMaskName", r));
        m_lblMaskName[r]->setMinimumWidth(nameWidth + 4);
        g->addWidget(m_lblMaskName[r], r + 2, 0);
        for (int c = 0; c < 3; ++c) {
            auto *box = new QCheckBox(this);
            box->setObjectName(indexed(boxNames[c], r));
            m_boxes[c][r] = box;
            g->addWidget(box, r + 2, c + 1, Qt::AlignHCenter);
            if (r == 0) {
                // Row 0 has no bit: grey and not clickable.
                box->setTristate(true);
                box->setCheckState(Qt::PartiallyChecked);
                box->setEnabled(false);
            }
            const auto handler = handlers[c];
            connect(box, &QCheckBox::toggled, this, [this, handler, r] { (this->*handler)(r); });
        }
    }
    g->setColumnStretch(0, 1);
}

void OutputMaskMatrix::clear()
{
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_event = -1;
    for (int c = 0; c < 3; ++c) {
        for (int r = 1; r < 9; ++r)
            m_boxes[c][r]->setChecked(false);
    }
    m_selectionChanging = was;
}

void OutputMaskMatrix::fill(int event)
{
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_event = event;
    for (int c = 0; c < 3; ++c) {
        const quint8 byte = EventMasks::outputByte(m_state.CurrentImage, c, event);
        for (int r = 1; r < 9; ++r)
            m_boxes[c][r]->setChecked(byte & (1u << (r - 1)));
    }
    m_selectionChanging = was;
}

void OutputMaskMatrix::store()
{
    if (m_event < 0)
        return;
    for (int c = 0; c < 3; ++c) {
        quint8 byte = 0;
        for (int r = 1; r < 9; ++r) {
            if (m_boxes[c][r]->isChecked())
                byte |= quint8(1u << (r - 1));
        }
        EventMasks::setOutputByte(m_state.CurrentImage, c, m_event, byte);
    }
}

bool OutputMaskMatrix::storeBox(Column column, int index)
{
    if (m_selectionChanging || m_event < 0)
        return false;
    // Row r is bit r - 1; row 0 has no bit of its own and falls on bit 0.
    EventMasks::setOutputBit(m_state.CurrentImage, column, m_event, qMax(index - 1, 0),
                             m_boxes[column][index]->isChecked());
    return true;
}

void OutputMaskMatrix::chkAuto_Click(int index)
{
    storeBox(Auto, index);
}

void OutputMaskMatrix::chkInfo_Click(int index)
{
    storeBox(Info, index);
}

void OutputMaskMatrix::chkAlarm_Click(int index)
{
    if (!storeBox(Alarm, index) || index != 5)
        return;
    // Alarm row 5 drives alarm row 6 and the Auto/GPRS bit of row 6 with it.
    m_boxes[Alarm][6]->setChecked(m_boxes[Alarm][5]->isChecked());
    EventMasks::setOutputBit(m_state.CurrentImage, Auto, m_event, 5, m_boxes[Alarm][6]->isChecked());
}

void OutputMaskMatrix::optTypeDevice_Click(int index)
{
    const char *const *captions = index == 0 ? kCaptionsKVR6r : kCaptionsKVR6CAN;
    setTitle(QString::fromUtf8(captions[0]));
    for (int r = 0; r < 9; ++r) {
        const QString row = QString::fromUtf8(captions[r + 1]);
        m_lblMaskName[r]->setText(row);
        // A screen reader names each box by its row and column, as the eye reads the grid.
        for (int c = 0; c < 3; ++c)
            m_boxes[c][r]->setAccessibleName(row + QStringLiteral(": ") + QString::fromUtf8(kColumnTexts[c]));
    }
}
