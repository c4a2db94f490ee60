#include "gui/editor/EventMaskBoxes.h"

#include "core/settings/EventMasks.h"

#include <QCheckBox>
#include <QGridLayout>

EventMaskBoxes::EventMaskBoxes(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QWidget(parent), m_state(state), m_prompts(prompts)
{
    setObjectName(QStringLiteral("panelMasks"));
    auto *masks = new QGridLayout(this);
    masks->setContentsMargins(0, 0, 0, 0);
    masks->setHorizontalSpacing(12);
    const QString captions[4] = {QStringLiteral("Журнал"), QStringLiteral("Авто/GPRS"), QStringLiteral("Тревожный режим"),
                                 QStringLiteral("Информационный")};
    for (int k = 0; k < 4; ++k) {
        m_chkMask[k] = new QCheckBox(captions[k], this);
        m_chkMask[k]->setObjectName(QStringLiteral("chkMask_%1").arg(k));
        connect(m_chkMask[k], &QCheckBox::toggled, this, [this, k] { chkMask_Click(k); });
        masks->addWidget(m_chkMask[k], k / 2, k % 2);
    }
}

void EventMaskBoxes::fill(int event)
{
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_event = event;
    const bool masksExist = EventMasks::hasMaskBits(event);
    for (int k = 0; k < 4; ++k) {
        m_chkMask[k]->setEnabled(masksExist);
        m_chkMask[k]->setChecked(EventMasks::maskBit(m_state.CurrentImage, k, event));
    }
    m_selectionChanging = was;
}

void EventMaskBoxes::clear()
{
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_event = -1;
    for (auto *box : m_chkMask)
        box->setChecked(false);
    m_selectionChanging = was;
}

void EventMaskBoxes::store()
{
    if (!EventMasks::hasMaskBits(m_event))
        return;
    std::array<bool, 4> flags{};
    for (int k = 0; k < 4; ++k) {
        flags[k] = m_chkMask[k]->isChecked();
        EventMasks::setMaskBit(m_state.CurrentImage, k, m_event, flags[k]);
    }
    emit masksStored(flags);
}

void EventMaskBoxes::chkMask_Click(int index)
{
    if (m_selectionChanging || m_event < 0)
        return;
    m_maskUpdating = true;
    // The journal flag is on whenever any other flag is on.
    if (index != 0 && m_chkMask[index]->isChecked())
        m_chkMask[0]->setChecked(true);
    if (index == 0 && (m_chkMask[1]->isChecked() || m_chkMask[2]->isChecked() || m_chkMask[3]->isChecked()))
        m_chkMask[0]->setChecked(true);
    store();
    m_maskUpdating = false;
}
