#include "gui/editor/frmMain.h"
#include "gui/common/ScreenFit.h"

#include "core/editor/EventGrid.h"
#include "gui/editor/EditorMenus.h"
#include "gui/editor/EventGridModel.h"
#include "gui/editor/EventGridView.h"
#include "gui/editor/EventMaskBoxes.h"
#include "gui/editor/ParameterFrame.h"
#include "gui/editor/ParameterPanel.h"
#include "gui/editor/frmCommSetup.h"
#include "gui/editor/frmLoadFile.h"
#include "gui/linkwindow/LinkWindowLauncher.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace {
// Layout measures are given in twips; 15 twips make one pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }
} // namespace

frmMain::frmMain(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(m_state.caption().isEmpty() ? QStringLiteral("Настройки терминала") : m_state.caption());
    m_state.onCaptionChanged = [this](const QString &caption) { setWindowTitle(caption); };
    showCommSetup = [this] { frmCommSetup(m_state.serial, this, nullptr, &m_prompts).exec(); };
    showLoadFile = [this] { frmLoadFile(m_state, m_prompts, [this] { UpdateControls(); }, this).exec(); };
    showLinkWindow = [this] { openLinkWindow(this, m_state, m_prompts); };
    m_menus = std::make_unique<EditorMenus>(*this, m_state, m_prompts);

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 6, 8, 8);
    outer->setSpacing(6);
    auto *top = new QHBoxLayout;
    top->setSpacing(px(600) - px(200));
    top->addLayout(buildGridSide(central), 1);
    m_fraParameters = new ParameterFrame(m_state, m_prompts, central);
    top->addWidget(m_fraParameters, 0);
    outer->addLayout(top, 1);
    outer->addLayout(buildBottomStrip(central));
    setCentralWidget(central);

    connect(m_fraParameters->panel(), &ParameterPanel::saveRequested, this, &frmMain::SaveChild);
    connect(m_fraParameters->masks(), &EventMaskBoxes::masksStored, this, &frmMain::showStoredMasks);
    connect(m_cmbFilter, &QComboBox::currentIndexChanged, this, [this] { cmbFilter_Click(); });
    connect(m_flexmain->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { flexmain_SelChange(); });

    Form_Load();

    resize(ScreenFit::initialSize(this, QSize(1200, 760)));
}

frmMain::~frmMain()
{
    m_state.onCaptionChanged = nullptr;
    // Boxes losing the focus while the window is torn down are no edits.
    m_fraParameters->panel()->setClosing();
}

QLayout *frmMain::buildGridSide(QWidget *central)
{
    auto *left = new QVBoxLayout;
    left->setSpacing(6);
    auto *filterRow = new QHBoxLayout;
    auto *lblFilter = new QLabel(QStringLiteral("Фильтр"), central);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    m_cmbFilter = new QComboBox(central);
    m_cmbFilter->setObjectName(QStringLiteral("cmbFilter"));
    m_cmbFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_cmbFilter->setMinimumContentsLength(16);
    lblFilter->setBuddy(m_cmbFilter);
    filterRow->addWidget(lblFilter);
    filterRow->addWidget(m_cmbFilter);
    filterRow->addStretch(1);
    left->addLayout(filterRow);

    m_model = new EventGridModel(this);
    m_flexmain = new EventGridView(m_model, central);
    left->addWidget(m_flexmain, 3);
    // The window keeps the mark of visible entries as the picture of a hidden image control.
    m_imgMark = new QLabel(central);
    m_imgMark->setObjectName(QStringLiteral("imgMark"));
    m_imgMark->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(12, 12));
    m_imgMark->hide();
    m_model->setMark(QIcon(m_imgMark->pixmap()), m_state.ServiceMode);

    m_txtHelp = new QPlainTextEdit(central);
    m_txtHelp->setObjectName(QStringLiteral("txtHelp"));
    m_txtHelp->setReadOnly(true);
    m_txtHelp->setTabChangesFocus(true);
    m_txtHelp->setMinimumHeight(m_txtHelp->fontMetrics().height() * 2 + 12);
    m_txtHelp->installEventFilter(this);
    left->addWidget(m_txtHelp, 1);
    return left;
}

QLayout *frmMain::buildBottomStrip(QWidget *central)
{
    // Summary line two thirds, description one third.
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    m_txtInfo = new QLineEdit(central);
    m_txtInfo->setObjectName(QStringLiteral("txtInfo"));
    m_txtInfo->setReadOnly(true);
    m_txtFileDescription = new QLineEdit(central);
    m_txtFileDescription->setObjectName(QStringLiteral("txtFileDescription"));
    bottom->addWidget(m_txtInfo, 2);
    bottom->addWidget(m_txtFileDescription, 1);
    return bottom;
}

void frmMain::Form_Load()
{
    m_txtFileDescription->setEnabled(m_state.ServiceMode);
    m_flexmain->setColumnHidden(EventGridModel::ColMark, !m_state.ServiceMode);
    fillFilter();
    cmbFilter_Click();
}

void frmMain::fillFilter()
{
    const QSignalBlocker block(m_cmbFilter);
    m_cmbFilter->clear();
    m_cmbFilter->addItems(EventGrid::filterItems(m_state.table));
    m_cmbFilter->setCurrentIndex(0);
}

bool frmMain::notinlist(const QString &text) const
{
    QStringList items;
    for (int i = 0; i < m_cmbFilter->count(); ++i)
        items << m_cmbFilter->itemText(i);
    return EventGrid::notinlist(items, text);
}

void frmMain::cmbFilter_Click()
{
    UpdateControls();
}

void frmMain::UpdateControls()
{
    m_txtFileDescription->setText(m_state.CurrentImage.Description);
    const bool filterActive = m_cmbFilter->currentIndex() > 0;
    m_model->setRows(EventGrid::buildRows(m_state.table, m_state.CurrentImage, filterActive,
                                          m_cmbFilter->currentText().toUpper()));
    m_flexmain->updateMinimumWidth(m_state.ServiceMode);
    if (m_model->rowCount() > 0) {
        // The rebuilt grid has no current row: selecting the first raises flexmain_SelChange.
        m_flexmain->setCurrentRow(0);
        return;
    }
    // No row is left to show: the parts must not keep entries of a table no longer in use.
    clearParts();
}

void frmMain::UpdateData()
{
    m_state.CurrentImage.Description = m_txtFileDescription->text().trimmed();
}

void frmMain::flexmain_SelChange()
{
    const int row = m_flexmain->currentRow() + 1;
    if (row <= 0 || m_fraParameters->masks()->isUpdating())
        return;
    m_fraParameters->setSelectionChanging(true);
    // Values are validated and stored as the focus leaves each box, so the new event is shown at once.
    // The first selection since start is shown by the first layout pass.
    const bool first = m_currentRow == 0;
    m_currentRow = row;
    if (!first)
        FillChild();
    m_fraParameters->setSelectionChanging(false);
}

bool frmMain::txtHelp_KeyDown(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down;
}

void frmMain::ResizeControls()
{
    if (m_resizing)
        return;
    m_resizing = true;
    const int row = m_flexmain->currentRow();
    m_flexmain->applyColumnWidths(m_state.ServiceMode);
    // Refilling the panel while a value box is being edited would drop the typed text.
    if (!m_fraParameters->panel()->isEditing()) {
        m_flexmain->setCurrentRow(row);
        flexmain_SelChange();
        m_flexmain->setFocus();
    }
    m_resizing = false;
}

void frmMain::FillChild()
{
    const int row = m_flexmain->currentRow();
    const int entry = m_model->entry(row);
    if (entry < 0 || entry >= m_state.table.EntryCount()) {
        clearParts();
        return;
    }
    m_currentEvent = m_model->eventNo(row);
    m_txtHelp->setPlainText(m_state.table.TableEntries[entry].HelpText);
    m_txtInfo->setText(m_fraParameters->fill(entry, m_currentEvent));
}

void frmMain::clearParts()
{
    m_txtInfo->clear();
    m_fraParameters->clear();
    m_currentEvent = -1;
}

void frmMain::SaveChild()
{
    if (m_fraParameters->store())
        m_flexmain->selectRow(m_currentRow - 1);
}

void frmMain::showStoredMasks(const std::array<bool, 4> &flags)
{
    m_model->setFlags(m_currentRow - 1, flags);
}

const QVector<int> &frmMain::TextMap() const { return m_fraParameters->panel()->TextMap(); }

const QVector<int> &frmMain::CheckMap() const { return m_fraParameters->panel()->CheckMap(); }

bool frmMain::leaveProgram()
{
    UpdateData();
    if (shutDown && !shutDown())
        return false;
    m_closing = true;
    m_fraParameters->panel()->setClosing();
    return true;
}

bool frmMain::Form_QueryUnload()
{
    if (m_closing)
        return true;
    if (m_fraParameters->panel()->focusCheckCancels())
        return false;
    return leaveProgram();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->setAccepted(Form_QueryUnload());
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    ResizeControls();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtHelp && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // Tab leaves the help text like any other control; no other key edits it.
        const bool leaves = key == Qt::Key_Tab || key == Qt::Key_Backtab;
        if (!leaves && !txtHelp_KeyDown(key))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
