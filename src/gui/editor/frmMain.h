#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QMainWindow>
#include <QVector>
#include <array>
#include <functional>
#include <memory>

class EditorMenus;
class EventGridModel;
class EventGridView;
class ParameterFrame;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;

// The settings editor window: the event grid on the left, the parameter panel, event masks and
// output masks on the right, menus on top. It ties its parts together; the rules live in the core.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    frmMain(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);
    ~frmMain() override;

    // Replaceable so that tests never wait on a modal window.
    // Save offer, Default.ini, database; set by the program. False keeps the program running.
    std::function<bool()> shutDown;
    std::function<void()> showCommSetup;  // frmCommSetup, modal
    std::function<void()> showLoadFile;   // frmLoadFile, modal
    std::function<void()> showLinkWindow; // the link window, modal

    // Copies the description box into the image.
    void UpdateData();
    bool notinlist(const QString &text) const;
    // Key filter of the help box: true lets the key through.
    static bool txtHelp_KeyDown(int key);

    int CurrentRow() const { return m_currentRow; }
    int CurrentEvent() const { return m_currentEvent; }
    const QVector<int> &TextMap() const;
    const QVector<int> &CheckMap() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class EditorMenus;

    QLayout *buildGridSide(QWidget *central);
    QLayout *buildBottomStrip(QWidget *central);
    void Form_Load();
    void fillFilter();
    void cmbFilter_Click();
    void UpdateControls();
    void ResizeControls();
    void flexmain_SelChange();
    void FillChild();
    // Empties the panel, the mask boxes and the summary line: no event is shown.
    void clearParts();
    void SaveChild();
    void showStoredMasks(const std::array<bool, 4> &flags);
    // Close request: false keeps the window open.
    bool Form_QueryUnload();
    // UpdateData and the shut-down; afterwards the window closes without questions.
    // False when the shut-down did not go through: the window stays.
    bool leaveProgram();

    AppState &m_state;
    UserPrompts &m_prompts;

    int m_currentRow = 0; // 1-based grid row the panel shows; 0 = none yet
    int m_currentEvent = -1;
    bool m_resizing = false;
    bool m_closing = false;

    QComboBox *m_cmbFilter = nullptr;
    EventGridModel *m_model = nullptr;
    EventGridView *m_flexmain = nullptr;
    QPlainTextEdit *m_txtHelp = nullptr;
    QLineEdit *m_txtInfo = nullptr;
    QLineEdit *m_txtFileDescription = nullptr;
    QLabel *m_imgMark = nullptr;
    ParameterFrame *m_fraParameters = nullptr;
    std::unique_ptr<EditorMenus> m_menus;
};
