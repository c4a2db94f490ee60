#include "gui/editor/ParameterFrame.h"

#include "core/editor/PanelPlan.h"
#include "gui/editor/EventMaskBoxes.h"
#include "gui/editor/OutputMaskMatrix.h"
#include "gui/editor/ParameterPanel.h"

#include <QVBoxLayout>

ParameterFrame::ParameterFrame(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QFrame(parent), m_state(state)
{
    setObjectName(QStringLiteral("fraParameters"));
    setFrameShape(QFrame::StyledPanel);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(6);
    m_panel = new ParameterPanel(state, prompts, this);
    v->addWidget(m_panel, 1);
    m_masks = new EventMaskBoxes(state, prompts, this);
    v->addWidget(m_masks);
    m_matrix = new OutputMaskMatrix(state, this);
    v->addWidget(m_matrix);
    // The frame keeps its width when the window changes; the grid takes the rest.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFixedWidth(qMax(v->minimumSize().width(), m_matrix->sizeHint().width() + 12));
}

QString ParameterFrame::fill(int entry, int event)
{
    m_event = event;
    m_masks->fill(event);
    m_matrix->fill(event);
    const PanelPlan plan = PanelPlan::build(m_state.table, entry, event, m_state.CurrentImage);
    m_panel->showPlan(plan);
    return plan.summary;
}

void ParameterFrame::clear()
{
    m_event = -1;
    m_panel->clear();
    m_masks->clear();
    m_matrix->clear();
}

bool ParameterFrame::store()
{
    m_panel->storeShownValues();
    if (m_event < 0)
        return false;
    m_matrix->store();
    m_masks->store();
    return true;
}

void ParameterFrame::setSelectionChanging(bool on)
{
    m_panel->setSelectionChanging(on);
    m_masks->setSelectionChanging(on);
    m_matrix->setSelectionChanging(on);
}
