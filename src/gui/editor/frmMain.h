#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QMainWindow>
#include <QVector>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTableWidget;
class QWidget;

// The settings editor: event grid, parameter panel, event and output masks, menus.
// The window owns the controls and forwards their events; the rules live in the core.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    frmMain(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);
    ~frmMain() override;

    // Replaceable so that tests never wait on a modal window.
    std::function<void()> shutDown;       // save offer, Default.ini, database; set by the program
    std::function<void()> showCommSetup;  // frmCommSetup, modal
    std::function<void()> showLoadFile;   // frmLoadFile, modal
    std::function<void()> showLinkWindow; // the link window, modal

    void UpdateControls();
    void UpdateData();
    bool notinlist(const QString &text) const;
    void ResizeControls();

    void FillChild();
    void SaveChild();
    bool ValidateStoreControls();
    // True when the box text of value slot k is invalid (the message has been shown).
    bool ParamValidate(int k);
    // Validate event of a value box: true cancels leaving it.
    bool txtParam_Validate(int k);

    void cmbFilter_Click();
    void flexmain_SelChange();
    void flexmain_Click() {}
    // Key filters of the help box: true lets the key through.
    static bool txtHelp_KeyDown(int key);
    static bool txtHelp_KeyPress() { return false; }

    void chkMask_Click(int index);
    void chkAuto_Click(int index);
    void chkAlarm_Click(int index);
    void chkInfo_Click(int index);
    void chkParam_Click(int index);
    void optTypeDevice_Click(int index);
    void cmdSave_Click() { SaveChild(); }

    void mnuLoad_Click();
    void mnu_Export_Click();
    void mnuPrint_Click();
    void mnuExit_Click();
    void mnu_ChngTable_Click();
    void mnuCom_Click();
    void mnu_GPSLINK_Click();
    void mnuClear_Click();
    void mnu_about_Click();
    void mnu_HelpM_Click();
    // Close request: false keeps the window open.
    bool Form_QueryUnload();

    int CurrentRow() const { return m_currentRow; }
    int CurrentEvent() const { return m_currentEvent; }
    const QVector<int> &TextMap() const { return m_textMap; }
    const QVector<int> &CheckMap() const { return m_checkMap; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void buildMenus();
    QWidget *buildParameterFrame();
    void fillFilter();
    void ensureTextSlots(int count);
    void ensureCheckSlots(int count);
    void setFlagCell(int gridRow, int k, bool set, bool changedByBox);
    int focusedValueSlot() const;
    int flagColumnWidth() const;
    void updateGridMinimumWidth();
    bool focusCheckCancels();
    // Hides every parameter slot and forgets which entries they showed.
    void clearPanel();
    // Writes the four event-mask boxes into the image and the grid's flag cells.
    void storeEventMasks();
    // Writes one output-mask box into its byte; false while the panel fills or no event is shown.
    bool storeOutputBox(int column, int index, const QCheckBox *box);
    void runModal(const std::function<void()> &hook);

    AppState &m_state;
    UserPrompts &m_prompts;

    // Window state of the grid.
    int m_currentRow = 0; // 1-based grid row the panel shows; 0 = none yet
    bool m_selectionChanging = false;
    bool m_maskUpdating = false;
    // Panel state.
    int m_currentEntry = -1;
    int m_currentEvent = -1;
    QVector<int> m_textMap;
    QVector<int> m_checkMap;
    int m_invalidSlot = -1; // value box left with an invalid text: the focus is held there
    bool m_validating = false;
    bool m_resizing = false;
    bool m_closing = false;

    QComboBox *m_cmbFilter = nullptr;
    QTableWidget *m_flexmain = nullptr;
    QPlainTextEdit *m_txtHelp = nullptr;
    QLineEdit *m_txtInfo = nullptr;
    QLineEdit *m_txtFileDescription = nullptr;
    QLabel *m_imgMark = nullptr;
    QFrame *m_fraParameters = nullptr;
    QScrollArea *m_panelScroll = nullptr;
    QWidget *m_panel = nullptr;
    QVector<QLineEdit *> m_txtParam;
    QVector<QLabel *> m_lblTxtParam;
    QVector<QCheckBox *> m_chkParam;
    QVector<QLabel *> m_lblCHKParam;
    QPushButton *m_cmdSave = nullptr;
    QCheckBox *m_chkMask[4] = {};
    QGroupBox *m_frame1 = nullptr;
    QLabel *m_lblMaskName[9] = {};
    QCheckBox *m_chkAuto[9] = {};
    QCheckBox *m_chkAlarm[9] = {};
    QCheckBox *m_chkInfo[9] = {};
    QRadioButton *m_optTypeDevice[2] = {};
};
