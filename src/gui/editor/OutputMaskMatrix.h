#pragma once

#include "core/app/AppState.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QRadioButton;

// The device output masks of one event (frame `Frame1`): 9 named rows, columns Auto/GPRS, Alarm/info
// and Info. Box row r (1..8) is bit r - 1 of its column's byte; row 0 has no bit and stays grey.
// The device type only relabels the rows.
class OutputMaskMatrix : public QGroupBox
{
    Q_OBJECT

public:
    OutputMaskMatrix(AppState &state, QWidget *parent = nullptr);

    // Shows the event's three output bytes; clicks then write to that event.
    void fill(int event);
    // Unchecks rows 1..8 and forgets the event: clicks write nothing.
    void clear();
    // Rebuilds the event's three bytes from the boxes.
    void store();
    // While the window changes the selection, clicks write nothing.
    void setSelectionChanging(bool on) { m_selectionChanging = on; }

    void chkAuto_Click(int index);
    void chkAlarm_Click(int index);
    void chkInfo_Click(int index);
    void optTypeDevice_Click(int index);

private:
    enum Column { Auto = 0, Alarm = 1, Info = 2 };

    void buildRows();
    // Writes one box into its byte; false while the panel fills or no event is shown.
    bool storeBox(Column column, int index);

    AppState &m_state;
    int m_event = -1;
    bool m_selectionChanging = false;
    QLabel *m_lblMaskName[9] = {};
    QCheckBox *m_boxes[3][9] = {}; // chkAuto, chkAlarm, chkInfo
    QRadioButton *m_optTypeDevice[2] = {};
};
