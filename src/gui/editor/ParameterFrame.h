#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QFrame>
#include <QString>

class EventMaskBoxes;
class OutputMaskMatrix;
class ParameterPanel;

// The right-hand frame `fraParameters`: the parameter panel of the shown event, its event-mask
// boxes and its device output-mask matrix, filled and stored together.
class ParameterFrame : public QFrame
{
    Q_OBJECT

public:
    ParameterFrame(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);

    ParameterPanel *panel() const { return m_panel; }
    EventMaskBoxes *masks() const { return m_masks; }

    // Shows the event whose first table entry is entry; returns the summary line of its parameter bytes.
    QString fill(int entry, int event);
    // Shows no event: clicks then write nothing.
    void clear();
    // "Сохранить" (SaveChild): the shown values, then the event's output masks and event masks.
    // False when no event is shown.
    bool store();
    // While the window changes the selection, clicks and leaving boxes change nothing.
    void setSelectionChanging(bool on);

private:
    AppState &m_state;
    int m_event = -1;
    ParameterPanel *m_panel = nullptr;
    EventMaskBoxes *m_masks = nullptr;
    OutputMaskMatrix *m_matrix = nullptr;
};
