#include "gui/editor/frmMain.h"

#include "core/editor/EventGrid.h"
#include "core/editor/PanelPlan.h"
#include "core/editor/TableChange.h"
#include "gui/editor/frmCommSetup.h"
#include "gui/editor/frmLoadFile.h"
#include "gui/linkwindow/LinkWindowLauncher.h"
#include "core/settings/EventMasks.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/ValueTypes.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Layout measures of the window are given in twips; 15 twips make one pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }

constexpr int kColEvent = 1;
constexpr int kColFirstFlag = 2;
constexpr int kColEntry = 6;
constexpr int kColEventNo = 7;

const char *const kCaptionsKVR6r[10] = {
    "Маска вывода устройства KVR6r", "Мест-е, дата, время", "Статус терминала", "Высота над уровнем моря",
    "Значения скоростей", "Пробег", "Расход топл., моточасы", "АЦП", "Сухие конт., реле", "Параметры сост."};
const char *const kCaptionsKVR6CAN[10] = {
    "Маска вывода устройства KVR6CAN", "Мест-е, дата, время, статус", "Навигационные пар-ры", "Топливо, моточасы",
    "Доп. параметры CAN", "АЦП", "Сухие конт., реле", "Параметры состояния", "Нагрузка на оси", "Резерв"};

QString indexed(const char *name, int i) { return QLatin1String(name) + QLatin1Char('_') + QString::number(i); }
} // namespace

frmMain::frmMain(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(m_state.caption().isEmpty() ? QStringLiteral("Настройки терминала") : m_state.caption());
    m_state.onCaptionChanged = [this](const QString &caption) { setWindowTitle(caption); };

    showCommSetup = [this] {
        frmCommSetup dialog(m_state.serial, this);
        dialog.exec();
    };
    showLoadFile = [this] {
        frmLoadFile dialog(m_state, m_prompts, [this] { UpdateControls(); }, this);
        dialog.exec();
    };
    showLinkWindow = [this] { openLinkWindow(this, m_state, m_prompts); };

    buildMenus();

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 6, 8, 8);
    outer->setSpacing(6);

    auto *top = new QHBoxLayout;
    top->setSpacing(px(600) - px(200));
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

    m_flexmain = new QTableWidget(central);
    m_flexmain->setObjectName(QStringLiteral("flexmain"));
    m_flexmain->setColumnCount(8);
    m_flexmain->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_flexmain->setSelectionMode(QAbstractItemView::SingleSelection);
    m_flexmain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flexmain->verticalHeader()->hide();
    m_flexmain->verticalHeader()->setDefaultSectionSize(m_flexmain->fontMetrics().height() + 6);
    m_flexmain->setWordWrap(false);
    m_flexmain->horizontalHeader()->setHighlightSections(false);
    m_flexmain->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_flexmain->horizontalHeader()->setSectionResizeMode(kColEvent, QHeaderView::Stretch);
    m_flexmain->setColumnHidden(kColEntry, true);
    m_flexmain->setColumnHidden(kColEventNo, true);
    m_flexmain->setMinimumSize(360, 160);
    left->addWidget(m_flexmain, 3);

    m_txtHelp = new QPlainTextEdit(central);
    m_txtHelp->setObjectName(QStringLiteral("txtHelp"));
    m_txtHelp->setReadOnly(true);
    m_txtHelp->setMinimumHeight(m_txtHelp->fontMetrics().height() * 2 + 12);
    left->addWidget(m_txtHelp, 1);
    top->addLayout(left, 1);

    top->addWidget(buildParameterFrame(), 0);
    outer->addLayout(top, 1);

    // Bottom strip: summary line two thirds, description one third.
    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(0);
    m_txtInfo = new QLineEdit(central);
    m_txtInfo->setObjectName(QStringLiteral("txtInfo"));
    m_txtInfo->setReadOnly(true);
    m_txtFileDescription = new QLineEdit(central);
    m_txtFileDescription->setObjectName(QStringLiteral("txtFileDescription"));
    bottom->addWidget(m_txtInfo, 2);
    bottom->addWidget(m_txtFileDescription, 1);
    outer->addLayout(bottom);

    m_imgMark = new QLabel(central);
    m_imgMark->setObjectName(QStringLiteral("imgMark"));
    m_imgMark->setPixmap(style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(12, 12));
    m_imgMark->hide();

    setCentralWidget(central);

    connect(m_cmbFilter, &QComboBox::currentIndexChanged, this, [this] { cmbFilter_Click(); });
    connect(m_flexmain, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (row != previousRow)
            flexmain_SelChange();
    });
    connect(m_flexmain, &QTableWidget::cellClicked, this, [this] { flexmain_Click(); });

    qApp->installEventFilter(this);

    Form_Load();

    const QSize minimum = minimumSizeHint();
    QSize size(qMax(minimum.width(), 1200), qMax(minimum.height(), 760));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size()).expandedTo(minimum);
    resize(size);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    m_state.onCaptionChanged = nullptr;
}

void frmMain::buildMenus()
{
    auto add = [this](QMenu *menu, const char *name, const QString &caption, void (frmMain::*slot)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        if (slot)
            connect(a, &QAction::triggered, this, slot);
        return a;
    };
    auto separator = [](QMenu *menu, const char *name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };

    QMenu *file = menuBar()->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, "mnuLoad", QStringLiteral("Загрузить"), &frmMain::mnuLoad_Click);
    add(file, "mnu_Export", QStringLiteral("Сохранить"), &frmMain::mnu_Export_Click);
    separator(file, "mnu_temp3");
    separator(file, "mnuTempP");
    add(file, "mnuPrint", QStringLiteral("Печать"), &frmMain::mnuPrint_Click);
    separator(file, "mnuTemop");
    add(file, "mnuExit", QStringLiteral("Выход"), &frmMain::mnuExit_Click);

    QMenu *service = menuBar()->addMenu(QStringLiteral("Сервис"));
    service->setObjectName(QStringLiteral("mnuService"));
    add(service, "mnu_ChngTable", QStringLiteral("Сменить управляющую таблицу"), &frmMain::mnu_ChngTable_Click);
    add(service, "mnuCom", QStringLiteral("Настройки связи"), &frmMain::mnuCom_Click);
    add(service, "mnu_GPSLINK", QStringLiteral("Удаленная загрузка ПО"), &frmMain::mnu_GPSLINK_Click);
    separator(service, "mnuNull");
    add(service, "mnuClear", QStringLiteral("Очистить все данные"), &frmMain::mnuClear_Click);

    QMenu *help = menuBar()->addMenu(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("mnu_Help"));
    add(help, "mnu_about", QStringLiteral("About"), &frmMain::mnu_about_Click);
    add(help, "mnu_HelpM", QStringLiteral("Справка"), &frmMain::mnu_HelpM_Click);
}

QWidget *frmMain::buildParameterFrame()
{
    m_fraParameters = new QFrame(this);
    m_fraParameters->setObjectName(QStringLiteral("fraParameters"));
    m_fraParameters->setFrameShape(QFrame::StyledPanel);
    auto *v = new QVBoxLayout(m_fraParameters);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(6);

    // The parameter slots; an event with more parameters than fit scrolls.
    m_panelScroll = new QScrollArea(m_fraParameters);
    m_panelScroll->setObjectName(QStringLiteral("scrParameters"));
    m_panelScroll->setWidgetResizable(true);
    m_panelScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panelScroll->setFrameShape(QFrame::NoFrame);
    m_panelScroll->setMinimumHeight(140);
    m_panel = new QWidget;
    m_panel->setObjectName(QStringLiteral("panelParameters"));
    new QGridLayout(m_panel);
    m_panelScroll->setWidget(m_panel);
    v->addWidget(m_panelScroll, 1);
    ensureTextSlots(8);
    ensureCheckSlots(8);

    m_cmdSave = new QPushButton(QStringLiteral("Сохранить"), m_fraParameters);
    m_cmdSave->setObjectName(QStringLiteral("cmdSave"));
    connect(m_cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    auto *saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(m_cmdSave);
    v->addLayout(saveRow);

    auto *masks = new QGridLayout;
    masks->setHorizontalSpacing(12);
    const QString maskCaptions[4] = {QStringLiteral("Журнал"), QStringLiteral("Авто/GPRS"),
                                     QStringLiteral("Тревожный режим"), QStringLiteral("Информационный")};
    for (int k = 0; k < 4; ++k) {
        m_chkMask[k] = new QCheckBox(maskCaptions[k], m_fraParameters);
        m_chkMask[k]->setObjectName(indexed("chkMask", k));
        connect(m_chkMask[k], &QCheckBox::toggled, this, [this, k] { chkMask_Click(k); });
        masks->addWidget(m_chkMask[k], k / 2, k % 2);
    }
    v->addLayout(masks);

    m_frame1 = new QGroupBox(QStringLiteral("Маска вывода"), m_fraParameters);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto *g = new QGridLayout(m_frame1);
    g->setVerticalSpacing(2);
    g->setHorizontalSpacing(8);
    auto *types = new QHBoxLayout;
    const QString typeCaptions[2] = {QStringLiteral("KVR6r"), QStringLiteral("KVR6CAN")};
    for (int i = 0; i < 2; ++i) {
        m_optTypeDevice[i] = new QRadioButton(typeCaptions[i], m_frame1);
        m_optTypeDevice[i]->setObjectName(indexed("optTypeDevice", i));
        connect(m_optTypeDevice[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTypeDevice_Click(i);
        });
        types->addWidget(m_optTypeDevice[i]);
    }
    types->addStretch(1);
    g->addLayout(types, 0, 0, 1, 4);

    auto header = [&](const char *name, const QString &text, int column) {
        auto *l = new QLabel(text, m_frame1);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        g->addWidget(l, 1, column);
    };
    header("lblAvto", QStringLiteral("Авто/GPRS"), 1);
    header("lblAlarm", QStringLiteral("Тревога/Инфо"), 2);
    header("lblInfo", QStringLiteral("Инфо"), 3);

    // Row names switch with the device type: reserve the wider of the two sets.
    int nameWidth = 0;
    for (int r = 1; r < 10; ++r) {
        nameWidth = qMax(nameWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(kCaptionsKVR6r[r])));
        nameWidth = qMax(nameWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(kCaptionsKVR6CAN[r])));
    }
    for (int r = 0; r < 9; ++r) {
        m_lblMaskName[r] = new QLabel(m_frame1);
        m_lblMaskName[r]->setObjectName(indexed("lblMaskName", r));
        m_lblMaskName[r]->setMinimumWidth(nameWidth + 4);
        g->addWidget(m_lblMaskName[r], r + 2, 0);
        QCheckBox **columns[3] = {m_chkAuto, m_chkAlarm, m_chkInfo};
        const char *names[3] = {"chkAuto", "chkAlarm", "chkInfo"};
        for (int c = 0; c < 3; ++c) {
            auto *box = new QCheckBox(m_frame1);
            box->setObjectName(indexed(names[c], r));
            columns[c][r] = box;
            g->addWidget(box, r + 2, c + 1, Qt::AlignHCenter);
            if (r == 0) {
                // Row 0 has no bit: grey and not clickable.
                box->setTristate(true);
                box->setCheckState(Qt::PartiallyChecked);
                box->setEnabled(false);
            }
        }
        connect(m_chkAuto[r], &QCheckBox::toggled, this, [this, r] { chkAuto_Click(r); });
        connect(m_chkAlarm[r], &QCheckBox::toggled, this, [this, r] { chkAlarm_Click(r); });
        connect(m_chkInfo[r], &QCheckBox::toggled, this, [this, r] { chkInfo_Click(r); });
    }
    g->setColumnStretch(0, 1);
    v->addWidget(m_frame1);

    m_fraParameters->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_fraParameters->setFixedWidth(qMax(v->minimumSize().width(), m_frame1->sizeHint().width() + 12));
    return m_fraParameters;
}

void frmMain::ensureTextSlots(int count)
{
    while (m_txtParam.size() < count) {
        const int k = int(m_txtParam.size());
        auto *label = new QLabel(m_panel);
        label->setObjectName(indexed("lblTxtParam", k));
        label->setWordWrap(true);
        label->hide();
        auto *box = new QLineEdit(m_panel);
        box->setObjectName(indexed("txtParam", k));
        box->setFixedWidth(px(1500));
        box->hide();
        label->setBuddy(box);
        m_lblTxtParam.append(label);
        m_txtParam.append(box);
    }
}

void frmMain::ensureCheckSlots(int count)
{
    while (m_chkParam.size() < count) {
        const int c = int(m_chkParam.size());
        auto *label = new QLabel(m_panel);
        label->setObjectName(indexed("lblCHKParam", c));
        label->setWordWrap(true);
        label->hide();
        auto *box = new QCheckBox(m_panel);
        box->setObjectName(indexed("chkParam", c));
        box->hide();
        connect(box, &QCheckBox::toggled, this, [this, c] { chkParam_Click(c); });
        m_lblCHKParam.append(label);
        m_chkParam.append(box);
    }
}

// ---- Window start, grid and filter -------------------------------------------------------------

void frmMain::Form_Load()
{
    m_txtFileDescription->setEnabled(m_state.ServiceMode);
    m_flexmain->setColumnCount(8);
    m_flexmain->setRowCount(0);
    m_flexmain->setColumnHidden(0, !m_state.ServiceMode);
    fillFilter();
    cmbFilter_Click();
    m_optTypeDevice[0]->setChecked(true);
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

void frmMain::setFlagCell(int gridRow, int k, bool set, bool changedByBox)
{
    QTableWidgetItem *item = m_flexmain->item(gridRow, kColFirstFlag + k);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        m_flexmain->setItem(gridRow, kColFirstFlag + k, item);
    }
    item->setText(EventGrid::flagText(set, changedByBox));
}

void frmMain::UpdateControls()
{
    m_txtFileDescription->setText(m_state.CurrentImage.Description);
    const bool filterActive = m_cmbFilter->currentIndex() > 0;
    const QString filterText = m_cmbFilter->currentText().toUpper();
    const QVector<EventGrid::Row> rows =
        EventGrid::buildRows(m_state.table, m_state.CurrentImage, filterActive, filterText);
    {
        const QSignalBlocker block(m_flexmain);
        m_flexmain->setRowCount(0);
        m_flexmain->setRowCount(int(rows.size()));
        for (int r = 0; r < rows.size(); ++r) {
            const EventGrid::Row &row = rows[r];
            auto *mark = new QTableWidgetItem;
            if (m_state.ServiceMode && row.visible)
                mark->setIcon(QIcon(m_imgMark->pixmap()));
            m_flexmain->setItem(r, 0, mark);
            m_flexmain->setItem(r, kColEvent, new QTableWidgetItem(row.text));
            for (int k = 0; k < 4; ++k)
                setFlagCell(r, k, row.masks[k], false);
            m_flexmain->setItem(r, kColEntry, new QTableWidgetItem(QString::number(row.entry)));
            m_flexmain->setItem(r, kColEventNo, new QTableWidgetItem(QString::number(row.eventNo)));
        }
        if (!rows.isEmpty()) {
            m_flexmain->setCurrentCell(0, kColEvent);
            m_flexmain->selectRow(0);
        }
    }
    updateGridMinimumWidth();
    if (!rows.isEmpty()) {
        flexmain_SelChange();
    } else {
        // No row is left to show: the panel must not keep entries of a table no longer in use.
        const bool was = m_selectionChanging;
        m_selectionChanging = true;
        clearPanel();
        m_currentEvent = -1;
        m_currentEntry = -1;
        m_selectionChanging = was;
    }
}

void frmMain::UpdateData()
{
    m_state.CurrentImage.Description = m_txtFileDescription->text().trimmed();
}

void frmMain::flexmain_SelChange()
{
    const int row = m_flexmain->currentRow() + 1;
    if (row <= 0 || m_maskUpdating)
        return;
    m_selectionChanging = true;
    if (m_currentRow != 0) {
        if (ValidateStoreControls()) {
            m_currentRow = row;
            FillChild();
        }
    } else {
        // First selection since start: the first layout pass fills the panel.
        m_currentRow = row;
    }
    m_prompts.processEvents();
    m_selectionChanging = false;
}

bool frmMain::txtHelp_KeyDown(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down;
}

int frmMain::flagColumnWidth() const
{
    // At least the flag column width of the layout rules, and never narrower than its header.
    const QFontMetrics fm = m_flexmain->horizontalHeader()->fontMetrics();
    int width = px(600);
    for (const QString &h : {QStringLiteral("Журн."), QStringLiteral("Авт."), QStringLiteral("Трев."), QStringLiteral("Инфо")})
        width = qMax(width, fm.horizontalAdvance(h) + 16);
    return width;
}

void frmMain::updateGridMinimumWidth()
{
    // Shrinking the window must leave the event captions readable (long ones up to a limit).
    const QFontMetrics fm = m_flexmain->fontMetrics();
    int caption = 160;
    for (int r = 0; r < m_flexmain->rowCount(); ++r) {
        if (const QTableWidgetItem *item = m_flexmain->item(r, kColEvent))
            caption = qMax(caption, fm.horizontalAdvance(item->text()) + 16);
    }
    caption = qMin(caption, 420);
    const int mark = m_state.ServiceMode ? m_flexmain->columnWidth(0) : 0;
    const int scrollBar = m_flexmain->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    m_flexmain->setMinimumWidth(mark + caption + 4 * flagColumnWidth() + scrollBar + 2 * m_flexmain->frameWidth());
}

void frmMain::ResizeControls()
{
    if (m_resizing)
        return;
    m_resizing = true;
    const int row = m_flexmain->currentRow();

    m_flexmain->setColumnHidden(0, !m_state.ServiceMode);
    m_flexmain->setColumnWidth(0, qMax(px(200), 18));
    const QStringList headers = {QStringLiteral("F"),     QStringLiteral("Событие"), QStringLiteral("Журн."),
                                 QStringLiteral("Авт."),  QStringLiteral("Трев."),   QStringLiteral("Инфо"),
                                 QString(),               QString()};
    m_flexmain->setHorizontalHeaderLabels(headers);
    for (int k = 0; k < 4; ++k)
        m_flexmain->setColumnWidth(kColFirstFlag + k, flagColumnWidth());

    // Refilling the panel while a value box is being edited would drop the typed text.
    if (focusedValueSlot() < 0) {
        if (row >= 0) {
            const QSignalBlocker block(m_flexmain);
            m_flexmain->setCurrentCell(row, kColEvent);
        }
        flexmain_SelChange();
        m_flexmain->setFocus();
    }
    m_resizing = false;
}

// ---- Parameter panel ----------------------------------------------------------------------------

bool frmMain::ValidateStoreControls()
{
    // Each value box is checked and stored as the focus leaves it.
    return true;
}

void frmMain::clearPanel()
{
    for (int i = 0; i < m_txtParam.size(); ++i) {
        m_txtParam[i]->hide();
        m_lblTxtParam[i]->hide();
    }
    for (int i = 0; i < m_chkParam.size(); ++i) {
        m_chkParam[i]->hide();
        m_lblCHKParam[i]->hide();
    }
    m_textMap.clear();
    m_checkMap.clear();
}

void frmMain::FillChild()
{
    const bool was = m_selectionChanging;
    m_selectionChanging = true;
    m_invalidSlot = -1;

    m_txtInfo->clear();
    clearPanel();
    for (auto *box : m_chkMask)
        box->setChecked(false);
    for (int r = 1; r < 9; ++r) {
        m_chkAuto[r]->setChecked(false);
        m_chkAlarm[r]->setChecked(false);
        m_chkInfo[r]->setChecked(false);
    }

    const int row = m_flexmain->currentRow();
    const QTableWidgetItem *entryItem = row >= 0 ? m_flexmain->item(row, kColEntry) : nullptr;
    const QTableWidgetItem *eventItem = row >= 0 ? m_flexmain->item(row, kColEventNo) : nullptr;
    const int entry = entryItem ? entryItem->text().toInt() : -1;
    const int event = eventItem ? eventItem->text().toInt() : -1;
    if (entry < 0 || entry >= m_state.table.EntryCount()) {
        m_currentEntry = -1;
        m_currentEvent = -1;
        m_selectionChanging = was;
        return;
    }
    m_currentEntry = entry;
    m_currentEvent = event;

    m_txtHelp->setPlainText(m_state.table.TableEntries[entry].HelpText);
    const SettingsImage &image = m_state.CurrentImage;
    const bool masksExist = EventMasks::hasMaskBits(event);
    for (int k = 0; k < 4; ++k) {
        m_chkMask[k]->setEnabled(masksExist);
        m_chkMask[k]->setChecked(EventMasks::maskBit(image, k, event));
    }
    for (int r = 1; r < 9; ++r) {
        const quint8 bit = quint8(1u << (r - 1));
        m_chkAuto[r]->setChecked(EventMasks::outputByte(image, 0, event) & bit);
        m_chkAlarm[r]->setChecked(EventMasks::outputByte(image, 1, event) & bit);
        m_chkInfo[r]->setChecked(EventMasks::outputByte(image, 2, event) & bit);
    }

    const PanelPlan plan = PanelPlan::build(m_state.table, entry, event, image);
    ensureTextSlots(int(plan.textMap.size()));
    ensureCheckSlots(int(plan.checkMap.size()));
    m_textMap = plan.textMap;
    m_checkMap = plan.checkMap;

    // One row per parameter, in table order, label left and control right.
    delete m_panel->layout();
    auto *grid = new QGridLayout(m_panel);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setVerticalSpacing(px(60) + 2);
    grid->setColumnStretch(0, 1);
    for (int i = 0; i < plan.items.size(); ++i) {
        const PanelPlan::Item &item = plan.items[i];
        const TableEntry &e = m_state.table.TableEntries[item.entry];
        QLabel *label = nullptr;
        QWidget *control = nullptr;
        if (item.kind == PanelPlan::Item::Kind::Check) {
            label = m_lblCHKParam[item.slot];
            m_chkParam[item.slot]->setChecked(item.checked);
            control = m_chkParam[item.slot];
        } else {
            label = m_lblTxtParam[item.slot];
            if (item.hasValue)
                m_txtParam[item.slot]->setText(item.value);
            control = m_txtParam[item.slot];
        }
        label->setText(e.ParamCaption);
        grid->addWidget(label, i, 0);
        grid->addWidget(control, i, 1, Qt::AlignLeft | Qt::AlignVCenter);
        label->show();
        control->show();
    }
    grid->setRowStretch(int(plan.items.size()), 1);
    m_txtInfo->setText(plan.summary);
    m_selectionChanging = was;
}

bool frmMain::ParamValidate(int k)
{
    if (k < 0 || k >= m_textMap.size() || m_textMap[k] >= m_state.table.EntryCount())
        return false;
    const TableEntry &entry = m_state.table.TableEntries[m_textMap[k]];
    QString text = m_txtParam[k]->text();
    const bool invalid = ValueTypes::ParamValidate(text, entry, m_state.CurrentImage);
    if (text != m_txtParam[k]->text())
        m_txtParam[k]->setText(text);
    if (invalid)
        m_prompts.message(ValueTypes::invalidValueMessage(m_lblTxtParam[k]->text()));
    return invalid;
}

bool frmMain::txtParam_Validate(int k)
{
    const bool cancel = ParamValidate(k);
    m_invalidSlot = cancel ? k : -1;
    return cancel;
}

void frmMain::SaveChild()
{
    const int count = m_state.table.EntryCount();
    QString message;
    for (int i = 0; i < m_checkMap.size(); ++i) {
        if (m_checkMap[i] < count)
            ValueTypes::storeBit(m_state.table.TableEntries[m_checkMap[i]], m_chkParam[i]->isChecked(),
                                 m_state.CurrentImage);
    }
    for (int i = 0; i < m_textMap.size(); ++i) {
        if (m_textMap[i] >= count)
            continue;
        if (!ValueTypes::checkAndStore(m_txtParam[i]->text(), m_state.table.TableEntries[m_textMap[i]],
                                       m_state.CurrentImage))
            message += ValueTypes::invalidValueMessage(m_lblTxtParam[i]->text());
    }
    if (!message.isEmpty())
        m_prompts.message(message);

    const int e = m_currentEvent;
    if (e < 0)
        return;
    quint8 bytes[3] = {0, 0, 0};
    for (int r = 1; r < 9; ++r) {
        const quint8 bit = quint8(1u << (r - 1));
        if (m_chkAuto[r]->isChecked()) bytes[0] |= bit;
        if (m_chkAlarm[r]->isChecked()) bytes[1] |= bit;
        if (m_chkInfo[r]->isChecked()) bytes[2] |= bit;
    }
    for (int c = 0; c < 3; ++c)
        EventMasks::setOutputByte(m_state.CurrentImage, c, e, bytes[c]);
    storeEventMasks();
    const int gridRow = m_currentRow - 1;
    if (gridRow >= 0 && gridRow < m_flexmain->rowCount())
        m_flexmain->selectRow(gridRow);
}

void frmMain::storeEventMasks()
{
    if (!EventMasks::hasMaskBits(m_currentEvent))
        return;
    const int gridRow = m_currentRow - 1;
    for (int k = 0; k < 4; ++k) {
        EventMasks::setMaskBit(m_state.CurrentImage, k, m_currentEvent, m_chkMask[k]->isChecked());
        if (gridRow >= 0 && gridRow < m_flexmain->rowCount())
            setFlagCell(gridRow, k, m_chkMask[k]->isChecked(), true);
    }
}

// ---- Masks ---------------------------------------------------------------------------------------

void frmMain::chkMask_Click(int index)
{
    if (m_selectionChanging || m_currentEvent < 0)
        return;
    m_maskUpdating = true;
    // The journal flag is on whenever any other flag is on.
    if (index != 0 && m_chkMask[index]->isChecked())
        m_chkMask[0]->setChecked(true);
    if (index == 0 && (m_chkMask[1]->isChecked() || m_chkMask[2]->isChecked() || m_chkMask[3]->isChecked()))
        m_chkMask[0]->setChecked(true);
    storeEventMasks();
    m_prompts.processEvents();
    m_maskUpdating = false;
}

bool frmMain::storeOutputBox(int column, int index, const QCheckBox *box)
{
    if (m_selectionChanging || m_currentEvent < 0)
        return false;
    // Row r is bit r - 1; row 0 has no bit of its own and falls on bit 0.
    EventMasks::setOutputBit(m_state.CurrentImage, column, m_currentEvent, qMax(index - 1, 0), box->isChecked());
    return true;
}

void frmMain::chkAuto_Click(int index)
{
    storeOutputBox(0, index, m_chkAuto[index]);
}

void frmMain::chkInfo_Click(int index)
{
    storeOutputBox(2, index, m_chkInfo[index]);
}

void frmMain::chkAlarm_Click(int index)
{
    if (!storeOutputBox(1, index, m_chkAlarm[index]) || index != 5)
        return;
    // Alarm row 5 drives alarm row 6 and the Auto/GPRS bit of row 6 with it.
    m_chkAlarm[6]->setChecked(m_chkAlarm[5]->isChecked());
    EventMasks::setOutputBit(m_state.CurrentImage, 0, m_currentEvent, 5, m_chkAlarm[6]->isChecked());
}

void frmMain::chkParam_Click(int index)
{
    if (m_selectionChanging || index < 0 || index >= m_checkMap.size()
        || m_checkMap[index] >= m_state.table.EntryCount())
        return;
    ValueTypes::storeBit(m_state.table.TableEntries[m_checkMap[index]], m_chkParam[index]->isChecked(),
                         m_state.CurrentImage);
}

void frmMain::optTypeDevice_Click(int index)
{
    const char *const *captions = index == 0 ? kCaptionsKVR6r : kCaptionsKVR6CAN;
    m_frame1->setTitle(QString::fromUtf8(captions[0]));
    for (int r = 0; r < 9; ++r)
        m_lblMaskName[r]->setText(QString::fromUtf8(captions[r + 1]));
}

// ---- Menu commands and closing ------------------------------------------------------------------

int frmMain::focusedValueSlot() const
{
    const QWidget *focused = focusWidget();
    for (int k = 0; k < m_textMap.size(); ++k) {
        if (focused == m_txtParam[k] && !m_txtParam[k]->isHidden())
            return k;
    }
    return -1;
}

bool frmMain::focusCheckCancels()
{
    const int k = focusedValueSlot();
    return k >= 0 && txtParam_Validate(k);
}

void frmMain::runModal(const std::function<void()> &hook)
{
    if (hook)
        hook();
}

void frmMain::mnuLoad_Click()
{
    SettingsFiles(m_state, m_prompts).loadFromUser();
    UpdateControls();
}

void frmMain::mnu_Export_Click()
{
    if (focusCheckCancels())
        return;
    SettingsFiles(m_state, m_prompts).ExportDataFile();
}

void frmMain::mnuPrint_Click()
{
    EventReport::write(m_state.appPath(QStringLiteral("Report.xml")), m_state.table, m_state.CurrentImage);
}

void frmMain::mnuExit_Click()
{
    UpdateData();
    if (shutDown)
        shutDown();
    m_closing = true;
    close();
}

bool frmMain::Form_QueryUnload()
{
    if (m_closing)
        return true;
    if (focusCheckCancels())
        return false;
    UpdateData();
    if (shutDown)
        shutDown();
    m_closing = true;
    return true;
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}

void frmMain::mnu_ChngTable_Click()
{
    if (TableChange(m_state, m_prompts).run() != TableChange::Result::Accepted)
        return;
    // The groups of the old table would filter out every row of the new one.
    fillFilter();
    runModal(showLoadFile);
    // Rows must index the new table however the dialog was left.
    UpdateControls();
}

void frmMain::mnuCom_Click() { runModal(showCommSetup); }

void frmMain::mnu_GPSLINK_Click() { runModal(showLinkWindow); }

void frmMain::mnuClear_Click()
{
    if (m_prompts.message(QStringLiteral("Все данные будут обнулены, продолить"), QStringLiteral("Предупреждение"),
                          UserPrompts::Icon::Warning, UserPrompts::Buttons::YesNo)
        == UserPrompts::Answer::Yes)
        SettingsFiles(m_state, m_prompts).clearImage();
    UpdateControls();
}

void frmMain::mnu_about_Click() { m_prompts.openDocument(m_state.appPath(QStringLiteral("about.chm"))); }

void frmMain::mnu_HelpM_Click() { m_prompts.openDocument(m_state.appPath(QStringLiteral("help.chm"))); }

// ---- Events ----------------------------------------------------------------------------------------

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    ResizeControls();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusOut: {
        const int k = int(m_txtParam.indexOf(qobject_cast<QLineEdit *>(watched)));
        if (k < 0)
            break;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // Switching windows or opening a menu is not leaving the box.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            break;
        if (m_selectionChanging || m_validating || m_closing || k >= m_textMap.size() || m_txtParam[k]->isHidden())
            break;
        m_validating = true;
        if (txtParam_Validate(k))
            m_txtParam[k]->setFocus();
        m_validating = false;
        break;
    }
    case QEvent::KeyPress:
        if (watched == m_txtHelp && !txtHelp_KeyDown(static_cast<QKeyEvent *>(event)->key()))
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // While a value box holds an invalid text, the focus stays there: other controls take no clicks.
        if (m_invalidSlot < 0 || m_invalidSlot >= m_txtParam.size())
            break;
        auto *w = qobject_cast<QWidget *>(watched);
        QLineEdit *box = m_txtParam[m_invalidSlot];
        if (!w || w->window() != this || w == box || box->isAncestorOf(w))
            break;
        if (qobject_cast<QMenuBar *>(w))
            break;
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
