#pragma once

#include <QGroupBox>

class QButtonGroup;
class QRadioButton;
class QStackedLayout;

// The mode area fraLink: the options OptIndex_0..2 over the pages FraIndex_0..2, one page shown
// at a time. A click on an option is only reported; the window decides whether its page follows.
class ModeSwitch : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int Modes = 3;

    explicit ModeSwitch(QWidget *parent = nullptr);

    QGroupBox *page(int mode) const { return m_fraIndex[mode]; }
    // The checked option, -1 before any.
    int selectedMode() const;
    // Clicks the option as the operator would.
    void choose(int mode);
    void showPage(int mode);

signals:
    // A click on an option, the operator's or the program's.
    void modeClicked(int mode);
    // The checked option changed (sent as each option toggles, with the one checked).
    void selectedModeChanged(int mode);

private:
    QRadioButton *m_optIndex[Modes] = {};
    QGroupBox *m_fraIndex[Modes] = {};
    QButtonGroup *m_options = nullptr;
    QStackedLayout *m_pages = nullptr;
};
