#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"
#include "core/editor/PanelPlan.h"

#include <QVector>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The parameter panel of one event: value boxes `txtParam` with labels `lblTxtParam`, check boxes `chkParam`
// with labels `lblCHKParam`, one row per parameter in table order, and the button `cmdSave`.
// A value box is validated and stored as the focus leaves it; while it holds an invalid text the
// focus stays there and clicks elsewhere in the window are not taken.
class ParameterPanel : public QWidget
{
    Q_OBJECT

public:
    ParameterPanel(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);
    ~ParameterPanel() override;

    // Shows only the plan's parameters, laid out and filled ("STRING" boxes keep their text).
    void showPlan(const PanelPlan &plan);
    // Hides every slot and forgets which entries they showed.
    void clear();
    // The values share of "Сохранить": stores every shown value; one message names all invalid boxes.
    void storeShownValues();

    // True when the box text of value slot k is invalid (the message has been shown).
    bool ParamValidate(int k);
    // Validate event of a value box: true cancels leaving it.
    bool txtParam_Validate(int k);
    void chkParam_Click(int index);

    // Focus check of "Сохранить" and of the close request: validates the focused value box; true cancels.
    bool focusCheckCancels();
    // True while a value box has the keyboard focus.
    bool isEditing() const { return focusedValueSlot() >= 0; }

    // While the window changes the selection, clicks and leaving boxes change nothing.
    void setSelectionChanging(bool on) { m_selectionChanging = on; }
    // The window is closing: leaving a box is no longer an edit.
    void setClosing() { m_closing = true; }

    const QVector<int> &TextMap() const { return m_textMap; }
    const QVector<int> &CheckMap() const { return m_checkMap; }

signals:
    // cmdSave: the window stores the values and the event's masks (SaveChild).
    void saveRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ensureTextSlots(int count);
    void ensureCheckSlots(int count);
    int focusedValueSlot() const;
    void focusLeft(int k, QEvent *event);
    bool clickElsewhereWhileInvalid(QObject *watched) const;

    AppState &m_state;
    UserPrompts &m_prompts;
    QVector<int> m_textMap;  // value slot -> entry
    QVector<int> m_checkMap; // check slot -> entry
    int m_invalidSlot = -1;  // value box left with an invalid text: the focus is held there
    bool m_selectionChanging = false;
    bool m_validating = false;
    bool m_closing = false;

    QWidget *m_slots = nullptr; // panelParameters: the rows of the shown event
    QVector<QLineEdit *> m_txtParam;
    QVector<QLabel *> m_lblTxtParam;
    QVector<QCheckBox *> m_chkParam;
    QVector<QLabel *> m_lblCHKParam;
    QPushButton *m_cmdSave = nullptr;
};
