#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QWidget>
#include <array>

class QCheckBox;

// The four event-mask flags of one event (`chkMask`: journal, auto/GPRS, alarm, info).
// A click writes the event's bits at once; the journal flag is on whenever another flag is.
class EventMaskBoxes : public QWidget
{
    Q_OBJECT

public:
    EventMaskBoxes(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);

    // Shows the event's four bits; the boxes are enabled only for events that have mask bits.
    void fill(int event);
    // Unchecks the boxes and forgets the event: clicks write nothing.
    void clear();
    // Writes the four boxes into the event's bits and reports them through masksStored.
    void store();
    // While the window changes the selection, clicks write nothing.
    void setSelectionChanging(bool on) { m_selectionChanging = on; }
    // MaskUpdating: true while a click is being processed; the grid ignores selection changes meanwhile.
    bool isUpdating() const { return m_maskUpdating; }

    void chkMask_Click(int index);

signals:
    // The flags just written, for the grid's flag cells of the shown event.
    void masksStored(const std::array<bool, 4> &flags);

private:
    AppState &m_state;
    UserPrompts &m_prompts;
    int m_event = -1;
    bool m_selectionChanging = false;
    bool m_maskUpdating = false;
    QCheckBox *m_chkMask[4] = {};
};
